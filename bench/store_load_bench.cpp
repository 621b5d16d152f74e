// Loads a box folder of generated message files and compares the time with a bare loop that
// opens each file and reads its first 1246 bytes (the least any loader must do), measured in
// the same run. Usage: store_load_bench [FILE_COUNT]   (default 50000)
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/base/text.h"
#include "core/store/file_mng.h"

using namespace voxmg;
using Clock = std::chrono::steady_clock;

namespace {

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::vector<std::uint8_t> messageBytes() {
    FILESTS_INFO record;
    FILESTS_INFO::setText(record.length, u"00:00:01");
    FILESTS_INFO::setText(record.title, u"bench");
    auto head = encodeRecord(record);
    UnitHeader header;
    std::copy(kModelText.begin(), kModelText.end(), header.bytes().begin());
    std::vector<std::uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), header.bytes().begin(), header.bytes().end());
    out.resize(out.size() + 1000, 0x5A);  // one second of voice
    return out;
}

bool generate(const std::string& folder, int count) {
    auto bytes = messageBytes();
    char name[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "/20261206%04d_SUN_0101_%05d.vmdat", i / 100000, i % 100000);
        int fd = ::open((folder + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            return false;
        }
        ::close(fd);
    }
    return true;
}

double bareLoop(const std::string& folder, std::size_t& opened) {
    auto start = Clock::now();
    std::vector<std::uint8_t> buffer(kFramesOffset);
    opened = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        int fd = ::open(entry.path().c_str(), O_RDONLY);
        if (fd >= 0) {
            opened += ::pread(fd, buffer.data(), buffer.size(), 0) == static_cast<ssize_t>(buffer.size());
            ::close(fd);
        }
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 50000;
    if (count <= 0) {
        std::fprintf(stderr, "usage: store_load_bench [FILE_COUNT]\n");
        return 2;
    }
    std::string tmpl = (std::filesystem::temp_directory_path() / "voxmg-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    std::string box = tmpl + "/rusuroku/0101";
    std::filesystem::create_directories(box);
    std::atomic<int> cancel{0};
    CFileMng mng(cancel);
    mng.writeBoxName(box, u"bench");
    if (!generate(box, count)) {
        std::fprintf(stderr, "could not write the files\n");
        std::filesystem::remove_all(tmpl);
        return 1;
    }

    std::size_t opened = 0;
    bareLoop(box, opened);  // warm the page cache for both sides
    long rssBefore = peakRssKb();
    double bestBare = 1e9;
    double bestLoad = 1e9;
    std::size_t loaded = 0;
    for (int round = 0; round < 3; ++round) {
        bestBare = std::min(bestBare, bareLoop(box, opened));
        std::vector<FILESTS_INFO> records;
        auto start = Clock::now();
        voxmg::LoadResult rc = mng.loadBoxFolder(box, records);
        bestLoad = std::min(bestLoad, std::chrono::duration<double>(Clock::now() - start).count());
        loaded = rc == voxmg::LoadResult::Loaded ? records.size() : 0;
    }
    long rssAfter = peakRssKb();

    double recordsMb = static_cast<double>(loaded) * kRecordSize / 1e6;
    std::printf("files: %d  opened by bare loop: %zu  records loaded: %zu\n", count, opened, loaded);
    std::printf("bare loop (open + read 1246 bytes): %.3f s\n", bestBare);
    std::printf("loadBoxFolder:                     %.3f s\n", bestLoad);
    std::printf("ratio loader / bare loop:          %.2fx (aim: within 1.50x)\n", bestLoad / bestBare);
    std::printf("peak RSS: %.1f MB, grown by loading %.1f MB; records take %.1f MB (%.2fx)\n",
                peakRssKb() / 1024.0, (rssAfter - rssBefore) / 1024.0, recordsMb,
                recordsMb > 0 ? (rssAfter - rssBefore) / 1024.0 / recordsMb : 0.0);
    std::filesystem::remove_all(tmpl);
    return 0;
}
