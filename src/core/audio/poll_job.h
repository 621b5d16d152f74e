#pragma once

#include <chrono>
#include <cstdint>

#include "core/audio/audio_status.h"
#include "core/base/flags.h"
#include "core/base/progress.h"
#include "core/base/pump.h"

namespace voxmg::audio {

// What the caller of a conversion provides: the process flags (cancel-all), the pump that
// keeps its progress dialog live, and where progress goes (null: nothing is shown). A caller
// with a cancel of its own (the always-download worker's box) names it; by default the user's
// cancel-all stops the job.
struct CallerContext {
    Flags& flags;
    Pump pump;
    ProgressSink* progress = nullptr;
    const std::atomic<int>* cancel = nullptr;

    bool cancelled() const { return (cancel != nullptr ? cancel->load() : flags.cancelAll.load()) != 0; }
};

// Polls a started job (DecodingEngine or EncodingEngine) until it ends and returns the last
// status seen. Each pass calls `onPass`, lets one window message through and then waits up
// to `pause` for the job to change; the wait ends as soon as the job leaves its busy states,
// so the worker is never held up by the poll. On cancel-all the job is cancelled; a job
// still at "started" is cancelled on a later pass.
template <typename Job, typename OnPass>
std::uint8_t pollJob(Job& job, const CallerContext& caller, std::chrono::milliseconds pause, OnPass onPass) {
    for (;;) {
        onPass();
        pumpOnce(caller.pump);
        job.waitWhileBusy(pause);
        if (caller.cancelled()) {
            const std::uint8_t s = job.cancel();
            if (s != Status::started) {
                return s;
            }
            continue;
        }
        const std::uint8_t s = job.status();
        // Idle after a successful start means someone else stopped the job; waiting on would
        // never end, so the run ends as a failure.
        if (s != Status::started && s != Status::converting) {
            return s;
        }
    }
}

}  // namespace voxmg::audio
