// Imports an office's whole directory: a phone book of LINES lines (default 300,000) that names
// BOXES extension boxes (default 1000) over and over, with numbers of other sites between them.
// The baseline, measured in the same run on the same files: reading the phone book line by line
// and decoding every line, plus writing each named box's inf.ini once (a flushed file renamed
// into place, as an inf.ini is replaced). The import should stay within 2x of it.
// Usage: name_import_directory_bench [LINES] [BOXES]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/base/text.h"
#include "core/exchange/name_import.h"
#include "core/store/file_io.h"
#include "phone_book.h"

using namespace voxmg;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

using bench::secondsSince;
using bench::writeWhole;

std::string number(int box) {
    return std::to_string(10000 + box);
}

// Boxes 10000.. with an inf.ini each; the phone book walks twice as many numbers, so half of its
// lines name a box of another site.
bool generate(const fs::path& root, int lines, int boxes) {
    if (!bench::makeExtensionBoxes(root, boxes)) {
        return false;
    }
    std::string book = bench::phoneBookHeader();
    const std::string name = text::cp932FromUtf8("営業部 佐藤");
    const std::string reading = text::cp932FromUtf8("ｴｲｷﾞｮｳﾌﾞ ｻﾄｳ");
    for (int i = 0; i < lines; ++i) {
        const std::string n = number(i % (2 * boxes));
        book += "01-" + n + "," + n + "," + name + std::to_string(i % 97) + "," + reading + "\r\n";
    }
    return writeWhole(root / "book.csv", book);
}

// What cannot be avoided: every line read and decoded, every named box written once.
double baseline(const fs::path& root, int boxes) {
    const auto start = Clock::now();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen((root / "book.csv").c_str(), "rb"),
                                                         &std::fclose);
    std::size_t decoded = 0;
    std::string line;
    for (int c = std::getc(file.get()); c != EOF; c = std::getc(file.get())) {
        if (c == '\n') {
            decoded += text::utf16FromCp932(line).size();
            line.clear();
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    file.reset();
    const std::string content = text::cp932FromUtf8("[INF]\r\nNAME=営業部 佐藤1\r\nMAKE=0\r\n");
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(content.data()),
                                              content.size());
    for (int i = 0; i < boxes; ++i) {
        if (!fileio::replaceFile((root / "office" / "naisen" / number(i) / "inf.ini").string(), {bytes})) {
            return -1;
        }
    }
    return decoded > 0 ? secondsSince(start) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 300000;
    const int boxes = argc > 2 ? std::atoi(argv[2]) : 1000;
    const fs::path root = fs::temp_directory_path() / ("voxmg_directory_bench_" + std::to_string(::getpid()));
    double ours = 0;
    double base = 0;
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        fs::remove_all(root);
        if (!generate(root, lines, boxes)) {
            std::fprintf(stderr, "could not write the boxes\n");
            return 1;
        }
        const double floor = baseline(root, boxes);
        if (floor < 0) {
            std::fprintf(stderr, "the baseline could not write the boxes\n");
            return 1;
        }
        base += floor;
        const auto start = Clock::now();
        const auto outcome =
            name_import::run({(root / "book.csv").string(), (root / "office").string()}, nullptr, {});
        ours += secondsSince(start);
        const int named = lines / (2 * boxes) * boxes + std::min(lines % (2 * boxes), boxes);
        if (!outcome.completed || static_cast<int>(outcome.names.size()) != named) {
            std::fprintf(stderr, "the import did not name every box (%zu names)\n", outcome.names.size());
            return 1;
        }
    }
    fs::remove_all(root);
    std::printf("lines %d, boxes %d, %d rounds\n", lines, boxes, kRounds);
    std::printf("name import           %9.2f ms per round\n", ours * 1000 / kRounds);
    std::printf("read+decode+write once %8.2f ms per round\n", base * 1000 / kRounds);
    std::printf("ratio                 %9.2f x\n", ours / base);
    return 0;
}
