#pragma once

#include <cstdint>
#include <span>

namespace voxmg::audio {

// The LEVEL settings are stored as plain integers, but only their low 8 bits count, read as
// a signed byte: 250 in the settings file acts as -6 dB. Old settings files rely on this.
std::int8_t gainFromSetting(int setting);

// Multiplies every sample by 10^(db/20) (double precision), truncating toward zero and
// clamping to the 16-bit range. A gain of 0 leaves the samples untouched.
void applyGain(std::span<std::int16_t> samples, std::int8_t db);

}  // namespace voxmg::audio
