#include "gui/base/device_session.h"

#include <QCoreApplication>
#include <QMetaObject>

FtpLease::FtpLease(voxmg::Flags& flags, const voxmg::Pump& pump, voxmg::CFtpMng* client,
                   voxmg::WorkerGate::Hand hand, DeviceSession* owner)
    : m_flags(flags), m_client(client), m_owner(owner) {
    if (m_owner != nullptr) {
        m_owner->enter();  // before the pause: the worker's hand-over is pumped as well
    }
    m_flags.pauseWorker(1, pump, hand);
    if (m_client != nullptr) {
        m_pumped.emplace(*m_client, pump);
    }
}

FtpLease::~FtpLease() {
    m_pumped.reset();
    m_flags.resumeWorker();
    if (m_owner != nullptr) {
        m_owner->leave();
    }
}

void DeviceSession::whenFree(std::function<void()> f) {
    if (m_uses == 0) {
        f();
        return;
    }
    m_afterUse.push_back(std::move(f));
}

void DeviceSession::leave() {
    if (--m_uses > 0 || m_afterUse.empty()) {
        return;
    }
    // Queued: the operation that held the lease finishes its own work first.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [alive = m_alive, waiting = std::exchange(m_afterUse, {}), this]() mutable {
            for (auto& f : waiting) {
                if (!*alive) {
                    return;
                }
                whenFree(std::move(f));  // a lease taken by one of them defers the rest again
            }
        },
        Qt::QueuedConnection);
}
