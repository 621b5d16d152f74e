// Kills `voxmgctl download` with automatic deletion and mail at random moments while it fetches
// from a slow main unit, and checks after every kill what a user relies on: every file under a
// message's name on the PC is a complete copy, and every message gone from the main unit is
// complete on the PC. Refills the main unit when everything has been fetched. At the end every
// message stored is due for its mail: none was lost to a kill between its rename and the
// sender.
//
//   download_kill_loop --ctl PATH/voxmgctl [--kills N] [--seed S]
// CTest runs it with a few kills; bench/kill_loop.sh runs the long version.
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

#include <nlohmann/json.hpp>
#include <set>

#include "sim/main_unit_header.h"
#include "sim/simulator.h"
#include "support/kill_options.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
namespace sim = voxmg::sim;
using voxmg::test::readFile;
using voxmg::test::writeFile;

constexpr std::size_t kRecord = 990;
const std::vector<std::string> kBoxes{"101", "102"};

struct Loop {
    fs::path remote;
    fs::path dataRoot;
    std::string ctl;
    std::map<std::string, std::string> original;  // "box/name" -> the main unit's bytes
    std::mt19937 random;
    int serial = 0;
    int failures = 0;

    fs::path localBox(const std::string& box) const { return dataRoot / "office" / "rusuroku" / box; }

    // Six messages per box, each a header and a few KB of voice bytes.
    void fill() {
        for (const std::string& box : kBoxes) {
            for (int i = 0; i < 6; ++i) {
                ++serial;
                sim::HeaderFields h;
                std::time_t now = std::time(nullptr) - serial * 60;
                h.recorded = *std::localtime(&now);
                h.callerName = "kill loop";
                h.lengthTenths = 40;
                h.boxNumber = box;
                char code[8];
                std::snprintf(code, sizeof code, "%05d", serial);
                std::string base = sim::messageFileName(h.recorded, "0" + box, code, "");
                auto header = sim::encodeHeader(h);
                std::string head(header.begin(), header.end());
                std::string voice(4000 + static_cast<std::size_t>(serial % 7) * 700, '\0');
                for (std::size_t k = 0; k < voice.size(); ++k) {
                    voice[k] = static_cast<char>((k * 31 + static_cast<std::size_t>(serial)) & 0xFF);
                }
                for (auto [ext, bytes] : {std::pair{".vmdat", head + voice}, std::pair{".vminf", head}}) {
                    writeFile((remote / "rusuroku" / box / (base + ext)).string(), bytes);
                    original[box + "/" + base + ext] = bytes;
                }
            }
        }
    }

    bool remoteEmpty() const {
        for (const std::string& box : kBoxes) {
            if (!fs::is_empty(remote / "rusuroku" / box)) {
                return false;
            }
        }
        return true;
    }

    void fail(const std::string& what) {
        ++failures;
        std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    }

    // The two promises, checked on the disk as it is after a kill.
    void check(int round) {
        for (const std::string& box : kBoxes) {
            for (const auto& e : fs::directory_iterator(localBox(box))) {
                std::string name = e.path().filename().string();
                if (name == "inf.ini" || name.starts_with(".voxmg-")) {
                    continue;  // temporary files of the interrupted run, removed by the next one
                }
                auto it = original.find(box + "/" + name);
                if (it == original.end()) {
                    fail("round " + std::to_string(round) + ": unexpected file " + name);
                    continue;
                }
                std::string local = readFile(e.path().string());
                if (local.size() != it->second.size() + kRecord || local.substr(kRecord) != it->second) {
                    fail("round " + std::to_string(round) + ": broken file under its final name: " + name);
                }
            }
        }
        for (const auto& [key, bytes] : original) {
            auto slash = key.find('/');
            std::string box = key.substr(0, slash);
            std::string name = key.substr(slash + 1);
            if (fs::exists(remote / "rusuroku" / box / name)) {
                continue;
            }
            std::string local = readFile((localBox(box) / name).string());
            if (local.size() != bytes.size() + kRecord || local.substr(kRecord) != bytes) {
                fail("round " + std::to_string(round) +
                     ": deleted on the main unit but not complete here: " + name);
            }
        }
    }

    pid_t startDownload() const {
        return voxmg::test::spawnQuiet({ctl, "download", "--ini", (dataRoot / "VOXMG.ini").string(), "--root",
                                        dataRoot.string(), "--folder", "office", "--mail-settings",
                                        mailSettings().string()});
    }

    fs::path mailSettings() const { return dataRoot / "settings"; }

