#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/audio/g729_codec.h"
#include "core/audio/job_slot.h"
#include "core/audio/media_source.h"

namespace voxmg::audio {

// Encoding direction of the conversion engine: a WAV or WMA file to bare G.729 frames. The
// worker first decodes the source into an intermediate PCM file in the work folder, then
// encodes it 1600 samples (20 frames) at a time. It has its own slot, so an import can run
// while a conversion to WAV runs. The intermediate file belongs to one job: the window and
// voxmgctl, or two voxmgctl runs, share the work folder, and one shared name there let one
// import encode the other's audio.
class EncodingEngine {
public:
    // `workFolder`: where the intermediate file is made (the settings folder in the program).
    explicit EncodingEngine(std::string workFolder, MediaBackend media = {},
                            EncoderFactory encoder = &makeBcg729Encoder);

    // 0 started; StartResult::busy when a job exists; cannotOpen when the source cannot be
    // read or the output cannot be created (it is created empty here); unknownLength when
    // the source's playing length cannot be found; tooLong when it exceeds
    // `longestSeconds`; noThread when no worker can be started.
    int start(const std::string& source, const std::string& output, int gainSetting, int longestSeconds);
    // The folded status (source decoding reads as converting). On finished or error the job
    // is stopped and the slot is idle again.
    std::uint8_t status() { return m_slot.report(); }
    // Stops a running job and returns Status::cancelled; an idle or just started slot is left
    // alone and its status returned.
    std::uint8_t cancel() { return m_slot.cancel(); }

    void waitWhileBusy(std::chrono::milliseconds timeout) { m_slot.waitWhileBusy(timeout); }

private:
    void run(JobSlot& slot);
    std::uint8_t prepare(JobSlot& slot, const std::string& pcmPath);
    std::uint8_t encode(JobSlot& slot, FrameEncoder& encoder, std::FILE* pcm, std::FILE* out);

    std::string m_workFolder;
    MediaBackend m_media;
    EncoderFactory m_encoderFactory;
    std::string m_source;
    std::string m_output;
    std::int8_t m_gain = 0;
    JobSlot m_slot;  // last: its destructor joins the worker before the rest goes away
};

}  // namespace voxmg::audio
