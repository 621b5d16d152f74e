#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "core/app/liveness.h"
#include "core/automation/always_download.h"
#include "gui/base/device_session.h"

class FrameHost;
struct AppContext;

// The one owner of the connection to the main unit: the session object, the login, the
// liveness timer with its probe, the reconnect after a failed probe, the logout, and the
// session number. Every login, logout, loss and reconnect starts a new number, so that what
// the always-download worker queued about an earlier session finds it gone and does nothing.
class ConnectionSupervisor : public QObject {
    Q_OBJECT
public:
    // What the supervisor asks of the frame around its own steps.
    struct FrameSteps {
        std::function<void()> pauseSchedule;   // the backup schedule check stops...
        std::function<void()> resumeSchedule;  // ...and starts again
        std::function<void()> closeFrame;      // the user chose to end after a lost connection
    };
    ConnectionSupervisor(FrameHost& frame, DeviceSessionFactory sessions, FrameSteps steps);

    DeviceSession& session() { return *m_session; }
    voxmg::LivenessTicker& liveness() { return m_liveness; }
    QTimer& livenessTimer() { return m_livenessTimer; }
    // Whether a window titled "エラー" is open; by default the application's top-level widgets.
    void setErrorWindowCheck(std::function<bool()> check) { m_errorWindowOpen = std::move(check); }

    // The login dialog; true when the user is logged in after it.
    bool login();
    // The menu's ログアウト and the idle logout: a box in progress stops at once; the backup
    // schedule check waits meanwhile.
    void logout();
    void livenessTick();
    // After a failed probe: asks the user, then logs in again on a new session object.
    void reconnectFlow();
    void restartLiveness();
    // An operation (or the worker, through its host) found the connection gone.
    void connectionLost();

    // The session in force as the worker may use it for one box (read on the worker's thread).
    voxmg::always::WorkerConnection workerConnection() const;
    std::uint64_t generation() const;

private:
    std::unique_ptr<DeviceSession> makeSession();
    // A new session number; the worker's copy follows.
    void nextGeneration();
    // Logged out without a word to the main unit (the connection is gone); a new number.
    void markLoggedOut();

    FrameHost& m_frame;
    AppContext& m_context;
    DeviceSessionFactory m_sessions;
    FrameSteps m_steps;
    std::unique_ptr<DeviceSession> m_session;
    QTimer m_livenessTimer;
    voxmg::LivenessTicker m_liveness;
    std::function<bool()> m_errorWindowOpen;
    mutable std::mutex m_lock;  // the worker reads the two below
    voxmg::CFtpMng* m_client = nullptr;
    std::uint64_t m_generation = 1;
};
