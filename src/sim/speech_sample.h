#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The short speech recording (assets/speech_8k.wav, 8000 Hz mono 16-bit) built into the
// simulator, from which the demo messages take their voice.
namespace voxmg::sim {

std::span<const std::uint8_t> speechSampleWav();

// The samples of a canonical PCM WAV file: 8000 Hz, mono, 16-bit. Empty for anything else.
std::optional<std::vector<std::int16_t>> readPcm8kMono(std::span<const std::uint8_t> wav);

}  // namespace voxmg::sim
