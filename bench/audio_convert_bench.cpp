// Conversion speed against bare codec loops measured in the same run:
// - a 10-minute message converted to WAV, against a bare bcg729 decode loop over its frames;
// - a 10-minute WMA imported, against FFmpeg decoding it plus a bare bcg729 encode loop.
// Prints ratios; never asserts a time.

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
#include <utility>
#include <vector>

#include "bench_codec.h"
#include "bench_ffmpeg.h"
#include "bench_run.h"
#include "core/audio/audio_import.h"
#include "core/audio/conversion_engine.h"
#include "core/audio/g729_codec.h"
#include "core/audio/wav_conversion.h"

namespace {

constexpr int kSeconds = 600;
constexpr int kRuns = 5;

void writeFile(const std::string& path, const std::vector<std::uint8_t>& prefix, const void* data,
               std::size_t n) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(prefix.data()), static_cast<std::streamsize>(prefix.size()));
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
}

std::vector<std::uint8_t> wavHeaderFor(std::size_t samples) {
    std::vector<std::uint8_t> h;
    auto le = [&h](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            h.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    };
    auto tag = [&h](const char* t) { h.insert(h.end(), t, t + 4); };
    const auto data = static_cast<std::uint32_t>(samples * 2);
    tag("RIFF"), le(36 + data, 4), tag("WAVE"), tag("fmt "), le(16, 4), le(1, 2), le(1, 2), le(8000, 4);
    le(16000, 4), le(2, 2), le(16, 2), tag("data"), le(data, 4);
    return h;
}

}  // namespace

int main() {
    using namespace voxmg;
    const std::string dir = bench::scratchFolder();
    if (dir.empty()) {
        return 1;
    }
    audio::ConversionEngine engine(dir);
    Flags flags;
    const audio::CallerContext caller{flags, [] {}, nullptr};

    const std::vector<std::int16_t> signal = bench::testSignal(kSeconds, 7);
    const std::vector<std::uint8_t> frames = bench::bareEncode(signal);
    const std::string voice = dir + "/msg.vmdat";
    writeFile(voice, std::vector<std::uint8_t>(1246, 0), frames.data(), frames.size());

    volatile std::int64_t sink = 0;
    int converted = 1;
    const auto [bareDecodeMs, convertMs] = bench::bestOfTurns(
        kRuns, [&] { sink = sink + bench::bareDecode(frames); },
        [&] { converted &= audio::convertVoiceFileToWav(engine.decoding, voice, 0, {}, caller); });
    std::printf(
        "to-wav, %d s of speech: engine %.1f ms, bare bcg729 decode %.1f ms, ratio %.2f (aim <= 1.2)%s\n",
        kSeconds, convertMs, bareDecodeMs, convertMs / bareDecodeMs, converted ? "" : " [conversion FAILED]");

    const std::string wav = dir + "/signal.wav";
    const std::vector<std::uint8_t> header = wavHeaderFor(signal.size());
    writeFile(wav, header, signal.data(), signal.size() * 2);
    const std::string wma = dir + "/A001.WMA";
    const std::string cmd = "ffmpeg -loglevel error -y -i '" + wav + "' -c:a wmav2 -b:a 64k '" + wma + "'";
    if (std::system(cmd.c_str()) != 0) {
        std::printf("import: skipped, the ffmpeg command could not make the WMA file\n");
    } else {
        int imported = 1;
        const auto [bareImportMs, importMs] = bench::bestOfTurns(
            kRuns,
            [&] {
                const std::vector<std::int16_t> pcm = bench::bareFfmpegDecode(wma);
                sink = sink + static_cast<std::int64_t>(bench::bareEncode(pcm).size());
            },
            [&] { imported &= audio::runEncodingJob(engine.encoding, wma, dir + "/A001.vmdat", 0, caller); });
        std::printf(
            "import, %d s WMA: engine %.1f ms, FFmpeg decode + bare bcg729 encode %.1f ms, ratio %.2f "
            "(aim <= 1.3)%s\n",
            kSeconds, importMs, bareImportMs, importMs / bareImportMs, imported ? "" : " [import FAILED]");
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
