// voxmg-sim: the main unit simulator on its own, for trying the program without a main unit.
//   voxmg-sim [--demo DIR | --root DIR] [--port P] [--bind ADDR] [--model NAME]
//             [--user NAME --password PW]... [--chunk-delay MS] [--lying-store BYTES]
// --chunk-delay plays a slow line: a pause before every 1024 bytes of data.
// --lying-store plays a main unit that answers a store with 226 right after 150, before any
// data, and keeps only the first BYTES bytes.
// Prints "listening ADDR:PORT" as its first line once it accepts connections, and serves
// until it is interrupted.
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "sim/simulator.h"

namespace {

void printUsage(std::FILE* out) {
    std::fprintf(
        out,
        "usage: voxmg-sim [--demo DIR | --root DIR] [--port P] [--bind ADDR] [--model NAME]\n"
        "                 [--user NAME --password PW]... [--chunk-delay MS] [--lying-store BYTES]\n");
}

// A usage error: what was wrong and the usage, on stderr, exit status 2.
int usage(const char* message) {
    std::fprintf(stderr, "voxmg-sim: %s\n", message);
    printUsage(stderr);
    return 2;
}

// A whole decimal number of `value`, no larger than `max`.
std::optional<unsigned> number(const std::string& value, unsigned max) {
    unsigned n = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc{} || end != value.data() + value.size() || n > max) {
        return std::nullopt;
    }
    return n;
}

struct Options {
    voxmg::sim::Config config;
    std::string demoRoot;
};

// A numeric option into the configuration; what is wrong with its value, or null.
const char* applyNumber(Options& o, std::string_view option, const std::string& value) {
    if (option == "--port") {
        auto port = number(value, 65535);
        if (!port) {
            return "--port wants a number from 0 to 65535";
        }
        o.config.port = static_cast<std::uint16_t>(*port);
    } else if (option == "--chunk-delay") {
        auto ms = number(value, 60000);
        if (!ms) {
            return "--chunk-delay wants milliseconds";
        }
        o.config.faults.dataChunkDelay = std::chrono::milliseconds(*ms);
    } else {
        auto bytes = number(value, 1u << 30);
        if (!bytes) {
            return "--lying-store wants a number of bytes";
        }
        o.config.faults.storeCompleteEarly = true;
        o.config.faults.dropDataAfterBytes = static_cast<long>(*bytes);
    }
    return nullptr;
}

// The options, or the exit status when they say to stop (help, or a usage error).
std::variant<Options, int> parseOptions(int argc, char** argv) {
    Options o;
    std::map<std::string, std::string> accounts;
    std::string pendingUser;
    for (int i = 1; i < argc; ++i) {
        std::string_view option = argv[i];
        if (option == "--help" || option == "-h") {
            // Asked for: the usage is the output, so it goes to stdout (pipes into a pager).
            std::printf("voxmg-sim: the main unit simulator\n");
            printUsage(stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            return usage("an option is missing its value");
        }
        std::string value = argv[++i];
        if (option == "--demo") {
            o.demoRoot = value;
            o.config.root = value;
        } else if (option == "--root") {
            o.config.root = value;
        } else if (option == "--bind") {
            o.config.bindAddress = value;
        } else if (option == "--model") {
            o.config.model = value;
        } else if (option == "--port" || option == "--chunk-delay" || option == "--lying-store") {
            if (const char* problem = applyNumber(o, option, value)) {
                return usage(problem);
            }
        } else if (option == "--user") {
            pendingUser = value;
        } else if (option == "--password") {
            if (pendingUser.empty()) {
                return usage("--password must follow --user");
            }
            accounts[pendingUser] = value;
            pendingUser.clear();
        } else {
            return usage("unknown option");
        }
    }
    if (!pendingUser.empty()) {
        return usage("--user without --password");
    }
    if (o.config.root.empty()) {
        return usage("give --demo DIR or --root DIR");
    }
    if (!accounts.empty()) {
        o.config.accounts = accounts;
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    auto parsed = parseOptions(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) {
        return *status;
    }
    const auto& [config, demoRoot] = std::get<Options>(parsed);
    if (!demoRoot.empty() && !voxmg::sim::writeDemoContent(demoRoot)) {
        std::fprintf(stderr, "voxmg-sim: cannot write demo content into %s\n", demoRoot.c_str());
        return 1;
    }

    // Block the stop signals before any thread starts, then wait for one on this thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    voxmg::sim::Simulator simulator(config);
    if (!simulator.start()) {
        std::fprintf(stderr, "voxmg-sim: cannot listen on %s:%u\n", config.bindAddress.c_str(),
                     static_cast<unsigned>(config.port));
        return 1;
    }
    std::printf("listening %s:%u\n", config.bindAddress.c_str(), static_cast<unsigned>(simulator.port()));
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    simulator.stop();
    return 0;
}
