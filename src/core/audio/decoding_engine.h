#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "core/audio/g729_codec.h"
#include "core/audio/job_slot.h"

namespace voxmg::audio {

// Decoding direction of the conversion engine: a file of bare G.729 frames to a WAV file.
// One job at a time; the worker reads 40 frames (400 bytes) per pass, decodes them with a
// fresh codec context, applies the gain and appends 80 samples per frame.
class DecodingEngine {
public:
    explicit DecodingEngine(DecoderFactory factory = &makeBcg729Decoder) : m_factory(std::move(factory)) {}

    // 0 started; StartResult::busy when a job exists; cannotOpen when the frame file cannot
    // be read or the WAV file cannot be created (it is created empty here, truncating an old
    // one); noThread when no worker can be started. `gainSetting`: the LEVEL setting as
    // stored; only its low 8 bits count.
    int start(const std::string& framePath, const std::string& wavPath, int gainSetting);
    // The folded status. On finished or error the job is stopped and the slot is idle again.
    std::uint8_t status() { return m_slot.report(); }
    // Stops a running job and returns Status::cancelled; an idle or just started slot is left
    // alone and its status returned.
    std::uint8_t cancel() { return m_slot.cancel(); }

    // Frames decoded so far by the current or last job (for a progress bar).
    std::uint64_t framesDone() const { return m_frames.load(); }
    // Lets a polling caller sleep until the job leaves its busy states, at most `timeout`.
    void waitWhileBusy(std::chrono::milliseconds timeout) { m_slot.waitWhileBusy(timeout); }

private:
    void run(JobSlot& slot);
    std::uint8_t convert(JobSlot& slot, FrameDecoder& decoder, std::FILE* in);

    DecoderFactory m_factory;
    std::string m_framePath;
    std::string m_wavPath;
    std::int8_t m_gain = 0;
    std::atomic<std::uint64_t> m_frames{0};
    JobSlot m_slot;  // last: its destructor joins the worker before the rest goes away
};

}  // namespace voxmg::audio
