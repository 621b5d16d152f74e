#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

// What the kill loops share: their command line `NAME --ctl PATH/voxmgctl [--kills N] [--seed S]`,
// starting voxmgctl quietly and killing it after a while.
namespace voxmg::test {

struct KillOptions {
    std::string ctl;
    int kills = 20;
    unsigned seed = 0;
};

// Nothing (after printing the usage) when --ctl is missing; a random seed when none is given.
inline std::optional<KillOptions> killOptions(int argc, char** argv, const char* name) {
    KillOptions options;
    options.seed = static_cast<unsigned>(std::random_device{}());
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--kills") {
            options.kills = std::atoi(argv[i + 1]);
        } else if (option == "--seed") {
            options.seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
        } else if (option == "--ctl") {
            options.ctl = argv[i + 1];
        }
    }
    if (options.ctl.empty()) {
        std::fprintf(stderr, "usage: %s --ctl PATH [--kills N] [--seed S]\n", name);
        return std::nullopt;
    }
    return options;
}

// Starts `args` (the program first) with its output to /dev/null.
inline pid_t spawnQuiet(std::vector<std::string> args) {
    pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// Kills the process after `delay` with SIGKILL and reaps it; true when the kill ended it (it had
// not finished by itself).
template <typename Duration>
bool killAfter(pid_t pid, Duration delay) {
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status);
}

}  // namespace voxmg::test
