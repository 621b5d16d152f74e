#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/app/version.h"
#include "tools/command.h"
#include "tools/data_folder_lock.h"

namespace voxmg::tools {

std::vector<Command>& commandTable() {
    static std::vector<Command> table;
    return table;
}

std::string optionValue(const Args& args, const std::string& name, bool* present) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == name) {
            if (present) {
                *present = true;
            }
            return args[i + 1];
        }
    }
    if (present) {
        *present = false;
    }
    return {};
}

bool readPasswordFile(const std::string& path, std::string& password) {
    // Streams throw on a folder read as a file: only a plain file is opened.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in || !std::getline(in, password)) {
        return false;
    }
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    return true;
}

bool hasFlag(const Args& args, const std::string& name) {
    for (const auto& a : args) {
        if (a == name) {
            return true;
        }
    }
    return false;
}

std::optional<int> gainOption(const Args& args) {
    bool present = false;
    const std::string value = optionValue(args, "--gain", &present);
    if (!present) {
        return hasFlag(args, "--gain") ? std::nullopt : std::optional<int>(0);
    }
    try {
        std::size_t used = 0;
        const int gain = std::stoi(value, &used);
        return used == value.size() ? std::optional<int>(gain) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::vector<std::string> positional(const Args& args, const std::vector<std::string>& valued) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0) {
            for (const auto& v : valued) {
                if (args[i] == v) {
                    ++i;
                    break;
                }
            }
            continue;
        }
        out.push_back(args[i]);
    }
    return out;
}

}  // namespace voxmg::tools

int main(int argc, char** argv) {
    using namespace voxmg::tools;
    // Asked-for help goes to stdout (for a pager or grep); help after a usage error to stderr.
    auto usage = [](std::FILE* out) {
        std::fprintf(out, "usage: voxmgctl COMMAND ... | voxmgctl --version\n");
        for (const Command& c : commandTable()) {
            std::fprintf(out, "  voxmgctl %s\n", c.usage.c_str());
        }
        std::fprintf(out,
                     "A verb that changes a data folder waits up to %d s for another operation on it;\n"
                     "%s SECONDS after the verb sets the wait.\n",
                     kDefaultWaitSeconds, kWaitOption);
    };
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("voxmgctl " VOXMG_VERSION
                    "\n"
                    "Copyright (C) 2026 VOXMG developers\n"
                    "License GPLv3+: GNU GPL version 3 or later <https://www.gnu.org/licenses/gpl.html>.\n"
                    "This is free software: you are free to change and redistribute it.\n"
                    "There is NO WARRANTY, to the extent permitted by law.\n");
        return 0;
    }
    Args args(argv + 2, argv + argc);
    for (const Command& c : commandTable()) {
        if (c.name == argv[1]) {
            return runHoldingDataLock(c, args);
        }
    }
    std::fprintf(stderr, "voxmgctl: unknown command '%s'\n", argv[1]);
    usage(stderr);
    return 2;
}
