// Kills `voxmgctl move` at random moments while it moves every message of one box into another
// and back, and checks after every kill what a user relies on: each message is still whole in
// at least one of the two boxes, and every file under a message's name is a complete copy.
//
//   move_kill_loop --ctl PATH/voxmgctl [--kills N] [--seed S]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/kill_options.h"
#include "support/message_files.h"

namespace {

namespace fs = std::filesystem;
using voxmg::test::readFile;

constexpr int kMessages = 300;
const std::vector<std::string> kExtensions{".vminf", ".vmdat", ".wav"};

struct Loop {
    fs::path office;
    std::string ctl;
    std::map<std::string, std::string> original;  // file name -> bytes
    std::vector<std::string> bases;
    int failures = 0;

    fs::path box(int i) const { return office / "rusuroku" / (i == 0 ? "101" : "102"); }

    void fill() {
        for (int n = 1; n <= kMessages; ++n) {
            voxmg::test::ListedMessage m{.callerName = u"kill loop"};
            const std::string voice = voxmg::test::boxMessageName("0101", n);
            const std::string base = voice.substr(0, voice.size() - 6);
            bases.push_back(base);
            const std::string bytes[3] = {
                [&] {
                    auto b = voxmg::test::boxMessage(voxmg::test::recordOf(m));
                    return std::string(b.begin(), b.end());
                }(),
                [&] {
                    auto b = voxmg::test::boxMessage(voxmg::test::recordOf(m), {}, 2000 + 10 * n);
                    return std::string(b.begin(), b.end());
                }(),
                voxmg::test::patternBytes(3000 + static_cast<std::size_t>(n)),
            };
            for (std::size_t k = 0; k < kExtensions.size(); ++k) {
                // Every third message has no WAV file.
                if (k == 2 && n % 3 == 0) {
                    continue;
                }
                original[base + kExtensions[k]] = bytes[k];
                voxmg::test::writeFile((box(0) / (base + kExtensions[k])).string(), bytes[k]);
            }
        }
    }

    void fail(const std::string& what) {
        ++failures;
        std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    }

    void check(int round) {
        const std::string at = "round " + std::to_string(round) + ": ";
        for (int b = 0; b < 2; ++b) {
            for (const auto& e : fs::directory_iterator(box(b))) {
                const std::string name = e.path().filename().string();
                if (name.starts_with(".voxmg-")) {
                    continue;  // a temporary file of the interrupted run
                }
                auto it = original.find(name);
                if (it == original.end()) {
                    fail(at + "unexpected file " + name);
                } else if (readFile(e.path().string()) != it->second) {
                    fail(at + "broken file under its final name: " + name);
                }
            }
        }
        for (const std::string& base : bases) {
            bool whole = false;
            for (int b = 0; b < 2 && !whole; ++b) {
                whole = true;
                for (const std::string& ext : kExtensions) {
                    if (original.count(base + ext) != 0 && !fs::exists(box(b) / (base + ext))) {
                        whole = false;
                    }
                }
            }
            if (!whole) {
                fail(at + "message in neither box whole: " + base);
            }
        }
    }

    pid_t startMove(int from) const {
        std::vector<std::string> args{ctl, "move"};
        for (const auto& e : fs::directory_iterator(box(from))) {
            if (e.path().extension() == ".vmdat") {
                args.push_back(e.path().string());
            }
        }
        args.insert(args.end(), {"--to", from == 0 ? "rusuroku/102" : "rusuroku/101", "--overwrite", "all"});
        return voxmg::test::spawnQuiet(std::move(args));
    }
};

}  // namespace

int main(int argc, char** argv) {
    const auto options = voxmg::test::killOptions(argc, argv, "move_kill_loop");
    if (!options) {
        return 2;
    }
    const int kills = options->kills;
    const unsigned seed = options->seed;
    const std::string& ctl = options->ctl;
    Loop loop;
    loop.ctl = ctl;
    voxmg::test::TempFolder work;
    loop.office = work.file("office");
    fs::create_directories(loop.box(0));
    fs::create_directories(loop.box(1));
    loop.fill();

    std::printf("move kill loop: %d kills, seed %u\n", kills, seed);
    std::fflush(stdout);
    // One whole move first, for how long a move takes here: the kills fall inside that time.
    const auto started = std::chrono::steady_clock::now();
    int status = 0;
    ::waitpid(loop.startMove(0), &status, 0);
    const auto took =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    loop.check(0);
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delay(0, std::max<long>(1000, static_cast<long>(took.count())));
    int midRun = 0;  // kills that left messages in both boxes
    for (int round = 1; round <= kills; ++round) {
        const int from = round % 2 == 1 ? 1 : 0;
        const bool killed =
            voxmg::test::killAfter(loop.startMove(from), std::chrono::microseconds(delay(random)));
        loop.check(round);
        midRun += killed && !fs::is_empty(loop.box(0)) && !fs::is_empty(loop.box(1)) ? 1 : 0;
    }
    std::printf("%d of %d kills stopped a move half way; %d failures\n", midRun, kills, loop.failures);
    return loop.failures == 0 ? 0 : 1;
}
