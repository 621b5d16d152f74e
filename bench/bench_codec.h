#pragma once

// What the audio benches share: a test signal the codec has work on, and the bare bcg729 loops
// the program's conversions are measured against.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

extern "C" {
#include <bcg729/decoder.h>
#include <bcg729/encoder.h>
}

namespace bench {

// Voiced tone with a wandering pitch, noise and syllable gaps: something the codec has to
// work on, not silence.
inline std::vector<std::int16_t> testSignal(int seconds, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, 600);
    std::vector<std::int16_t> s(static_cast<std::size_t>(seconds) * 8000);
    double phase = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / 8000;
        phase += (150 + 40 * std::sin(2 * M_PI * 0.5 * t)) / 8000;
        const double env = std::fmod(t, 0.75) < 0.5 ? 1 : 0.05;
        const double v =
            env * (6000 * std::sin(2 * M_PI * phase) + 2500 * std::sin(6 * M_PI * phase)) + noise(rng);
        s[i] = static_cast<std::int16_t>(std::clamp(v, -32000.0, 32000.0));
    }
    return s;
}

inline std::vector<std::uint8_t> bareEncode(const std::vector<std::int16_t>& pcm) {
    bcg729EncoderChannelContextStruct* enc = initBcg729EncoderChannel(0);
    std::vector<std::uint8_t> frames(pcm.size() / 80 * 10);
    for (std::size_t f = 0; f < pcm.size() / 80; ++f) {
        std::uint8_t len = 0;
        bcg729Encoder(enc, pcm.data() + f * 80, frames.data() + f * 10, &len);
    }
    closeBcg729EncoderChannel(enc);
    return frames;
}

// One decoder context per call, as the engine makes one per conversion.
inline std::int64_t bareDecode(const std::vector<std::uint8_t>& frames) {
    bcg729DecoderChannelContextStruct* dec = initBcg729DecoderChannel();
    std::int16_t out[80];
    std::int64_t sum = 0;
    for (std::size_t f = 0; f + 10 <= frames.size(); f += 10) {
        bcg729Decoder(dec, frames.data() + f, 10, 0, 0, 0, out);
        sum += out[0];
    }
    closeBcg729DecoderChannel(dec);
    return sum;
}

}  // namespace bench
