// Moves a box of generated messages into another box of the same file system and copies them
// into a third, and compares the times with `mv` and `cp` of the same files, measured in the
// same run. Each message has its voice data (5 s), recording info and WAV file. The rounds take
// the operation and the tool in turns; medians are printed, so that load from elsewhere on the
// machine hits both alike.
// Usage: move_copy_bench [MESSAGE_COUNT] [ROUNDS] [move]   (default 2000 5; "move": no copies)
// mv and cp get every name in one argument list: beyond some 8,000 messages it is too long.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/lists/move_copy.h"

using namespace voxmg;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

bool writeFile(const std::string& path, std::size_t size) {
    static const std::vector<char> bytes(1 << 20, 0x5A);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool ok = fd >= 0 && ::write(fd, bytes.data(), size) == static_cast<ssize_t>(size);
    if (fd >= 0) {
        ::close(fd);
    }
    return ok;
}

// The names of the files of `count` messages written into `box`; the voice paths in `voices`.
std::vector<std::string> generate(const std::string& box, int count, std::vector<std::string>& voices) {
    std::vector<std::string> files;
    voices.clear();
    char name[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "/20261207%04d_MON_0101_%05d", i / 60, i % 100000);
        const std::string base = box + name;
        // 5 seconds: 1246 + 500 frame bytes of voice, 44 + 80000 bytes of WAV.
        for (auto [ext, size] :
             {std::pair{".vminf", 1246}, std::pair{".vmdat", 1746}, std::pair{".wav", 80044}}) {
            if (!writeFile(base + ext, static_cast<std::size_t>(size))) {
                return {};
            }
            files.push_back(base + ext);
        }
        voices.push_back(base + ".vmdat");
    }
    return files;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// `tool -t dest files...` (mv or cp), timed.
double timeTool(const char* tool, const std::string& dest, std::vector<std::string> files) {
    std::vector<char*> argv{const_cast<char*>(tool), const_cast<char*>("-t"),
                            const_cast<char*>(dest.c_str())};
    for (auto& f : files) {
        argv.push_back(f.data());
    }
    argv.push_back(nullptr);
    auto start = Clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execvp(tool, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds(start) : -1;
}

// The least a move can do while one box always holds the whole message, in a bare loop: a stat
// of each file, the recording info and voice data linked, the WAV file renamed, the two source
// names removed. `files` holds each message's .vminf, .vmdat and .wav in turn.
double bareMove(const std::vector<std::string>& files, const std::string& dest) {
    auto start = Clock::now();
    for (std::size_t i = 0; i + 2 < files.size(); i += 3) {
        std::string to[3];
        for (std::size_t k = 0; k < 3; ++k) {
            struct stat st {};
            to[k] = dest + "/" + fs::path(files[i + k]).filename().string();
            if (::lstat(files[i + k].c_str(), &st) != 0) {
                return -1;
            }
        }
        if (::link(files[i].c_str(), to[0].c_str()) != 0 ||
            ::link(files[i + 1].c_str(), to[1].c_str()) != 0 ||
            ::renameat2(AT_FDCWD, files[i + 2].c_str(), AT_FDCWD, to[2].c_str(), RENAME_NOREPLACE) != 0 ||
            ::unlink(files[i].c_str()) != 0 || ::unlink(files[i + 1].c_str()) != 0) {
            return -1;
        }
    }
    return seconds(start);
}

std::vector<std::string> rebased(const std::vector<std::string>& files, const std::string& box) {
    std::vector<std::string> out;
    for (const auto& f : files) {
        out.push_back(box + "/" + fs::path(f).filename().string());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const bool moveOnly = argc > 3 && std::string(argv[3]) == "move";
    const fs::path root = fs::temp_directory_path() / ("voxmg_move_bench_" + std::to_string(::getpid()));
    const std::string office = (root / "office").string();
    const std::string a = office + "/rusuroku/101";
    const std::string b = office + "/rusuroku/102";
    const std::string c = office + "/naisen/201";
    const std::string d = office + "/naisen/202";
    for (const auto& box : {a, b, c, d}) {
        fs::create_directories(box);
    }
    std::vector<std::string> voices;
    const std::vector<std::string> files = generate(a, count, voices);
    if (files.empty()) {
        std::fprintf(stderr, "could not write the messages\n");
        return 1;
    }
    Flags flags;
    std::vector<double> move;
    std::vector<double> mv;
    std::vector<double> moveRatio;
    std::vector<double> bare;
    std::vector<double> bareRatio;
    std::vector<double> copy;
    std::vector<double> cp;
    std::vector<double> copyRatio;
    for (int round = 0; round < rounds; ++round) {
        // Move a -> b with the operation, back b -> a with mv.
        ::sync();
        auto start = Clock::now();
        auto moved =
            move_copy::run({voices, office, "rusuroku/102", move_copy::Mode::Move}, flags, Pump{}, nullptr);
        move.push_back(seconds(start));
        ::sync();
        const double back = timeTool("mv", a, rebased(files, b));
        if (moved.done != count || back < 0 || !fs::is_empty(b)) {
            std::fprintf(stderr, "move or mv left files behind\n");
            return 1;
        }
        mv.push_back(back);
        moveRatio.push_back(move.back() / back);
        // The bare loop a -> b, back with mv.
        ::sync();
        bare.push_back(bareMove(files, b));
        ::sync();
        const double again = timeTool("mv", a, rebased(files, b));
        if (bare.back() < 0 || again < 0 || !fs::is_empty(b)) {
            std::fprintf(stderr, "the bare loop or mv left files behind\n");
            return 1;
        }
        bareRatio.push_back(bare.back() / again);
        if (moveOnly) {
            continue;
        }
        // Copy a -> c with the operation, a -> d with cp.
        ::sync();
        start = Clock::now();
        auto copied =
            move_copy::run({voices, office, "naisen/201", move_copy::Mode::Copy}, flags, Pump{}, nullptr);
        copy.push_back(seconds(start));
        ::sync();
        const double plain = timeTool("cp", d, files);
        if (copied.done != count || plain < 0) {
            std::fprintf(stderr, "copy or cp failed\n");
            return 1;
        }
        cp.push_back(plain);
        copyRatio.push_back(copy.back() / plain);
        for (const auto& box : {c, d}) {
            fs::remove_all(box);
            fs::create_directories(box);
        }
    }
    fs::remove_all(root);
    std::printf("messages %d (3 files each, WAV included), %d rounds, medians\n", count, rounds);
    std::printf("move     %8.2f ms\n", median(move) * 1000);
    std::printf("mv       %8.2f ms\n", median(mv) * 1000);
    std::printf("ratio    %8.2f x (of each round: min %.2f, max %.2f)\n", median(moveRatio),
                *std::min_element(moveRatio.begin(), moveRatio.end()),
                *std::max_element(moveRatio.begin(), moveRatio.end()));
    std::printf("bare     %8.2f ms (links, a rename, unlinks: %.2f x mv)\n", median(bare) * 1000,
                median(bareRatio));
    if (!moveOnly) {
        std::printf("copy     %8.2f ms\n", median(copy) * 1000);
        std::printf("cp       %8.2f ms\n", median(cp) * 1000);
        std::printf("ratio    %8.2f x\n", median(copyRatio));
    }
    return 0;
}
