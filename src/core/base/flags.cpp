#include "core/base/flags.h"

#include <thread>

namespace voxmg {

void WorkerGate::requestPause(const Pump& pump) {
    {
        std::lock_guard lock(m_lock);
        ++m_pauses;
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
    if (m_pauses > 0) {
        return false;
    }
    m_busy = true;
    return true;
}

void WorkerGate::endWork() {
    std::lock_guard lock(m_lock);
    m_busy = false;
}

bool WorkerGate::busy() const {
    std::lock_guard lock(m_lock);
    return m_busy;
}

}  // namespace voxmg
