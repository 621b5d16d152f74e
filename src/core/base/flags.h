#pragma once

#include <atomic>
#include <chrono>
#include <mutex>

#include "core/base/pump.h"

namespace voxmg {

// The hand-shake between user operations and the always-download worker. Both live under one
// lock (the frame lock): an operation requests a pause and waits until the worker is not busy;
// the worker never starts a box while a pause is requested. Pauses nest: an operation that
// runs inside another (a download started from a dialog that paused already) ends only its
// own pause, never the outer one.
//
// The worker's box has a cancel of its own, apart from the user's cancel-all: only a pause
// that asks for it (logout, exit) or closing the gate sets it, and only the start of the next
// box clears it, both under the gate's lock, so a request can never fall between the worker's
// check and its start and be lost.
class WorkerGate {
public:
    explicit WorkerGate(std::chrono::milliseconds poll = std::chrono::milliseconds(50)) : m_poll(poll) {}

    // What a pause asks of a box in progress.
    enum class Hand {
        AfterFile,  // finish the file in hand (the suspend request decides)
        Now,        // stop the transfer at once
    };

    // User side: add a pause request, then wait (pumping one message and sleeping between
    // checks) until the worker is idle. Each request is ended by one clearPause(); true when
    // that was the last one.
    void requestPause(const Pump& pump, Hand hand = Hand::AfterFile);
    bool clearPause();
    bool pauseRequested() const;

    // Worker side: mark busy unless a pause is requested or the gate is closed (checked and
    // set under one lock, so an operation cannot slip in between); a box that begins starts
    // with its cancel cleared.
    bool tryBeginWork();
    void endWork();
    bool busy() const;
    // Read by the worker's transfers; non-zero once the box in progress is to stop now.
    std::atomic<int>& boxCancel() { return m_boxCancel; }

    // Closed: no box begins and the one in progress stops now (the worker is being stopped).
    void close();
    void open();

private:
    mutable std::mutex m_lock;
    int m_pauses = 0;
    bool m_busy = false;
    bool m_closed = false;
    std::atomic<int> m_boxCancel{0};
    std::chrono::milliseconds m_poll;
};

// Process-wide flags. One instance is made by the program (or by a test) and passed by
// reference to whatever reads them.
struct Flags {
    // Set by a progress dialog's Cancel, by logout and by exit; transfers send ABOR and
    // operations stop when they see it. Only the user's side writes it; the always-download
    // worker's box has its own cancel (WorkerGate::boxCancel).
    std::atomic<int> cancelAll{0};
    // Makes the worker's box download stop with result -5.
    std::atomic<int> suspendRequest{0};
    // Set while the always-download worker runs a box download.
    std::atomic<int> alwaysDownloadInProgress{0};

    WorkerGate gate;

    // Pause always-download: set the suspend request to `suspend`, then wait for the worker.
    void pauseWorker(int suspend, const Pump& pump, WorkerGate::Hand hand = WorkerGate::Hand::AfterFile) {
        suspendRequest = suspend;
        gate.requestPause(pump, hand);
    }
    // End this pause; the suspend request goes with the last one.
    void resumeWorker() {
        if (gate.clearPause()) {
            suspendRequest = 0;
        }
    }
};

// Always-download paused for the length of an operation: a box download in progress is asked to
// stop (suspend request 1) rather than waited for; the pause ends however the operation ends.
class WorkerPause {
public:
    WorkerPause(Flags& flags, const Pump& pump) : m_flags(flags) { m_flags.pauseWorker(1, pump); }
    ~WorkerPause() { m_flags.resumeWorker(); }
    WorkerPause(const WorkerPause&) = delete;
    WorkerPause& operator=(const WorkerPause&) = delete;

private:
    Flags& m_flags;
};

}  // namespace voxmg
