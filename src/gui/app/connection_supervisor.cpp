#include "gui/app/connection_supervisor.h"

#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QWidget>
#include <utility>

#include "gui/app/login_dlg.h"
#include "gui/app/small_dialogs.h"
#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"
#include "gui/base/user_messages.h"

namespace {

bool anyErrorWindowOpen() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle() == QStringLiteral("エラー")) {
            return true;
        }
    }
    return false;
}

}  // namespace

ConnectionSupervisor::ConnectionSupervisor(FrameHost& frame, DeviceSessionFactory sessions, FrameSteps steps)
    : QObject(frame.frameWindow()),
      m_frame(frame),
      m_context(frame.context()),
      m_sessions(std::move(sessions)),
      m_steps(std::move(steps)),
      m_errorWindowOpen(&anyErrorWindowOpen) {
    m_livenessTimer.setInterval(m_context.timings.livenessMs);
    connect(&m_livenessTimer, &QTimer::timeout, this, &ConnectionSupervisor::livenessTick);
    m_session = makeSession();
    std::lock_guard lock(m_lock);
    m_client = m_session->client();
}

std::unique_ptr<DeviceSession> ConnectionSupervisor::makeSession() {
    // The client calls these around its own waits, also on the always-download worker's
    // thread; the timer belongs to this thread, so they reach it as queued calls from there.
    auto onFrameThread = [this](std::function<void()> f) {
        if (QThread::currentThread() == thread()) {
            f();
        } else {
            QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
        }
    };
    voxmg::LivenessHooks hooks;
    hooks.stop = [this, onFrameThread] {
        onFrameThread([this] {
            m_livenessTimer.stop();
            m_liveness.reset();
        });
    };
    hooks.restart = [this, onFrameThread] { onFrameThread([this] { restartLiveness(); }); };
    std::unique_ptr<DeviceSession> session = m_sessions(std::move(hooks));
    session->bind(m_context.flags, m_context.pump);
    return session;
}

void ConnectionSupervisor::nextGeneration() {
    std::lock_guard lock(m_lock);
    ++m_generation;
}

std::uint64_t ConnectionSupervisor::generation() const {
    std::lock_guard lock(m_lock);
    return m_generation;
}

voxmg::always::WorkerConnection ConnectionSupervisor::workerConnection() const {
    std::lock_guard lock(m_lock);
    return {m_client, m_generation};
}

bool ConnectionSupervisor::login() {
    CLoginDlg dialog(m_context, *m_session, m_frame.frameWindow());
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    nextGeneration();
    restartLiveness();
    return true;
}

void ConnectionSupervisor::logout() {
    if (m_session->inUse()) {
        // Asked from inside an operation's wait (the idle count, a menu): after it.
        m_session->whenFree([this] { logout(); });
        return;
    }
    m_steps.pauseSchedule();
    m_livenessTimer.stop();
    m_liveness.reset();
    if (m_context.doc.loggedIn()) {
        m_frame.setFrameEnabled(false);
        auto& flags = m_context.flags;
        flags.cancelAll = 1;
        {
            // A box of the worker stops now rather than after its file.
            FtpLease lease = m_session->acquire(voxmg::WorkerGate::Hand::Now);
            m_session->logout();
            m_context.doc.setLoggedIn(false);
            nextGeneration();
            m_frame.updateCommandStates();
            flags.cancelAll = 0;
        }
        m_frame.setFrameEnabled(true);
    }
    m_steps.resumeSchedule();
}

void ConnectionSupervisor::restartLiveness() {
    m_liveness.reset();
    m_livenessTimer.start(m_context.timings.livenessMs);
}

void ConnectionSupervisor::markLoggedOut() {
    if (m_context.doc.loggedIn()) {
        nextGeneration();
    }
    m_context.doc.setLoggedIn(false);
    m_frame.updateCommandStates();
}

void ConnectionSupervisor::connectionLost() {
    markLoggedOut();
    m_livenessTimer.stop();
}

void ConnectionSupervisor::livenessTick() {
    if (m_session->inUse()) {
        return;  // an operation talks to the main unit now: it proves the line or reports it lost
    }
    voxmg::LivenessTicker::Tick tick;
    tick.backupRunning = m_context.schedule.backupRunning;
    tick.hasConnection = m_session->hasControlConnection();
    tick.loggedIn = m_context.doc.loggedIn();
    tick.drainAndProbe = [this] {
        // The worker talking to the main unit right now proves the line; otherwise it waits
        // while the probe has the connection.
        if (m_context.flags.gate.busy()) {
            return true;
        }
        FtpLease lease = m_session->acquire();
        return m_session->drainAndProbe();
    };
    tick.errorWindowOpen = m_errorWindowOpen;
    switch (m_liveness.tick(tick)) {
        case voxmg::LivenessTicker::Outcome::ProbeFailedWait:
            markLoggedOut();  // the ticker goes on counting its waits
            break;
        case voxmg::LivenessTicker::Outcome::ProbeFailedReconnect:
            connectionLost();
            reconnectFlow();
            break;
        case voxmg::LivenessTicker::Outcome::IdleLogout:
            logout();
            break;
        case voxmg::LivenessTicker::Outcome::Nothing:
            break;
    }
}

void ConnectionSupervisor::reconnectFlow() {
    m_steps.pauseSchedule();
    CRecomDlg dialog(m_frame.frameWindow());
    if (dialog.exec() != QDialog::Accepted) {
        m_steps.resumeSchedule();
        m_steps.closeFrame();
        return;
    }
    // The old object goes with its dead connection; a new one logs in with the values the
    // user gave last. Always-download must not be holding the old one meanwhile.
    int result = 0;
    {
        // A lease on neither client: the worker is kept off both while one replaces the other.
        FtpLease pause(m_context.flags, m_context.pump, nullptr, voxmg::WorkerGate::Hand::Now);
        m_session->logout();
        std::unique_ptr<DeviceSession> old = std::exchange(m_session, makeSession());
        {
            std::lock_guard lock(m_lock);
            m_client = m_session->client();
            ++m_generation;
        }
        old.reset();
        result = m_session->connectAndLogin(m_context.doc.login());
        m_context.doc.setLoggedIn(result == 0);
        m_frame.updateCommandStates();
    }
    if (result == 0) {
        restartLiveness();
    } else {
        m_context.messages.error(m_frame.frameWindow(), connectResultText(result));
    }
    // Also after a successful reconnect, or the backup schedule would stay off for the rest
    // of the run.
    m_steps.resumeSchedule();
}
