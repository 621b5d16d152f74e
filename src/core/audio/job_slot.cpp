#include "core/audio/job_slot.h"

#include <system_error>

namespace voxmg::audio {

bool JobSlot::launch(std::function<void(JobSlot&)> body, std::uint8_t failureStatus) {
    if (m_thread.joinable()) {
        m_thread.join();  // a worker that already went idle; nothing left to wait for
    }
    m_stopRequest = false;
    m_startRequest = true;
    m_status = Status::started;
    try {
        m_thread = std::thread([this, body = std::move(body), failureStatus] {
            try {
                body(*this);
            } catch (...) {
                // Out of memory inside the worker: report a failed job and wait for the stop
                // like any other failure, rather than taking the program down.
                setStatus(failureStatus);
                awaitStop();
            }
            setStatus(Status::idle);
        });
    } catch (const std::system_error&) {
        m_startRequest = false;
        m_status = Status::idle;
        return false;
    }
    return true;
}

std::uint8_t JobSlot::report() {
    std::lock_guard lock(m_callerLock);
    const std::uint8_t s = Status::folded(status());
    if (s == Status::finished || s == Status::error) {
        stop();
    }
    return s;
}

std::uint8_t JobSlot::cancel() {
    std::lock_guard lock(m_callerLock);
    const std::uint8_t s = status();
    if (s == Status::idle || s == Status::started) {
        return s;
    }
    stop();
    return Status::cancelled;
}

void JobSlot::stop() {
    {
        std::lock_guard lock(m_lock);
        m_stopRequest = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_stopRequest = false;
    m_startRequest = false;
}

void JobSlot::waitWhileBusy(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    m_changed.wait_for(lock, timeout, [this] {
        const std::uint8_t s = m_status.load();
        return s != Status::started && Status::folded(s) != Status::converting;
    });
}

void JobSlot::setStatus(std::uint8_t status) {
    {
        std::lock_guard lock(m_lock);
        m_status = status;
    }
    m_changed.notify_all();
}

bool JobSlot::awaitStart() {
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this] { return m_startRequest.load() || m_stopRequest.load(); });
    if (m_stopRequest) {
        return false;
    }
    m_startRequest = false;
    return true;
}

void JobSlot::awaitStop() {
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this] { return m_stopRequest.load(); });
}

}  // namespace voxmg::audio
