#include "core/audio/gain.h"

#include <algorithm>
#include <cmath>

namespace voxmg::audio {

std::int8_t gainFromSetting(int setting) {
    return static_cast<std::int8_t>(static_cast<std::uint8_t>(static_cast<unsigned>(setting) & 0xFFu));
}

void applyGain(std::span<std::int16_t> samples, std::int8_t db) {
    if (db == 0) {
        return;
    }
    const double factor = std::pow(10.0, static_cast<double>(db) / 20.0);
    for (std::int16_t& s : samples) {
        const double product = std::trunc(static_cast<double>(s) * factor);
        s = static_cast<std::int16_t>(std::clamp(product, -32768.0, 32767.0));
    }
}

}  // namespace voxmg::audio
