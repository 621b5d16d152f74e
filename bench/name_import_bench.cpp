// Imports an extension phone book of N lines into N extension boxes and compares the time with
// `cp -r` of the same boxes' folder, measured in the same run: the import reads every box's
// inf.ini, links it to inf.tmp and writes it once through a rename (the file system flushed
// twice), cp copies each once.
// Usage: name_import_bench [EXTENSIONS]   (default 1000)
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/base/text.h"
#include "core/exchange/name_import.h"
#include "phone_book.h"

using namespace voxmg;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

using bench::secondsSince;
using bench::writeWhole;

// Extension boxes 10000.. with an inf.ini each, and a phone book naming all of them.
bool generate(const fs::path& root, int count) {
    if (!bench::makeExtensionBoxes(root, count)) {
        return false;
    }
    std::string book = bench::phoneBookHeader();
    for (int i = 0; i < count; ++i) {
        const std::string number = std::to_string(10000 + i);
        book += "01-" + number + "," + number + "," + text::cp932FromUtf8("営業部 佐藤") + "," +
                text::cp932FromUtf8("ｴｲｷﾞｮｳﾌﾞ ｻﾄｳ") + "\r\n";
    }
    return writeWhole(root / "book.csv", book);
}

double timeCp(const fs::path& from, const fs::path& to) {
    auto start = Clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execlp("cp", "cp", "-r", from.c_str(), to.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? secondsSince(start) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    const fs::path root = fs::temp_directory_path() / ("voxmg_import_bench_" + std::to_string(::getpid()));
    double ours = 0;
    double cp = 0;
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        fs::remove_all(root);
        if (!generate(root, count)) {
            std::fprintf(stderr, "could not write the boxes\n");
            return 1;
        }
        auto start = Clock::now();
        const auto outcome =
            name_import::run({(root / "book.csv").string(), (root / "office").string()}, nullptr, {});
        ours += secondsSince(start);
        if (!outcome.completed || static_cast<int>(outcome.names.size()) != count) {
            std::fprintf(stderr, "the import did not name every box\n");
            return 1;
        }
        const double copy = timeCp(root / "office", root / "copy");
        if (copy < 0) {
            std::fprintf(stderr, "cp failed\n");
            return 1;
        }
        cp += copy;
    }
    fs::remove_all(root);
    std::printf("extensions %d, %d rounds\n", count, kRounds);
    std::printf("name import       %8.2f ms per round\n", ours * 1000 / kRounds);
    std::printf("cp -r             %8.2f ms per round\n", cp * 1000 / kRounds);
    std::printf("ratio             %8.2f x\n", ours / cp);
    return 0;
}
