#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/audio/g729_codec.h"

// A voice data file decoded in memory, for listening without a WAV file: the coded frames
// behind the record and the main unit header, decoded a block at a time with the same codec
// and gain as the conversion to WAV, and the peaks the waveform is drawn from.
namespace voxmg::audio {

inline constexpr int kVoiceSampleRate = 8000;
// Frames decoded per block: 400 ms of voice, the same block as the conversion reads.
inline constexpr std::size_t kVoiceBlockFrames = 40;

enum class VoiceLoad : int {
    Loaded = 0,
    Missing = 1,   // the file cannot be opened
    NoFrames = 2,  // too short to hold a single frame behind the header
};

// Reads the coded frames of a voice data file; bytes behind the last whole frame are dropped.
VoiceLoad loadVoiceFrames(const std::string& voicePath, std::vector<std::uint8_t>& frames);

// Decodes coded frames block by block into 8 kHz mono samples.
class VoiceBlockDecoder {
public:
    // `gainSetting`: LEVELRVORWAV as stored; only its low 8 bits count.
    VoiceBlockDecoder(std::span<const std::uint8_t> frames, int gainSetting,
                      const DecoderFactory& factory = &makeBcg729Decoder);

    // False when the codec could not be set up.
    bool ready() const { return m_decoder != nullptr; }
    std::size_t totalSamples() const { return m_frames.size() / kFrameBytes * kFrameSamples; }
    std::size_t decodedSamples() const { return m_next / kFrameBytes * kFrameSamples; }
    bool finished() const { return m_next >= m_frames.size() - m_frames.size() % kFrameBytes; }
    // Decodes the next block into `out` (at least kVoiceBlockFrames * kFrameSamples long);
    // the number of samples written, 0 when finished or the codec failed.
    std::size_t decodeBlock(std::span<std::int16_t> out);

private:
    std::span<const std::uint8_t> m_frames;
    std::unique_ptr<FrameDecoder> m_decoder;
    std::int8_t m_gain;
    std::size_t m_next = 0;
};

// The largest magnitude in each of `columns` equal stretches of `samples` (the last ones
// empty, 0, when there are fewer samples than columns).
std::vector<std::uint16_t> peaksPerColumn(std::span<const std::int16_t> samples, std::size_t columns);

// Peaks folded to fewer columns (one per pixel of a drawing): the largest of those that fall on
// each column; with more columns than peaks, each column shows the peak under it.
std::vector<std::uint16_t> foldPeaks(std::span<const std::uint16_t> peaks, std::size_t columns);

}  // namespace voxmg::audio
