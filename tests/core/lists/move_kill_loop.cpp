// Kills `voxmgctl move` and `voxmgctl copy` at random moments while they carry every message of
// one box into another, runs the same command again, and checks what a user relies on: after a
// kill every message is still whole in at least one box and every file under a message's name
// is a complete copy; after the second run every message is whole where it was sent and (for a
// move) nowhere else, and no hidden temporary file or lone recording info is left.
//
//   move_kill_loop --ctl PATH/voxmgctl [--kills N] [--seed S]
//                  [--mode move|overwrite|copy|race|convert-race]
//                  [--messages N]
//
// move: a plain move. overwrite: the destination holds a copy of each message already and the
// move overwrites it ("--overwrite all"). copy: a copy into an emptied box, answered いいえ on
// a clash as the default is. race: no kills; two moves of the same messages started together.
// convert-race: no kills; a move and a conversion to WAV of the same messages started together,
// which must never leave a WAV file without its message.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

const std::vector<std::string> kExtensions{".vminf", ".vmdat", ".wav"};

enum class Mode { Move, Overwrite, Copy, Race, ConvertRace };

struct Loop {
    fs::path office;
    std::string ctl;
    Mode mode = Mode::Move;
    int messages = 300;
    std::map<std::string, std::string> original;  // file name -> bytes
    std::vector<std::string> bases;
    int failures = 0;

    fs::path box(int i) const { return office / "rusuroku" / (i == 0 ? "101" : "102"); }

