// Kills `voxmgctl import-response --replace` at random moments while it replaces the message of
// one slot, then runs the same import again to its end. After each kill the slot holds only
// whole messages, the old one or the new one, and no audio copy lacks its message; after the
// second run the slot holds the new one with its audio copy beside it and nothing else.
//
//   response_kill_loop --ctl PATH/voxmgctl [--kills N] [--seed S]
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/kill_options.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using voxmg::test::readFile;

constexpr int kSlot = 7;
// A whole message: the record, the main unit header, then 1000 bytes of frames a second.
constexpr std::uintmax_t kRecordAndHeader = 990 + 256;

// A mono 8000 Hz tone of `seconds` as a WAV file, written field by field.
std::string toneWav(int seconds) {
    const std::uint32_t samples = 8000u * static_cast<std::uint32_t>(seconds);
    std::string b;
    auto le = [&b](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
    };
    b += "RIFF";
    le(36 + samples * 2, 4);
    b += "WAVEfmt ";
    le(16, 4);
    le(1, 2);
    le(1, 2);
    le(8000, 4);
    le(16000, 4);
    le(2, 2);
    le(16, 2);
    b += "data";
    le(samples * 2, 4);
    for (std::uint32_t i = 0; i < samples; ++i) {
        le(static_cast<std::uint16_t>(static_cast<std::int16_t>(5000 * std::sin(i / 5.0))), 2);
    }
    return b;
}

struct Loop {
    std::string ctl;
    fs::path root;
    fs::path outou;
    std::vector<std::string> sources;       // the two files imported in turn
    std::vector<std::uintmax_t> wholeSize;  // the size of each one's message
    int failures = 0;
    int leftovers = 0;  // kills that left work files for the next run to clear

    void fail(const std::string& what) {
        ++failures;
        std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    }

    pid_t startImport(std::size_t source) const {
        return voxmg::test::spawnQuiet({ctl, "import-response", sources[source], "--slot",
                                        std::to_string(kSlot), "--root", root.string(), "--folder", "office",
                                        "--replace"});
    }

    // Gives the slot's message (voice file and audio copy) the name of one imported long ago, so
    // that the new message's names differ from the old one's as they do outside this loop,
    // where the replacement comes minutes or days later.
    void ageMessage() const {
        for (const auto& e : fs::directory_iterator(outou)) {
            const std::string ext = e.path().extension().string();
            fs::rename(e.path(), outou / ("202001011200_WED_A007_0000" + ext));
        }
    }

    // Right after a kill: every voice file is a whole message, there is at least one, and
    // every audio copy has its message. Only hidden work files may wait for the next run.
    void checkAfterKill(int round) {
        int messages = 0;
        bool hidden = false;
        for (const auto& e : fs::directory_iterator(outou)) {
            const std::string name = e.path().filename().string();
            if (name.starts_with(".")) {
                hidden = true;
                continue;
            }
            if (e.path().extension() != ".vmdat") {
                if (!fs::exists(fs::path(e.path()).replace_extension(".vmdat"))) {
                    fail("round " + std::to_string(round) + ": audio copy without its message: " + name);
                }
                continue;
            }
            ++messages;
            const std::uintmax_t size = fs::file_size(e.path());
            if (size != wholeSize[0] && size != wholeSize[1]) {
                fail("round " + std::to_string(round) + ": broken message " + name + " of " +
                     std::to_string(size) + " bytes");
            }
        }
        if (messages == 0) {
            fail("round " + std::to_string(round) + ": the slot lost its message");
        }
        leftovers += hidden ? 1 : 0;
    }

    // After a run to the end: the new message with its copy, and nothing else.
    void checkAfterRun(int round, std::size_t source) {
        const std::string at = "round " + std::to_string(round) + ": ";
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(outou)) {
            files.push_back(e.path());
        }
        if (files.size() != 2) {
            for (const fs::path& f : files) {
                fail(at + "in the folder: " + f.filename().string());
            }
            return;
        }
        std::sort(files.begin(), files.end());
        // ".WAV" sorts before ".vmdat".
        if (files[0].extension() != ".WAV" || files[1].extension() != ".vmdat" ||
            files[0].stem() != files[1].stem()) {
            fail(at + "not one message with its copy: " + files[0].filename().string() + ", " +
                 files[1].filename().string());
            return;
        }
        if (fs::file_size(files[1]) != wholeSize[source]) {
            fail(at + "the slot holds the wrong message");
        }
        if (readFile(files[0].string()) != readFile(sources[source])) {
            fail(at + "the audio copy differs from the source");
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    const auto options = voxmg::test::killOptions(argc, argv, "response_kill_loop");
    if (!options) {
        return 2;
    }
    Loop loop;
    loop.ctl = options->ctl;
    voxmg::test::TempFolder work;
    loop.root = work.file("data");
    loop.outou = loop.root / "office" / "outou";
    fs::create_directories(loop.outou);
    for (int seconds : {3, 5}) {
        const std::string path = work.file("tone" + std::to_string(seconds) + ".WAV");
        voxmg::test::writeFile(path, toneWav(seconds));
        loop.sources.push_back(path);
        loop.wholeSize.push_back(kRecordAndHeader + 1000u * static_cast<std::uintmax_t>(seconds));
    }

    std::printf("import kill loop: %d kills, seed %u\n", options->kills, options->seed);
    std::fflush(stdout);
    // One whole import first, for how long one takes here: the kills fall inside that time.
    const auto started = std::chrono::steady_clock::now();
    int status = 0;
    ::waitpid(loop.startImport(0), &status, 0);
    const auto took =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "FAIL: the first import did not succeed\n");
        return 1;
    }
    loop.checkAfterRun(0, 0);
    std::mt19937 random(options->seed);
    std::uniform_int_distribution<long> delay(0, std::max<long>(1000, static_cast<long>(took.count())));
    int midRun = 0;
    for (int round = 1; round <= options->kills; ++round) {
        const std::size_t source = static_cast<std::size_t>(round % 2);
        loop.ageMessage();
        midRun += voxmg::test::killAfter(loop.startImport(source), std::chrono::microseconds(delay(random)))
                      ? 1
                      : 0;
        loop.checkAfterKill(round);
        ::waitpid(loop.startImport(source), &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            loop.fail("round " + std::to_string(round) + ": the second run failed");
        }
        loop.checkAfterRun(round, source);
    }
    std::printf(
        "%d of %d kills stopped an import half way, %d left work files for the next run; %d failures\n",
        midRun, options->kills, loop.leftovers, loop.failures);
    return loop.failures == 0 ? 0 : 1;
}
