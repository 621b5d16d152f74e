#pragma once

// How the benches time their runs: wall-clock milliseconds of a run, the best of several taken
// in turns with the baseline, and a scratch folder under the system's temporary folder.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// Seconds since `start`.
inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Writes a whole file; false when it could not.
inline bool writeWhole(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline double elapsedMs(const std::function<void()>& run) {
    const auto t0 = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Best times of a baseline and the program's code over `runs` turns, so that load from
// elsewhere on the machine hits both alike.
inline std::pair<double, double> bestOfTurns(int runs, const std::function<void()>& baseline,
                                             const std::function<void()>& engine) {
    double bestBaseline = 1e300;
    double bestEngine = 1e300;
    for (int i = 0; i < runs; ++i) {
        bestBaseline = std::min(bestBaseline, elapsedMs(baseline));
        bestEngine = std::min(bestEngine, elapsedMs(engine));
    }
    return {bestBaseline, bestEngine};
}

// A new empty folder; empty (after saying why) when none can be made.
inline std::string scratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "voxmg-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return {};
    }
    return pattern;
}

// One run of another program, its output to `out`: wall time, peak memory and wait status.
struct Run {
    double ms = 0;
    long maxRssKb = 0;
    int status = -1;
};

inline Run runChild(const std::vector<std::string>& args, const std::string& out) {
    Run run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        std::vector<char*> argv;
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    rusage usage{};
    ::wait4(pid, &run.status, 0, &usage);
    run.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.maxRssKb = usage.ru_maxrss;
    return run;
}

}  // namespace bench