    void fill() {
        for (int n = 1; n <= messages; ++n) {
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

    bool holds(int b, const std::string& name) const { return fs::exists(box(b) / name); }

    // Every file under a final name is a complete copy of a message's file; temporary files are
    // tolerated only while a killed run has not been followed by another.
    void checkFiles(const std::string& at, bool afterKill) {
        for (int b = 0; b < 2; ++b) {
            for (const auto& e : fs::directory_iterator(box(b))) {
                const std::string name = e.path().filename().string();
                if (name.starts_with(".voxmg-")) {
                    if (!afterKill) {
                        fail(at + "temporary file left: " + name);
                    }
                    continue;
                }
                if (mode == Mode::ConvertRace && name.ends_with(".wav")) {
                    // Made by the conversion: whatever its bytes, never without its message.
                    if (!holds(b, name.substr(0, name.size() - 4) + ".vmdat")) {
                        fail(at + "WAV file without its message: " + name);
                    }
                    continue;
                }
                auto it = original.find(name);
                if (it == original.end()) {
                    fail(at + "unexpected file " + name);
                } else if (readFile(e.path().string()) != it->second) {
                    fail(at + "broken file under its final name: " + name);
                }
            }
        }
    }

    // Right after a kill: each message whole in at least one box.
    void checkAfterKill(int round) {
        const std::string at = "round " + std::to_string(round) + " (killed): ";
        checkFiles(at, true);
        for (const std::string& base : bases) {
            bool whole = false;
            for (int b = 0; b < 2 && !whole; ++b) {
                whole = true;
                for (const std::string& ext : kExtensions) {
                    whole = whole && (original.count(base + ext) == 0 || holds(b, base + ext));
                }
            }
            if (!whole) {
                fail(at + "message in neither box whole: " + base);
            }
        }
    }

    // After the second run: a move left each message whole in `to` and nothing of it in the
    // other box; a copy left it whole in both (its WAV file may stay behind: a clash answered
    // いいえ keeps the destination's message as it is).
    void checkFinished(int round, int to) {
        const std::string at = "round " + std::to_string(round) + ": ";
        checkFiles(at, false);
        const int from = 1 - to;
        for (const std::string& base : bases) {
            for (const std::string& ext : kExtensions) {
                if (original.count(base + ext) == 0) {
                    continue;
                }
                const bool wav = ext == ".wav";
                if (!holds(to, base + ext) && !((mode == Mode::Copy || mode == Mode::ConvertRace) && wav)) {
                    fail(at + "missing in the destination: " + base + ext);
                }
                if (mode == Mode::Copy ? !holds(from, base + ext) : holds(from, base + ext)) {
                    fail(at + (mode == Mode::Copy ? "source lost " : "message in two boxes: ") + base + ext);
                }
            }
        }
    }

    // The destination of an overwrite holds its own copy of every message; a copy starts empty.
    void prepare(int to) {
        if (mode == Mode::Copy) {
            for (const auto& e : fs::directory_iterator(box(to))) {
                fs::remove(e.path());
            }
        }
        if (mode == Mode::Overwrite) {
            for (const auto& [name, bytes] : original) {
                voxmg::test::writeFile((box(to) / name).string(), bytes);
            }
        }
    }

    // The command line of a run over every message in box `from`.
    std::vector<std::string> command(int from) const {
        std::vector<std::string> args{ctl, mode == Mode::Copy ? "copy" : "move"};
        for (const auto& e : fs::directory_iterator(box(from))) {
            if (e.path().extension() == ".vmdat") {
                args.push_back(e.path().string());
            }
        }
        args.insert(args.end(), {"--to", from == 0 ? "rusuroku/102" : "rusuroku/101"});
        if (mode == Mode::Overwrite) {
            args.insert(args.end(), {"--overwrite", "all"});
        }
        return args;
    }

    pid_t start(int from) const { return voxmg::test::spawnQuiet(command(from)); }

    // The WAV files of box `from` removed, then a move of its messages and their conversion to
    // WAV beside them started together.
    void convertRace(int from) const {
        std::vector<std::string> convert{ctl, "convert"};
        for (const auto& e : fs::directory_iterator(box(from))) {
            if (e.path().extension() == ".wav") {
                fs::remove(e.path());
            } else if (e.path().extension() == ".vmdat") {
                convert.push_back(e.path().string());
            }
        }
        const pid_t mover = start(from);
        const pid_t converter = voxmg::test::spawnQuiet(convert);
        wait(mover);
        wait(converter);
    }

    int wavFiles(int b) const {
        int n = 0;
        for (const auto& e : fs::directory_iterator(box(b))) {
            n += e.path().extension() == ".wav" ? 1 : 0;
        }
        return n;
    }

    static void wait(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
};

int messagesOption(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--messages") == 0) {
            return std::max(1, std::atoi(argv[i + 1]));
        }
    }
    return 300;
}

std::optional<Mode> modeOption(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--mode") != 0) {
            continue;
        }
        const std::string m = argv[i + 1];
        if (m == "move" || m == "overwrite" || m == "copy" || m == "race" || m == "convert-race") {
            return m == "move"        ? Mode::Move
                   : m == "overwrite" ? Mode::Overwrite
                   : m == "copy"      ? Mode::Copy
                   : m == "race"      ? Mode::Race
                                      : Mode::ConvertRace;
        }
        return std::nullopt;
    }
    return Mode::Move;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = voxmg::test::killOptions(argc, argv, "move_kill_loop");
    const auto mode = modeOption(argc, argv);
    if (!options || !mode) {
        std::fprintf(stderr, "move_kill_loop: --mode move|overwrite|copy|race|convert-race\n");
        return 2;
    }
    const int kills = options->kills;
    const unsigned seed = options->seed;
    Loop loop;
    loop.ctl = options->ctl;
    loop.mode = *mode;
    loop.messages = messagesOption(argc, argv);
    voxmg::test::TempFolder work;
    loop.office = work.file("office");
    fs::create_directories(loop.box(0));
    fs::create_directories(loop.box(1));
    loop.fill();

    std::printf("move kill loop (%s): %d rounds of %d messages, seed %u\n",
                *mode == Mode::Move        ? "move"
                : *mode == Mode::Overwrite ? "overwrite"
                : *mode == Mode::Copy      ? "copy"
                : *mode == Mode::Race      ? "race"
                                           : "convert-race",
                kills, loop.messages, seed);
    std::fflush(stdout);
    // One whole run first, for how long a run takes here: the kills fall inside that time.
    loop.prepare(1);
    const auto started = std::chrono::steady_clock::now();
    Loop::wait(loop.start(0));
    const auto took =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    loop.checkFinished(0, 1);
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delay(0, std::max<long>(1000, static_cast<long>(took.count())));
    int midRun = 0;     // kills that ended a run before it finished
    int converted = 0;  // races in which the conversion came first and its WAV files moved along
    for (int round = 1; round <= kills; ++round) {
        // A move goes back and forth; a copy always starts from box 101.
        const int from = loop.mode == Mode::Copy || round % 2 == 0 ? 0 : 1;
        loop.prepare(1 - from);
        if (loop.mode == Mode::ConvertRace) {
            loop.convertRace(from);
            converted += loop.wavFiles(1 - from) > 0 ? 1 : 0;
        } else if (loop.mode == Mode::Race) {
            const auto args = loop.command(from);
            const pid_t first = voxmg::test::spawnQuiet(args);
            const pid_t second = voxmg::test::spawnQuiet(args);
            Loop::wait(first);
            Loop::wait(second);
        } else {
            const bool killed =
                voxmg::test::killAfter(loop.start(from), std::chrono::microseconds(delay(random)));
            midRun += killed ? 1 : 0;
            loop.checkAfterKill(round);
            Loop::wait(loop.start(from));
        }
        loop.checkFinished(round, 1 - from);
    }
    if (loop.mode == Mode::ConvertRace) {
        std::printf("%d of %d races converted before the move\n", converted, kills);
    }
    std::printf("%d of %d runs killed before they finished; %d failures\n", midRun, kills, loop.failures);
    return loop.failures == 0 ? 0 : 1;
}
