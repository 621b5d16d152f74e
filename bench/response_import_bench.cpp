// "追加" of a 10-minute WMA into a response slot, the whole operation (prechecks, durable copy,
// conversion, header and record), against FFmpeg decoding the file plus a bare bcg729 encode
// loop over its samples, measured in the same run. Prints the ratio; never asserts a time.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_codec.h"
#include "bench_ffmpeg.h"
#include "bench_run.h"
#include "core/audio/encoding_engine.h"
#include "core/lists/response_import.h"

namespace {

constexpr int kSeconds = 600;
constexpr int kRuns = 5;

}  // namespace

int main() {
    using namespace voxmg;
    const std::string dir = bench::scratchFolder();
    if (dir.empty()) {
        return 1;
    }
    const std::string outou = dir + "/box/outou";
    std::filesystem::create_directories(outou);

    const std::vector<std::int16_t> signal = bench::testSignal(kSeconds, 11);
    const std::string raw = dir + "/signal.pcm";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(signal.data()), static_cast<std::streamsize>(signal.size() * 2));
    const std::string wma = dir + "/greeting.wma";
    const std::string cmd = "ffmpeg -loglevel error -y -f s16le -ar 8000 -ac 1 -i '" + raw +
                            "' -c:a wmav2 -b:a 64k '" + wma + "'";
    if (std::system(cmd.c_str()) != 0) {
        std::printf("response import: skipped, the ffmpeg command could not make the WMA file\n");
        return 0;
    }

    Flags flags;
    audio::EncodingEngine engine(dir + "/");
    response_import::ImportRequest request;
    request.responseFolder = outou;
    request.slot = 1;
    request.source = wma;
    request.replace = true;  // every run after the first replaces the last one's message
    int imported = 1;
    volatile std::size_t sink = 0;
    const auto [bestBaseline, bestImport] = bench::bestOfTurns(
        kRuns, [&] { sink = sink + bench::bareEncode(bench::bareFfmpegDecode(wma)).size(); },
        [&] {
            const auto result = response_import::run(request, engine, {flags, [] {}, nullptr});
            imported &= result.outcome == response_import::ImportOutcome::Imported ? 1 : 0;
        });
    std::printf(
        "response import, %d s WMA into a slot: operation %.1f ms, "
        "FFmpeg decode + bare bcg729 encode %.1f ms, ratio %.2f (aim <= 1.2)%s\n",
        kSeconds, bestImport, bestBaseline, bestImport / bestBaseline, imported ? "" : " [import FAILED]");
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
