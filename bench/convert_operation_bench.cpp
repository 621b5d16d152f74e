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

#include "bench_codec.h"
#include "bench_run.h"
#include "core/audio/decoding_engine.h"
#include "core/lists/convert_operation.h"

namespace {

constexpr int kMessages = 200;
constexpr int kSeconds = 30;
constexpr int kRuns = 3;

}  // namespace

int main() {
    using namespace voxmg;
    const std::string dir = bench::scratchFolder();
    if (dir.empty()) {
        return 1;
    }
    const std::string box = dir + "/本社/rusuroku/0101";
    std::filesystem::create_directories(box);

    const std::vector<std::uint8_t> frames = bench::bareEncode(bench::testSignal(kSeconds, 11));
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
        bestBare = std::min(bestBare, bench::elapsedMs([&] {
                                for (int n = 0; n < kMessages; ++n) {
                                    sink = sink + bench::bareDecode(frames);
                                }
                            }));
        bestOperation = std::min(
            bestOperation, bench::elapsedMs([&] { converted = convertMessages(request, env).converted; }));
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
