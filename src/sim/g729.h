#pragma once

#include <cstdint>
#include <span>
#include <string>

// G.729 Annex A encoding of 8000 Hz mono PCM through bcg729, as the main unit stores voice:
// one 10-byte frame per 80 samples, frames back to back in the codec's own octet order.
namespace voxmg::sim {

inline constexpr std::size_t kSamplesPerFrame = 80;
inline constexpr std::size_t kFrameBytes = 10;

// Frames for the samples; a short last frame is padded with silence. Empty when the codec
// could not be set up.
std::string encodeG729a(std::span<const std::int16_t> samples);

}  // namespace voxmg::sim
