#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

// G.729 Annex A through bcg729. Frames are 10 bytes in the octet order of RFC 3551, which is
// also how the main unit stores them (five big-endian 16-bit words), so they travel between
// file and codec unchanged. The workers take the codec through these small interfaces so a
// test can watch what reaches it.
namespace voxmg::audio {

inline constexpr std::size_t kFrameBytes = 10;
inline constexpr std::size_t kFrameSamples = 80;

using CodedFrame = std::span<const std::uint8_t, kFrameBytes>;

// The main unit marks a lost frame by a zero 16-bit word; such a frame is decoded with the
// frame erasure flag set, not as parameters of zero.
bool isErasedFrame(CodedFrame frame);

class FrameDecoder {
public:
    virtual ~FrameDecoder() = default;
    virtual bool decode(CodedFrame frame, bool erased, std::span<std::int16_t, kFrameSamples> out) = 0;
};

class FrameEncoder {
public:
    virtual ~FrameEncoder() = default;
    // False when the codec does not yield a whole 10-byte frame.
    virtual bool encode(std::span<const std::int16_t, kFrameSamples> in,
                        std::span<std::uint8_t, kFrameBytes> out) = 0;
};

// A fresh codec context per job; null when the library cannot set one up.
using DecoderFactory = std::function<std::unique_ptr<FrameDecoder>()>;
using EncoderFactory = std::function<std::unique_ptr<FrameEncoder>()>;

std::unique_ptr<FrameDecoder> makeBcg729Decoder();
// Voice activity detection stays off: the main unit expects a full frame every 10 ms.
std::unique_ptr<FrameEncoder> makeBcg729Encoder();

}  // namespace voxmg::audio
