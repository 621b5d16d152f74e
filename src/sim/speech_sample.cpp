#include "sim/speech_sample.h"

#include <string_view>

namespace voxmg::sim {

namespace {

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

bool tagIs(std::span<const std::uint8_t> b, std::size_t at, std::string_view tag) {
    return std::string_view(reinterpret_cast<const char*>(b.data() + at), 4) == tag;
}

}  // namespace

std::optional<std::vector<std::int16_t>> readPcm8kMono(std::span<const std::uint8_t> wav) {
    if (wav.size() < 12 || !tagIs(wav, 0, "RIFF") || !tagIs(wav, 8, "WAVE")) {
        return std::nullopt;
    }
    bool formatOk = false;
    std::size_t at = 12;
    while (wav.size() - at >= 8) {
        std::uint32_t size = le32(wav, at + 4);
        std::size_t body = at + 8;
        if (size > wav.size() - body) {
            return std::nullopt;
        }
        if (tagIs(wav, at, "fmt ") && size >= 16) {
            formatOk = le16(wav, body) == 1 && le16(wav, body + 2) == 1 && le32(wav, body + 4) == 8000 &&
                       le16(wav, body + 14) == 16;
        } else if (tagIs(wav, at, "data")) {
            if (!formatOk) {
                return std::nullopt;
            }
            std::vector<std::int16_t> samples(size / 2);
            for (std::size_t i = 0; i < samples.size(); ++i) {
                samples[i] = static_cast<std::int16_t>(le16(wav, body + 2 * i));
            }
            return samples;
        }
        at = body + size + (size & 1);  // chunks are padded to even lengths
    }
    return std::nullopt;
}

}  // namespace voxmg::sim
