// Deletes a box of generated messages on the PC only ("ＰＣのみ") and compares the time with
// `rm -f` of the same files, measured in the same run. Each message has its voice data,
// recording info and WAV file. Usage: delete_operation_bench [MESSAGE_COUNT]   (default 1000)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/lists/delete_operation.h"
#include "core/store/filests_info.h"
#include "core/store/unit_header.h"

using namespace voxmg;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::uint8_t> messageBytes() {
    FILESTS_INFO record;
    FILESTS_INFO::setText(record.length, u"00:00:01");
    auto head = encodeRecord(record);
    UnitHeader header;
    std::copy(kModelText.begin(), kModelText.end(), header.bytes().begin());
    std::vector<std::uint8_t> out(head.size() + header.bytes().size() + 1000, 0x5A);
    std::copy(head.begin(), head.end(), out.begin());
    std::copy(header.bytes().begin(), header.bytes().end(),
              out.begin() + static_cast<std::ptrdiff_t>(head.size()));
    return out;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool ok = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (fd >= 0) {
        ::close(fd);
    }
    return ok;
}

// The voice file paths of `count` messages, each with its ".vminf" and ".wav" beside it.
std::vector<std::string> generate(const std::string& box, int count) {
    static const auto bytes = messageBytes();
    std::vector<std::string> voices;
    char name[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "/20261207%04d_MON_201__%05d", i / 60, i % 100000);
        const std::string base = box + name;
        for (const char* ext : {".vmdat", ".vminf", ".wav"}) {
            if (!writeFile(base + ext, bytes)) {
                return {};
            }
        }
        voices.push_back(base + ".vmdat");
    }
    return voices;
}

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double timeRm(const std::vector<std::string>& voices) {
    std::vector<std::string> files;
    for (const auto& v : voices) {
        const std::string base = v.substr(0, v.size() - 6);
        for (const char* ext : {".wav", ".vmdat", ".vminf"}) {
            files.push_back(base + ext);
        }
    }
    std::vector<char*> argv{const_cast<char*>("rm"), const_cast<char*>("-f")};
    for (auto& f : files) {
        argv.push_back(f.data());
    }
    argv.push_back(nullptr);
    auto start = Clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execvp("rm", argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("voxmg_delete_bench_" + std::to_string(::getpid()));
    const std::string box = (root / "office" / "naisen" / "201").string();
    fs::create_directories(box);

    Flags flags;
    double ours = 0;
    double rm = 0;
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        auto voices = generate(box, count);
        if (voices.empty()) {
            std::fprintf(stderr, "could not write the messages\n");
            return 1;
        }
        auto start = Clock::now();
        auto result =
            delete_op::run({voices, delete_op::DeleteKind::PcOnly, false}, nullptr, flags, Pump{}, nullptr);
        ours += seconds(start);
        if (result.deleted != count || !fs::is_empty(box)) {
            std::fprintf(stderr, "delete left files behind\n");
            return 1;
        }
        generate(box, count);
        rm += timeRm(voices);
        if (!fs::is_empty(box)) {
            std::fprintf(stderr, "rm left files behind\n");
            return 1;
        }
    }
    fs::remove_all(root);
    std::printf("messages %d (3 files each), %d rounds\n", count, kRounds);
    std::printf("delete (PC only)  %8.2f ms per round\n", ours * 1000 / kRounds);
    std::printf("rm -f             %8.2f ms per round\n", rm * 1000 / kRounds);
    std::printf("ratio             %8.2f x\n", ours / rm);
    return 0;
}
