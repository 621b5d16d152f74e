// Bulk download of many boxes from the simulator over loopback, against curl fetching the
// same files with one connection per box, in the same run, taken in turns: without automatic
// deletion (no file synced) against curl, and with the automatic deletion of every box (each
// deleted message synced first, one DELE per message after the box) against curl followed by
// a sync of each file and folder. Prints the medians, the ratios and the peak memory.
// Usage: bulk_download_bench [BOXES] [MESSAGES_PER_BOX] [SECONDS_PER_MESSAGE] [ROUNDS]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_unit.h"
#include "core/base/flags.h"
#include "core/base/paths.h"
#include "core/device/bulk_download.h"
#include "core/device/ftp_mng.h"
#include "sim/simulator.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class QuietUi : public voxmg::DownloadUi {
public:
    voxmg::ProgressSink* openProgress() override { return nullptr; }
    void closeProgress() override {}
    void show(const voxmg::UserMessage& m) override { last = m; }
    void loggedOut() override {}
    voxmg::UserMessage last;
};

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// What a careful downloader pays to have its files on the disk: fdatasync of each file, then
// fsync of each folder.
bool syncTree(const fs::path& root) {
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        int fd =
            ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC | (entry.is_directory() ? O_DIRECTORY : 0));
        if (fd < 0) {
            return false;
        }
        bool ok = (entry.is_directory() ? ::fsync(fd) : ::fdatasync(fd)) == 0;
        ::close(fd);
        if (!ok) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int boxes = argc > 1 ? std::atoi(argv[1]) : 100;
    int perBox = argc > 2 ? std::atoi(argv[2]) : 20;
    int secondsEach = argc > 3 ? std::atoi(argv[3]) : 30;
    int rounds = argc > 4 ? std::atoi(argv[4]) : 5;
    if (boxes < 1 || perBox < 1 || secondsEach < 1 || rounds < 1) {
        std::fprintf(
            stderr, "usage: bulk_download_bench [BOXES] [MESSAGES_PER_BOX] [SECONDS_PER_MESSAGE] [ROUNDS]\n");
        return 2;
    }
    fs::path work = fs::temp_directory_path() / ("voxmg-bulk-bench-" + std::to_string(::getpid()));
    fs::path pristine = work / "pristine";
    fs::path remote = work / "remote";
    // 30 s of G.729 is 3000 frames of 10 bytes; the content does not matter to the transfer.
    std::string frames(static_cast<std::size_t>(secondsEach) * 1000, '\x5a');
    for (int b = 1; b <= boxes; ++b) {
        fs::path dir = pristine / "rusuroku" / bench::boxName(b);
        fs::create_directories(dir);
        for (int m = 1; m <= perBox; ++m) {
            std::tm recorded{};
            recorded.tm_year = 126;
            recorded.tm_mon = 11;
            recorded.tm_mday = 6;
            recorded.tm_hour = m % 24;
            recorded.tm_min = b % 60;
            bench::putUnitMessage(dir, b, m, recorded, frames);
        }
    }
    fs::create_directories(pristine / "naisen");
    fs::create_directories(pristine / "outou");
    // Every run starts from the same main unit: the automatic deletion empties it.
    auto refill = [&] {
        fs::remove_all(remote);
        fs::copy(pristine, remote, fs::copy_options::recursive);
    };
    refill();

    voxmg::sim::Config config;
    config.root = remote.string();
    voxmg::sim::Simulator simulator(config);
    if (!simulator.start()) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    std::string port = std::to_string(simulator.port());

    // The client's writes with the syncs left out: what the deletion costs besides them.
    class WritesWithoutSync : public voxmg::fileio::Writes {
    public:
        bool sync(int) override { return true; }
        bool syncFolder(const std::string&) override { return true; }
    } noSync;

    auto ours = [&](bool autoDelete, bool synced = true) -> double {
        refill();
        fs::path boxFolder = work / "data" / "bench";
        fs::remove_all(work / "data");
        for (int b = 1; b <= boxes; ++b) {
            fs::create_directories(boxFolder / "rusuroku" / bench::boxName(b));
        }
        voxmg::Flags flags;
        voxmg::CFtpMng ftp({u"127.0.0.1", u"hozen", u"hozen", simulator.port()}, flags, voxmg::Pump{});
        voxmg::DownloadEnv env;
        env.programFolder = work.string();
        env.autoDeleteSelected = [autoDelete](std::string_view, std::string_view) { return autoDelete; };
        if (!synced) {
            env.writes = &noSync;
        }
        ftp.setDownloadEnv(env);
        QuietUi ui;
        ::sync();  // what earlier runs left in the page cache is not this run's to write
        auto t0 = Clock::now();
        if (ftp.connectAndLogin() != voxmg::LoginResult::LoggedIn) {
            return -1;
        }
        voxmg::BulkDownload run(ftp, flags, ui, boxFolder.string(), (work / "VOXMG.ini").string(), {});
        voxmg::EngineResult rc = run.runAll(false);
        ftp.disconnect();
        double t = seconds(Clock::now() - t0);
        if (rc != voxmg::EngineResult::Done || run.handled() != boxes * perBox) {
            std::fprintf(stderr, "bulk download ended with %d, %d handled\n", voxmg::code(rc), run.handled());
            return -1;
        }
        return t;
    };

    auto curl = [&](bool synced) -> double {
        refill();
        fs::path out = work / "curl";
        fs::remove_all(out);
        fs::create_directories(out);
        ::sync();
        auto t0 = Clock::now();
        for (int b = 1; b <= boxes; ++b) {
            std::vector<std::string> args{"curl", "-s", "-S",     "--disable-eprt",
                                          "-P",   "-",  "--user", "hozen:hozen"};
            fs::path boxOut = out / bench::boxName(b);
            fs::create_directories(boxOut);
            for (const auto& entry : fs::directory_iterator(remote / "rusuroku" / bench::boxName(b))) {
                std::string name = entry.path().filename().string();
                args.push_back("ftp://127.0.0.1:" + port + "/rusuroku/" + bench::boxName(b) + "/" + name);
                args.push_back("-o");
                args.push_back((boxOut / name).string());
            }
            std::vector<char*> argv2;
            for (auto& a : args) {
                argv2.push_back(a.data());
            }
            argv2.push_back(nullptr);
            pid_t pid = ::fork();
            if (pid == 0) {
                ::execvp("curl", argv2.data());
                _exit(127);
            }
            int status = 0;
            ::waitpid(pid, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                std::fprintf(stderr, "curl failed for box %d\n", b);
                return -1;
            }
        }
        if (synced && !syncTree(out)) {
            std::fprintf(stderr, "cannot sync curl's files\n");
            return -1;
        }
        return seconds(Clock::now() - t0);
    };

    std::vector<double> curls;
    std::vector<double> curlsSynced;
    std::vector<double> plain;
    std::vector<double> deleting;
    std::vector<double> deletingUnsynced;
    for (int round = 0; round < rounds; ++round) {
        double c = curl(false);
        double o = ours(false);
        double cs = curl(true);
        double d = ours(true);
        double du = ours(true, false);
        if (o < 0 || c < 0 || d < 0 || cs < 0 || du < 0) {
            fs::remove_all(work);
            return 1;
        }
        std::printf(
            "  round %d: curl %.3f s, ours %.3f s, curl + sync %.3f s, ours deleting %.3f s "
            "(%.3f s unsynced)\n",
            round + 1, c, o, cs, d, du);
        std::fflush(stdout);
        curls.push_back(c);
        curlsSynced.push_back(cs);
        plain.push_back(o);
        deleting.push_back(d);
        deletingUnsynced.push_back(du);
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const double c = median(curls);
    const double cs = median(curlsSynced);
    const double o = median(plain);
    const double d = median(deleting);
    std::printf("bulk download: %d boxes x %d messages of %d s (%d files), medians of %d rounds\n", boxes,
                perBox, secondsEach, boxes * perBox * 2, rounds);
    std::printf(
        "  without automatic deletion (nothing synced) %.3f s, curl one connection per box %.3f s, "
        "ratio %.2f (aim: within 1.15)\n",
        o, c, o / c);
    std::printf(
        "  with automatic deletion (deleted messages synced first) %.3f s, curl + a sync of each file "
        "%.3f s, ratio %.2f (aim: within 1.1)\n",
        d, cs, d / cs);
    std::printf("  the same deletion with the syncs left out %.3f s (the syncs take %.3f s of it)\n",
                median(deletingUnsynced), d - median(deletingUnsynced));
    std::printf("  peak memory of this process (simulator included) %.1f MB\n",
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    fs::remove_all(work);
    return 0;
}
