#include "core/base/flags.h"

#include <thread>

namespace voxmg {

void WorkerGate::requestPause(const Pump& pump, Hand hand) {
    {
        std::lock_guard lock(m_lock);
        ++m_pauses;
        if (hand == Hand::Now && m_busy) {
            m_boxCancel = 1;
        }
    }
    for (;;) {
        {
            std::lock_guard lock(m_lock);
            if (!m_busy) {
                return;
            }
        }
        pumpOnce(pump);
        std::this_thread::sleep_for(m_poll);
    }
}

bool WorkerGate::clearPause() {
    std::lock_guard lock(m_lock);
    if (m_pauses > 0) {
        --m_pauses;
    }
    return m_pauses == 0;
}

bool WorkerGate::pauseRequested() const {
    std::lock_guard lock(m_lock);
    return m_pauses > 0;
}

bool WorkerGate::tryBeginWork() {
    std::lock_guard lock(m_lock);
    if (m_pauses > 0 || m_closed) {
        return false;
    }
    m_busy = true;
    m_boxCancel = 0;
    return true;
}

void WorkerGate::endWork() {
    std::lock_guard lock(m_lock);
    m_busy = false;
}

void WorkerGate::close() {
    std::lock_guard lock(m_lock);
    m_closed = true;
    m_boxCancel = 1;
}

void WorkerGate::open() {
    std::lock_guard lock(m_lock);
    m_closed = false;
}

bool WorkerGate::busy() const {
    std::lock_guard lock(m_lock);
    return m_busy;
}

}  // namespace voxmg
