// The automatic backup of many boxes from the simulator, against the bulk download of the same
// content in the same run (both writing durably); then always-download: the time from a new
// message arriving in one of the boxes until it is in its box folder, against the cycle length
// its pauses imply. Usage: backup_bench [BOXES] [MESSAGES_PER_BOX] [SECONDS_PER_MESSAGE]
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "bench_unit.h"
#include "core/automation/always_download.h"
#include "core/automation/backup_run.h"
#include "core/base/flags.h"
#include "core/device/bulk_download.h"
#include "core/device/ftp_mng.h"
#include "sim/simulator.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// One message pair on the main unit, recorded `back` months before December 2026.
std::string putMessage(const fs::path& dir, int box, int serial, int back, const std::string& frames) {
    std::tm recorded{};
    recorded.tm_year = 126;
    recorded.tm_mon = 11 - back;
    recorded.tm_mday = 1 + serial % 28;
    recorded.tm_hour = serial % 24;
    recorded.tm_min = box % 60;
    return bench::putUnitMessage(dir, box, serial, recorded, frames);
}

class QuietDownloadUi : public voxmg::DownloadUi {
public:
    voxmg::ProgressSink* openProgress() override { return nullptr; }
    void closeProgress() override {}
    void show(const voxmg::UserMessage&) override {}
    void loggedOut() override {}
};

class QuietBackupUi : public voxmg::backup::BackupUi {
public:
    voxmg::ProgressSink* openProgress() override { return nullptr; }
    void closeProgress() override {}
    void show(const voxmg::UserMessage&) override {}
};

// The frame as the worker reads it: logged in, switched on, no list open.
class BenchHost : public voxmg::always::WorkerHost {
public:
    BenchHost(voxmg::CFtpMng& ftp, std::string folder) : m_ftp(ftp), m_folder(std::move(folder)) {}
    bool loggedIn() const override { return true; }
    bool enabled() const override { return true; }
    std::string boxFolder() const override { return m_folder; }
    std::vector<std::u16string> listTitles() const override { return {}; }
    voxmg::always::WorkerConnection connection() override { return {&m_ftp, 1}; }
    void refreshList(const std::string&) override {}
    void showMessage(const voxmg::UserMessage&) override {}
    void switchOff() override {}
    void autoDeleteRefused() override {}
    void connectionLost(std::uint64_t, const voxmg::UserMessage&) override {}

private:
    voxmg::CFtpMng& m_ftp;
    std::string m_folder;
};

}  // namespace

