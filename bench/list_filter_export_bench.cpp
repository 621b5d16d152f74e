// A box list of 50,000 messages: applying a filter with a "%" pattern (and the default order
// after it, as the window does) against the list's own full build; then its CSV export against
// writing the same bytes with a bare buffered loop, once from the finished bytes (the I/O
// alone) and once formatting them straight from the records with a line-by-line CP932
// conversion (what a hand-written export would do). Ratios of the best of three, same run.
// Usage: list_filter_export_bench [MESSAGES]   (default 50000)
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_run.h"
#include "core/base/text.h"
#include "core/exchange/csv_export.h"
#include "core/lists/list_boxes.h"
#include "core/lists/list_filter.h"
#include "core/lists/list_rows.h"
#include "core/lists/list_sort.h"
#include "core/store/file_mng.h"
#include "list_bench_setup.h"

using namespace voxmg;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kBoxes = bench::kListBoxes;

bool generate(const std::string& boxFolder, int total) {
    return bench::writeBoxList(boxFolder, total, [](FILESTS_INFO& record, int i, const std::string& box) {
        record.state = static_cast<std::uint8_t>(i % 4);
        record.flags = static_cast<std::uint8_t>(i % 2);
        FILESTS_INFO::setText(record.boxNumber, text::utf16FromUtf8(box));
    });
}

void defaultOrder(ListRows& rows, const std::u16string& root) {
    list_sort::applyDefaultOrder(rows.shown(), [&](int record, list_columns::Column column) {
        return list_columns::cellText(rows.record(record), column, root);
    });
}

// The baseline of the export: the finished file's lines written again through stdio.
double bareWrite(const std::string& lines, const std::string& path) {
    const auto start = Clock::now();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::size_t from = 0;
    while (out != nullptr && from < lines.size()) {
        const std::size_t end = lines.find('\n', from) + 1;
        std::fwrite(lines.data() + from, 1, end - from, out);
        from = end;
    }
    if (out != nullptr) {
        std::fflush(out);
        ::fsync(fileno(out));
        std::fclose(out);
    }
    return bench::secondsSince(start);
}

// The default columns of a box list written straight from the records.
double bareFormat(const ListRows& rows, const std::u16string& root, const std::string& path) {
    const auto start = Clock::now();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::string bytes = text::cp932FromUtf16(
        u"ﾌﾗｸﾞ,取込,再生/未再生,保護/非保護,BOX番号,相手番号,相手名称,日時,録音時間,ファイル名");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fputc('\n', out);
    for (int i : rows.shown()) {
        const FILESTS_INFO& r = rows.record(i);
        std::u16string line = (r.flags & 1) != 0 ? u"ﾌﾗｸﾞ," : u",";
        line += list_columns::stateShortText(r.state) + u",";
        line += (r.played != 0 ? u"再生済," : u"未再生,");
        line += (r.protect != 0 ? u"保護," : u"非保護,");
        line += r.boxNumberText() + u"," + r.callerNumberText() + u",";
        const std::u16string name = r.callerNameText();
        line += name.find(u',') == std::u16string::npos ? name : u"\"" + name + u"\"";
        line += u"," + r.dateText() + u"," + r.lengthText() + u"," + r.pathText().substr(root.size()) + u"\n";
        bytes = text::cp932FromUtf16(line);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
    }
    std::fflush(out);
    ::fsync(fileno(out));
    std::fclose(out);
    return bench::secondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    const int total = argc > 1 ? std::max(kBoxes, std::atoi(argv[1])) : 50000;
    std::filesystem::path base =
        ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string root = (base / "voxmg-filter-bench-XXXXXX").string();
    if (::mkdtemp(root.data()) == nullptr || !generate(root + "/bench", total)) {
        std::perror("generate");
        return 1;
    }
    const std::u16string dataRoot = text::utf16FromUtf8(root + "/");
    const auto title = list_boxes::parse(u"留守録BOX：0101,0102,0103,0104");
    const list_filter::ListFilter filter{.callerNameOn = true, .callerName = u"%田"};
    std::atomic<int> cancel{0};
    ListRows rows(cancel);

    double build = 1e9;
    double filtered = 1e9;
    int kept = 0;
    for (int round = 0; round < 3; ++round) {
        auto start = Clock::now();
        rows.buildBoxList(root + "/bench", title, {});
        defaultOrder(rows, dataRoot);
        build = std::min(build, bench::secondsSince(start));
        start = Clock::now();
        kept = list_filter::apply(rows, filter);
        defaultOrder(rows, dataRoot);
        filtered = std::min(filtered, bench::secondsSince(start));
    }
    std::printf("messages %d, rows passing \"%%田\" %d\n", rows.recordCount(), kept);
    std::printf("full build          %.3f s\n", build);
    std::printf("filter applied      %.3f s  (%.2fx the build; aim: at most 0.3x)\n", filtered,
                filtered / build);

    rows.showAll();
    defaultOrder(rows, dataRoot);
    csv_export::ExportRequest request{
        .folder = root,
        .fileName = "list.csv",
        .columns = list_columns::boxListColumns(list_columns::defaultBoxColumnNames()),
        .rows = &rows,
        .dataRoot = dataRoot};
    double exported = 1e9;
    double bare = 1e9;
    double formatted = 1e9;
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        csv_export::run(request, {}, nullptr);
        exported = std::min(exported, bench::secondsSince(start));
        std::ifstream in(root + "/list.csv", std::ios::binary);
        const std::string lines{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        bare = std::min(bare, bareWrite(lines, root + "/bare.csv"));
        formatted = std::min(formatted, bareFormat(rows, dataRoot, root + "/formatted.csv"));
        if (round == 0 && std::filesystem::file_size(root + "/formatted.csv") != lines.size()) {
            std::printf("the bare formatting loop wrote other bytes than the export\n");
        }
    }
    std::printf("bare buffered write %.3f s  (%.1f MB)\n", bare,
                static_cast<double>(std::filesystem::file_size(root + "/list.csv")) / 1e6);
    std::printf("bare formatting     %.3f s\n", formatted);
    std::printf(
        "CSV export          %.3f s  (%.2fx the bare write, %.2fx the bare formatting; aim: within 2x)\n",
        exported, exported / bare, exported / formatted);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident       %ld MB\n", usage.ru_maxrss / 1024);
    std::filesystem::remove_all(root);
    return 0;
}
