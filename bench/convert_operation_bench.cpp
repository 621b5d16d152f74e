// The list's "変換" on 200 messages of 30 s each, through the whole operation (checks, free
// space, frame files, the decoding engine, WAV files), against a bare bcg729 decode loop over
// the same frames measured in the same run. Prints the ratio; never asserts a time.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/audio/decoding_engine.h"
#include "core/lists/convert_operation.h"

extern "C" {
#include <bcg729/decoder.h>
#include <bcg729/encoder.h>
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMessages = 200;
constexpr int kSeconds = 30;
constexpr int kRuns = 3;

double elapsedMs(const std::function<void()>& run) {
    const auto t0 = Clock::now();
    run();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Voiced tone with a wandering pitch, noise and syllable gaps, so the codec has work to do.
std::vector<std::int16_t> testSignal() {
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(0, 600);
    std::vector<std::int16_t> s(static_cast<std::size_t>(kSeconds) * 8000);
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

std::vector<std::uint8_t> bareEncode(const std::vector<std::int16_t>& pcm) {
    bcg729EncoderChannelContextStruct* enc = initBcg729EncoderChannel(0);
    std::vector<std::uint8_t> frames(pcm.size() / 80 * 10);
    for (std::size_t f = 0; f < pcm.size() / 80; ++f) {
        std::uint8_t len = 0;
        bcg729Encoder(enc, pcm.data() + f * 80, frames.data() + f * 10, &len);
    }
    closeBcg729EncoderChannel(enc);
    return frames;
}

// One decoder context per message, as the engine makes one per conversion.
std::int64_t bareDecode(const std::vector<std::uint8_t>& frames) {
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

}  // namespace

int main() {
    using namespace voxmg;
    std::string pattern = (std::filesystem::temp_directory_path() / "voxmg-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = pattern;
    const std::string box = dir + "/本社/rusuroku/0101";
    std::filesystem::create_directories(box);

    const std::vector<std::uint8_t> frames = bareEncode(testSignal());
    ConvertRequest request;
    for (int n = 1; n <= kMessages; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "/202612061305_SUN_0101_%05d.vmdat", n);
        const std::string path = box + name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const std::vector<char> head(1246, 0);
        out.write(head.data(), static_cast<std::streamsize>(head.size()));
        out.write(reinterpret_cast<const char*>(frames.data()), static_cast<std::streamsize>(frames.size()));
        request.rows.push_back({path, 2});
    }

    audio::DecodingEngine engine;
    Flags flags;
    ConvertEnv env{engine, flags, [] {}, nullptr, systemFreeSpaceProbe(), {}};
    volatile std::int64_t sink = 0;
    double bestBare = 1e300;
    double bestOperation = 1e300;
    int converted = 0;
    for (int run = 0; run < kRuns; ++run) {
        for (const auto& row : request.rows) {
            std::filesystem::remove(wavPathFor(row.path));
        }
        bestBare = std::min(bestBare, elapsedMs([&] {
                                for (int n = 0; n < kMessages; ++n) {
                                    sink = sink + bareDecode(frames);
                                }
                            }));
        bestOperation =
            std::min(bestOperation, elapsedMs([&] { converted = convertMessages(request, env).converted; }));
    }
    std::printf(
        "convert, %d messages of %d s: operation %.1f ms, bare bcg729 decode %.1f ms, ratio %.2f (aim <= "
        "1.15)%s\n",
        kMessages, kSeconds, bestOperation, bestBare, bestOperation / bestBare,
        converted == kMessages ? "" : " [conversion FAILED]");
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
