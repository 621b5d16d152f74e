#include "core/audio/decoding_engine.h"

#include <array>

#include "core/audio/file_handle.h"
#include "core/audio/gain.h"
#include "core/audio/wav_format.h"

namespace voxmg::audio {

namespace {
constexpr std::size_t kBlockFrames = 40;
}  // namespace

int DecodingEngine::start(const std::string& framePath, const std::string& wavPath, int gainSetting) {
    std::lock_guard lock(m_slot.callerLock());
    if (m_slot.status() != Status::idle) {
        return StartResult::busy;
    }
    if (!openFile(framePath, "rb") || !openFile(wavPath, "wb")) {
        return StartResult::cannotOpen;
    }
    m_framePath = framePath;
    m_wavPath = wavPath;
    m_gain = gainFromSetting(gainSetting);
    m_frames = 0;
    if (!m_slot.launch([this](JobSlot& slot) { run(slot); }, Status::wavWriteFailed)) {
        return StartResult::noThread;
    }
    return StartResult::ok;
}

void DecodingEngine::run(JobSlot& slot) {
    if (!slot.awaitStart()) {
        return;
    }
    std::unique_ptr<FrameDecoder> decoder = m_factory ? m_factory() : nullptr;
    FileHandle in;
    std::uint8_t result = Status::codecInitFailed;
    if (decoder) {
        in = openFile(m_framePath, "rb");
        result = in ? Status::converting : Status::frameFileOpenFailed;
    }
    if (result == Status::converting) {
        slot.setStatus(Status::converting);
        result = convert(slot, *decoder, in.get());
        if (slot.stopRequested()) {
            return;  // cancelled between blocks
        }
    }
    slot.setStatus(result);
    slot.awaitStop();
}

std::uint8_t DecodingEngine::convert(JobSlot& slot, FrameDecoder& decoder, std::FILE* in) {
    WavWriter wav(m_wavPath);
    std::array<std::uint8_t, kBlockFrames * kFrameBytes> block{};
    std::array<std::int16_t, kFrameSamples> pcm{};
    while (!slot.stopRequested()) {
        block.fill(0);
        const std::size_t got = std::fread(block.data(), 1, block.size(), in);
        if (got < block.size() && std::ferror(in)) {
            return Status::frameReadFailed;
        }
        if (got == 0) {
            // A frame file without a single frame never began a WAV file, so this fails.
            return wav.finish() ? Status::finished : Status::wavWriteFailed;
        }
        // Bytes behind the last whole frame are ignored.
        const std::size_t frames = got / kFrameBytes;
        for (std::size_t i = 0; i < frames; ++i) {
            const CodedFrame frame(block.data() + i * kFrameBytes, kFrameBytes);
            if (!decoder.decode(frame, isErasedFrame(frame), pcm)) {
                return Status::frameDecodeFailed;
            }
            applyGain(pcm, m_gain);
            if (!wav.append(pcm)) {
                return Status::wavWriteFailed;
            }
            ++m_frames;
        }
        // A short block is the last one. The job reports finished only once the WAV file is
        // complete, so a caller never takes a file that is still being written for done.
        if (frames > 0 && frames < kBlockFrames) {
            return wav.finish() ? Status::finished : Status::wavWriteFailed;
        }
    }
    return Status::converting;
}

}  // namespace voxmg::audio