    // Every message stored here waits for its mail (no server answers in this loop).
    void checkMail() {
        const std::string command = ctl + " mail-outbox --settings '" + mailSettings().string() + "'";
        std::FILE* out = ::popen(command.c_str(), "r");
        std::string text;
        char buffer[4096];
        for (std::size_t n; out && (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;) {
            text.append(buffer, n);
        }
        if (!out || ::pclose(out) != 0) {
            fail("mail-outbox failed");
            return;
        }
        std::set<std::string> due;
        for (const auto& job : nlohmann::json::parse(text, nullptr, false)) {
            due.insert(job.value("file", ""));
        }
        int stored = 0;
        for (const std::string& box : kBoxes) {
            for (const auto& e : fs::directory_iterator(localBox(box))) {
                const std::string name = e.path().filename().string();
                if (name.ends_with(".vmdat") && !name.starts_with(".")) {
                    ++stored;
                    if (due.count(name) == 0) {
                        fail("stored but its mail is lost: " + name);
                    }
                }
            }
        }
        std::printf("kill loop: %d messages stored, %zu due for mail\n", stored, due.size());
    }
};

}  // namespace

int main(int argc, char** argv) {
    const auto options = voxmg::test::killOptions(argc, argv, "download_kill_loop");
    if (!options) {
        return 2;
    }
    const int kills = options->kills;
    const unsigned seed = options->seed;
    const std::string& ctl = options->ctl;

    Loop loop;
    loop.ctl = ctl;
    loop.random.seed(seed);
    voxmg::test::TempFolder work;
    // The killed runs' own temporary files (a sanitizer's, made as a process starts) stay in the
    // loop's folder and go with it.
    fs::create_directories(work.file("tmp"));
    ::setenv("TMPDIR", work.file("tmp").c_str(), 1);
    loop.remote = work.file("unit");
    loop.dataRoot = work.file("data");
    for (const std::string& box : kBoxes) {
        fs::create_directories(loop.remote / "rusuroku" / box);
        fs::create_directories(loop.localBox(box));
    }
    fs::create_directories(loop.remote / "naisen");
    fs::create_directories(loop.remote / "outou");
    fs::create_directories(loop.dataRoot / "office" / "naisen");
    fs::create_directories(loop.dataRoot / "office" / "outou");
    loop.fill();

    sim::Config config;
    config.root = loop.remote.string();
    config.faults.dataChunkDelay = std::chrono::milliseconds(3);
    sim::Simulator simulator(config);
    if (!simulator.start()) {
        return 2;
    }
    std::string ini =
        "[LOGIN]\r\nIP=127.0.0.1\r\nUSER=hozen\r\nPASS=hozen\r\nPORT=" + std::to_string(simulator.port()) +
        "\r\n[rusuroku]\r\n101=1\r\n102=1\r\n";
    writeFile((loop.dataRoot / "VOXMG.ini").string(), ini);
    // Mail for both boxes, set before the first message comes (a minute back: whole seconds).
    writeFile((loop.mailSettings() / "VOXMG-mail.ini").string(),
              "[SERVER]\r\nHOST=127.0.0.1\r\nPORT=1\r\nSECURITY=2\r\nFROM=voxmg@example.com\r\n"
              "[RECIPIENTS]\r\noffice/rusuroku/101=a@example.com\r\noffice/rusuroku/102=b@example.com\r\n");
    const auto minuteBack = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    fs::last_write_time(loop.mailSettings() / "VOXMG-mail.ini", minuteBack);

    std::printf("kill loop: %d kills, seed %u\n", kills, seed);
    std::fflush(stdout);  // not again in every forked child
    int midRun = 0;
    std::uniform_int_distribution<int> delay(0, 400);
    int deletedTotal = 0;
    for (int round = 1; round <= kills; ++round) {
        if (loop.remoteEmpty()) {
            loop.fill();
        }
        midRun += voxmg::test::killAfter(loop.startDownload(), std::chrono::milliseconds(delay(loop.random)))
                      ? 1
                      : 0;
        loop.check(round);
    }
    // A last run to its end completes everything the kills interrupted.
    pid_t pid = loop.startDownload();
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        loop.fail("the final run did not complete");
    }
    loop.check(kills + 1);
    loop.checkMail();
    for (const auto& [key, bytes] : loop.original) {
        auto slash = key.find('/');
        deletedTotal +=
            fs::exists(loop.remote / "rusuroku" / key.substr(0, slash) / key.substr(slash + 1)) ? 0 : 1;
    }
    std::printf(
        "kill loop: %d of %d runs killed before their end; %d files on the main unit, %d deleted there "
        "after download; %d failures\n",
        midRun, kills, static_cast<int>(loop.original.size()), deletedTotal, loop.failures);
    simulator.stop();
    return loop.failures == 0 ? 0 : 1;
}
