#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/base/flags.h"
#include "core/device/ftp_mng.h"
#include "core/device/ftp_types.h"
#include "core/settings/settings.h"

class DeviceSession;

// The window's hold on the main unit's connection. While it lives the always-download worker is
// paused (a box in progress hands over after its file, or at once for `Hand::Now`) and the
// client waits pumping the window's events; it is the only way the window's code reaches the
// client. The client is null when the session has none (logged out in tests); the pause holds
// all the same, so an operation on the PC alone is kept apart from the worker as well.
//
// While a lease of a session lives, the session is in use: what the pumped events run (a loss
// report of the worker, the liveness tick, a logout) must not touch the connection under the
// operation's feet, and waits for the last lease to end (DeviceSession::whenFree).
class FtpLease {
public:
    FtpLease(voxmg::Flags& flags, const voxmg::Pump& pump, voxmg::CFtpMng* client,
             voxmg::WorkerGate::Hand hand = voxmg::WorkerGate::Hand::AfterFile,
             DeviceSession* owner = nullptr);
    ~FtpLease();
    FtpLease(const FtpLease&) = delete;
    FtpLease& operator=(const FtpLease&) = delete;

    voxmg::CFtpMng* client() const { return m_client; }
    voxmg::CFtpMng* operator->() const { return m_client; }
    explicit operator bool() const { return m_client != nullptr; }

private:
    voxmg::Flags& m_flags;
    voxmg::CFtpMng* m_client;
    DeviceSession* m_owner;
    std::optional<voxmg::CFtpMng::PumpScope> m_pumped;
};

// What the frame and its dialogs ask of the connection to the main unit. The real one is a
// thin layer over CFtpMng; tests put a scripted one in its place.
class DeviceSession {
public:
    virtual ~DeviceSession() { *m_alive = false; }
    // 0 logged in, 1 connection failed, 2 login refused, 3 unsupported main unit.
    virtual int connectAndLogin(const voxmg::LoginValues& login) = 0;
    virtual bool hasControlConnection() = 0;
    // Drops stray replies, then probes the connection; true when the main unit answered.
    virtual bool drainAndProbe() = 0;
    // QUIT and close.
    virtual void logout() = 0;

    // The frame ties the session to the program's flags and pump when it makes it.
    void bind(voxmg::Flags& flags, voxmg::Pump pump) {
        m_flags = &flags;
        m_pump = std::move(pump);
    }
    // The client for the engines, with always-download paused for as long as the lease lives.
    [[nodiscard]] FtpLease acquire(voxmg::WorkerGate::Hand hand = voxmg::WorkerGate::Hand::AfterFile) {
        return FtpLease(m_flags != nullptr ? *m_flags : m_unbound, m_pump, client(), hand, this);
    }

    // True while a lease lives: an operation of the window is using the connection, and the
    // events its waits let through are running inside it.
    bool inUse() const { return m_uses > 0; }
    // Runs `f` now when the session is not in use; otherwise once the last lease has ended,
    // from the event loop (after the operation, never inside it). What still waits when the
    // session ends is dropped: it belonged to a connection that is gone.
    void whenFree(std::function<void()> f);

private:
    friend class ConnectionSupervisor;  // hands the client to the worker, box by box
    friend class FtpLease;
    // The client itself; null in tests.
    virtual voxmg::CFtpMng* client() { return nullptr; }
    void enter() { ++m_uses; }
    void leave();

    voxmg::Flags* m_flags = nullptr;
    voxmg::Flags m_unbound;  // a session made outside a frame pauses nothing
    voxmg::Pump m_pump;
    int m_uses = 0;
    std::vector<std::function<void()>> m_afterUse;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// Makes the frame's connection object (at start and anew on every reconnect); the hooks
// stop and restart the frame's liveness timer around the client's own waits.
using DeviceSessionFactory = std::function<std::unique_ptr<DeviceSession>(voxmg::LivenessHooks hooks)>;
