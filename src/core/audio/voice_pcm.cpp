#include "core/audio/voice_pcm.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/audio/file_handle.h"
#include "core/audio/gain.h"
#include "core/audio/wav_conversion.h"

namespace voxmg::audio {

VoiceLoad loadVoiceFrames(const std::string& voicePath, std::vector<std::uint8_t>& frames) {
    frames.clear();
    FileHandle in = openFile(voicePath, "rb");
    if (!in) {
        // Only a file that is not there is gone; one that cannot be read (mode 000, another
        // user's) is there and says so.
        return errno == ENOENT || errno == ENOTDIR ? VoiceLoad::Missing : VoiceLoad::NoFrames;
    }
    if (std::fseek(in.get(), 0, SEEK_END) != 0) {
        return VoiceLoad::Missing;
    }
    const long size = std::ftell(in.get());
    if (size < 0 || static_cast<std::size_t>(size) < kVoiceFramesOffset + kFrameBytes ||
        std::fseek(in.get(), static_cast<long>(kVoiceFramesOffset), SEEK_SET) != 0) {
        return VoiceLoad::NoFrames;
    }
    // Far beyond any recording the main unit makes (about 4.5 hours); a larger file is read up
    // to this much rather than exhausting memory.
    constexpr std::size_t kMaxFrameBytes = std::size_t{16} << 20;
    const std::size_t bytes = std::min(static_cast<std::size_t>(size) - kVoiceFramesOffset, kMaxFrameBytes);
    frames.resize(bytes - bytes % kFrameBytes);
    const std::size_t got = std::fread(frames.data(), 1, frames.size(), in.get());
    // A file that shrank meanwhile keeps the frames that were read.
    frames.resize(got - got % kFrameBytes);
    return frames.empty() ? VoiceLoad::NoFrames : VoiceLoad::Loaded;
}

VoiceBlockDecoder::VoiceBlockDecoder(std::span<const std::uint8_t> frames, int gainSetting,
                                     const DecoderFactory& factory)
    : m_frames(frames), m_decoder(factory ? factory() : nullptr), m_gain(gainFromSetting(gainSetting)) {}

std::size_t VoiceBlockDecoder::decodeBlock(std::span<std::int16_t> out) {
    if (!m_decoder) {
        return 0;
    }
    std::size_t written = 0;
    for (std::size_t i = 0; i < kVoiceBlockFrames && !finished() && written + kFrameSamples <= out.size();
         ++i) {
        const CodedFrame frame(m_frames.data() + m_next, kFrameBytes);
        const std::span<std::int16_t, kFrameSamples> pcm(out.data() + written, kFrameSamples);
        if (!m_decoder->decode(frame, isErasedFrame(frame), pcm)) {
            m_decoder.reset();
            return written;
        }
        applyGain(pcm, m_gain);
        m_next += kFrameBytes;
        written += kFrameSamples;
    }
    return written;
}

std::vector<std::uint16_t> peaksPerColumn(std::span<const std::int16_t> samples, std::size_t columns) {
    std::vector<std::uint16_t> peaks(columns, 0);
    if (columns == 0 || samples.empty()) {
        return peaks;
    }
    const std::size_t n = samples.size();
    for (std::size_t c = 0; c < columns; ++c) {
        const std::size_t begin = c * n / columns;
        const std::size_t end = (c + 1) * n / columns;
        int peak = 0;
        for (std::size_t i = begin; i < end; ++i) {
            const int v = samples[i];
            peak = std::max(peak, v < 0 ? -v : v);
        }
        peaks[c] = static_cast<std::uint16_t>(peak);
    }
    return peaks;
}

std::vector<std::uint16_t> foldPeaks(std::span<const std::uint16_t> peaks, std::size_t columns) {
    std::vector<std::uint16_t> out(peaks.empty() ? 0 : columns, 0);
    const std::size_t n = peaks.size();
    for (std::size_t c = 0; c < out.size(); ++c) {
        const std::size_t begin = c * n / columns;
        const std::size_t end = std::max(begin + 1, (c + 1) * n / columns);
        out[c] = *std::max_element(peaks.begin() + static_cast<std::ptrdiff_t>(begin),
                                   peaks.begin() + static_cast<std::ptrdiff_t>(std::min(end, n)));
    }
    return out;
}

}  // namespace voxmg::audio
