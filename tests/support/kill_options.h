#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>

// The command line of the kill loops: `NAME --ctl PATH/voxmgctl [--kills N] [--seed S]`.
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

}  // namespace voxmg::test
