#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_folder.h"

// Small helpers shared by the audio tests: byte files written by hand.
namespace voxmg::audio::testing {

using voxmg::test::readBytes;
using voxmg::test::TempFolder;
using voxmg::test::writeFile;

inline void putLe16(std::vector<std::uint8_t>& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void putLe32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    putLe16(b, static_cast<std::uint16_t>(v & 0xFFFF));
    putLe16(b, static_cast<std::uint16_t>(v >> 16));
}
inline void putText(std::vector<std::uint8_t>& b, const char* text) {
    for (const char* p = text; *p; ++p) {
        b.push_back(static_cast<std::uint8_t>(*p));
    }
}

// A canonical 44-byte PCM WAV header, field by field as the format defines it.
inline std::vector<std::uint8_t> wavHeader(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                           std::uint32_t dataBytes, std::uint16_t formatTag = 1) {
    std::vector<std::uint8_t> b;
    putText(b, "RIFF");
    putLe32(b, 36 + dataBytes);
    putText(b, "WAVE");
    putText(b, "fmt ");
    putLe32(b, 16);
    putLe16(b, formatTag);
    putLe16(b, channels);
    putLe32(b, rate);
    putLe32(b, rate * channels * bits / 8);
    putLe16(b, static_cast<std::uint16_t>(channels * bits / 8));
    putLe16(b, bits);
    putText(b, "data");
    putLe32(b, dataBytes);
    return b;
}

// A mono 16-bit 8000 Hz WAV file holding `samples`.
inline std::vector<std::uint8_t> monoWav(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> b = wavHeader(1, 8000, 16, static_cast<std::uint32_t>(samples.size() * 2));
    for (std::int16_t s : samples) {
        putLe16(b, static_cast<std::uint16_t>(s));
    }
    return b;
}

// The samples of a WAV file written by the program (data from offset 44).
inline std::vector<std::int16_t> wavSamples(const std::vector<std::uint8_t>& file) {
    std::vector<std::int16_t> out;
    for (std::size_t i = 44; i + 1 < file.size(); i += 2) {
        out.push_back(static_cast<std::int16_t>(file[i] | (file[i + 1] << 8)));
    }
    return out;
}

inline std::uint32_t le32At(const std::vector<std::uint8_t>& b, std::size_t offset) {
    return static_cast<std::uint32_t>(b[offset] | (b[offset + 1] << 8) | (b[offset + 2] << 16) |
                                      (static_cast<std::uint32_t>(b[offset + 3]) << 24));
}

// `count` frames of 10 bytes with no zero 16-bit word, so none reads as erased.
inline std::vector<std::uint8_t> codedFrames(std::size_t count) {
    std::vector<std::uint8_t> b;
    for (std::size_t f = 0; f < count; ++f) {
        for (std::uint8_t i = 0; i < 10; ++i) {
            b.push_back(static_cast<std::uint8_t>(0x11 * (i + 1) + f));
        }
    }
    return b;
}

// A voice data file: a zeroed 990-byte record and 256-byte header, then the frames.
inline std::vector<std::uint8_t> voiceDataFile(const std::vector<std::uint8_t>& frames) {
    std::vector<std::uint8_t> b(1246, 0);
    b.insert(b.end(), frames.begin(), frames.end());
    return b;
}

}  // namespace voxmg::audio::testing