int main(int argc, char** argv) {
    int boxes = argc > 1 ? std::atoi(argv[1]) : 100;
    int perBox = argc > 2 ? std::atoi(argv[2]) : 20;
    int secondsEach = argc > 3 ? std::atoi(argv[3]) : 30;
    if (boxes < 1 || perBox < 1 || secondsEach < 1) {
        std::fprintf(stderr, "usage: backup_bench [BOXES] [MESSAGES_PER_BOX] [SECONDS_PER_MESSAGE]\n");
        return 2;
    }
    fs::path work = fs::temp_directory_path() / ("voxmg-backup-bench-" + std::to_string(::getpid()));
    fs::path remote = work / "remote";
    std::string frames(static_cast<std::size_t>(secondsEach) * 1000, '\x5a');
    for (int b = 1; b <= boxes; ++b) {
        fs::path dir = remote / "rusuroku" / bench::boxName(b);
        fs::create_directories(dir);
        for (int m = 1; m <= perBox; ++m) {
            putMessage(dir, b, m, m % 3, frames);  // this month, last month, two months ago
        }
    }
    fs::create_directories(remote / "naisen");
    fs::create_directories(remote / "outou");

    voxmg::sim::Config config;
    config.root = remote.string();
    voxmg::sim::Simulator simulator(config);
    if (!simulator.start()) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return 1;
    }
    const voxmg::FtpLogin login{u"127.0.0.1", u"hozen", u"hozen", simulator.port()};
    std::tm now{};
    now.tm_year = 126;
    now.tm_mon = 11;
    now.tm_mday = 7;
    now.tm_hour = 12;

    auto backup = [&]() -> double {
        fs::remove_all(work / "data");
        fs::create_directories(work / "data");
        voxmg::Flags flags;
        voxmg::CFtpMng ftp(login, flags, voxmg::Pump{});
        voxmg::DownloadEnv env;
        env.programFolder = work.string();
        ftp.setDownloadEnv(env);
        voxmg::backup::BackupRequest request;
        request.dataRoot = (work / "data").string();
        request.boxFolder = (work / "data" / "bench").string();
        request.settingsPath = (work / "VOXMG.ini").string();
        request.login = login;
        request.now = now;
        QuietBackupUi ui;
        auto t0 = Clock::now();
        voxmg::backup::BackupResult result = voxmg::backup::runBackup(ftp, flags, ui, request, {});
        double t = seconds(Clock::now() - t0);
        int handled = 0;
        for (const auto& box : result.boxes) {
            handled += box.result.handled;
        }
        if (!result.success || handled != boxes * perBox) {
            std::fprintf(stderr, "backup ended with %d, %d handled\n", voxmg::code(result.code), handled);
            return -1;
        }
        return t;
    };

    auto bulk = [&]() -> double {
        fs::path boxFolder = work / "data" / "bench";
        fs::remove_all(work / "data");
        for (int b = 1; b <= boxes; ++b) {
            fs::create_directories(boxFolder / "rusuroku" / bench::boxName(b));
        }
        fs::create_directories(boxFolder / "naisen");
        voxmg::Flags flags;
        voxmg::CFtpMng ftp(login, flags, voxmg::Pump{});
        voxmg::DownloadEnv env;
        env.programFolder = work.string();
        ftp.setDownloadEnv(env);
        QuietDownloadUi ui;
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

    double bestBackup = 1e9;
    double bestBulk = 1e9;
    for (int round = 0; round < 3; ++round) {
        double b = bulk();
        double k = backup();
        if (b < 0 || k < 0) {
            fs::remove_all(work);
            return 1;
        }
        bestBulk = std::min(bestBulk, b);
        bestBackup = std::min(bestBackup, k);
    }
    std::printf("backup: %d boxes x %d messages of %d s over three months\n", boxes, perBox, secondsEach);
    std::printf("  bulk download %.2f s, backup %.2f s: %.2fx (aim 1.2x)\n", bestBulk, bestBackup,
                bestBackup / bestBulk);

    // Always-download with the program's pauses, over the box folder the bulk download left
    // complete: one new message in a random box, timed until its recording info is here.
    {
        fs::path boxFolder = work / "data" / "bench";
        voxmg::Flags flags;
        voxmg::CFtpMng ftp(login, flags, voxmg::Pump{});
        voxmg::DownloadEnv env;
        env.programFolder = work.string();
        ftp.setDownloadEnv(env);
        if (bulk() < 0 || ftp.connectAndLogin() != voxmg::LoginResult::LoggedIn) {
            fs::remove_all(work);
            return 1;
        }
        BenchHost host(ftp, boxFolder.string() + "/");
        voxmg::always::AlwaysDownloadWorker worker(host, flags);
        worker.start();
        std::this_thread::sleep_for(2s);  // the worker is somewhere in its cycle
        std::mt19937 random(42);
        int box = 1 + static_cast<int>(random() % static_cast<unsigned>(boxes));
        std::string base = putMessage(remote / "rusuroku" / bench::boxName(box), box, 99999, 0, frames);
        fs::path arrived = boxFolder / "rusuroku" / bench::boxName(box) / (base + ".vminf");
        voxmg::always::WorkerTimings pauses;
        const double cycle = boxes * std::chrono::duration<double>(pauses.afterBox).count();
        auto t0 = Clock::now();
        while (!fs::exists(arrived) && seconds(Clock::now() - t0) < 3 * cycle + 30) {
            std::this_thread::sleep_for(20ms);
        }
        double latency = seconds(Clock::now() - t0);
        worker.stop();
        ftp.disconnect();
        std::printf(
            "always-download: new message in box %s after %.2f s; the pauses alone make a cycle of %.1f s"
            " (%.2f of it)\n",
            bench::boxName(box).c_str(), latency, cycle, latency / cycle);
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("  peak memory %.1f MB (simulator in-process)\n",
                static_cast<double>(usage.ru_maxrss) / 1024);
    fs::remove_all(work);
    return 0;
}
