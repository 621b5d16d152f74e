#include "sim/g729.h"

// The library's header declares C functions without extern "C".
extern "C" {
#include <bcg729/encoder.h>
}

#include <array>
#include <memory>

namespace voxmg::sim {

namespace {

struct EncoderDeleter {
    void operator()(bcg729EncoderChannelContextStruct* context) const { closeBcg729EncoderChannel(context); }
};

}  // namespace

std::string encodeG729a(std::span<const std::int16_t> samples) {
    // Voice activity detection off: the main unit stores a full frame for every 10 ms.
    std::unique_ptr<bcg729EncoderChannelContextStruct, EncoderDeleter> encoder(initBcg729EncoderChannel(0));
    if (!encoder) {
        return {};
    }
    std::string frames;
    for (std::size_t start = 0; start < samples.size(); start += kSamplesPerFrame) {
        std::array<std::int16_t, kSamplesPerFrame> pcm{};
        auto piece = samples.subspan(start, std::min(kSamplesPerFrame, samples.size() - start));
        std::copy(piece.begin(), piece.end(), pcm.begin());
        std::array<std::uint8_t, kFrameBytes> frame{};
        std::uint8_t length = 0;
        bcg729Encoder(encoder.get(), pcm.data(), frame.data(), &length);
        if (length != kFrameBytes) {
            return {};
        }
        frames.append(frame.begin(), frame.end());
    }
    return frames;
}

}  // namespace voxmg::sim
