#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "core/audio/audio_status.h"

namespace voxmg::audio {

// One job slot of the conversion engine: the status byte, the start and stop requests and
// the worker thread of one direction. The caller polls the status; the worker sleeps on a
// condition variable while it waits for a request instead of spinning. The slot owns the
// thread and joins it on stop() and in its destructor.
class JobSlot {
public:
    JobSlot() = default;
    ~JobSlot() { stop(); }
    JobSlot(const JobSlot&) = delete;
    JobSlot& operator=(const JobSlot&) = delete;

    std::uint8_t status() const { return m_status.load(); }

    // Serialises the callers of one direction (start, status, cancel) against each other.
    std::mutex& callerLock() { return m_callerLock; }
    // The status call: the folded status; on finished or error the job is stopped, so the
    // slot is idle again.
    std::uint8_t report();
    // The cancel call: stops a running job and returns Status::cancelled; an idle or just
    // started slot is left alone and its status returned.
    std::uint8_t cancel();

    // Caller side. Moves the slot to "started" at once (so a poll or a cancel right after
    // the start sees a live job), raises the start request and runs `body` on a new thread.
    // When `body` ends the slot is idle again; an exception escaping it leaves
    // `failureStatus`. False when no thread can be started; the slot stays idle.
    bool launch(std::function<void(JobSlot&)> body, std::uint8_t failureStatus);
    // Raises the stop request and waits without limit for the worker to end.
    void stop();
    // Returns when the status leaves "started" or "converting", or after `timeout`.
    void waitWhileBusy(std::chrono::milliseconds timeout);

    // Worker side.
    void setStatus(std::uint8_t status);
    // Blocks until a request comes: true for the start request (which it clears), false
    // for the stop request.
    bool awaitStart();
    bool stopRequested() const { return m_stopRequest.load(); }
    // Blocks until the stop request comes.
    void awaitStop();

private:
    std::atomic<std::uint8_t> m_status{Status::idle};
    std::atomic<bool> m_startRequest{false};
    std::atomic<bool> m_stopRequest{false};
    std::mutex m_callerLock;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::thread m_thread;
};

}  // namespace voxmg::audio
