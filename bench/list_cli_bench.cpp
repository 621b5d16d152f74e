// voxmgctl list and export-csv of a box list of 50,000 messages in four boxes, against the bare
// C load a list needs at least: read each folder, open and read the record of each .vmdat,
// stat its .vminf. Each side runs as its own process (this program again, with --bare), in
// turns; best of five. Also the peak resident memory of each voxmgctl run.
// Usage: list_cli_bench VOXMGCTL [MESSAGES]   (default 50000)
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_run.h"
#include "core/base/text.h"
#include "core/store/filests_info.h"
#include "core/store/unit_header.h"
#include "list_bench_setup.h"

using namespace voxmg;

namespace {

constexpr int kBoxes = bench::kListBoxes;

bool generate(const std::string& boxFolder, int total) {
    return bench::writeBoxList(boxFolder, total, [](FILESTS_INFO& record, int i, const std::string&) {
        record.state = static_cast<std::uint8_t>(1 + i % 3);
    });
}

// The bare load, as a plain C program would write it.
int bareLoad(const char* boxFolder) {
    long loaded = 0;
    unsigned char record[990];
    char path[8192];
    char info[8200];
    for (int b = 0; b < kBoxes; ++b) {
        char folder[4096];
        std::snprintf(folder, sizeof folder, "%s/rusuroku/%04d", boxFolder, 101 + b);
        DIR* dir = ::opendir(folder);
        if (dir == nullptr) {
            continue;
        }
        while (dirent* e = ::readdir(dir)) {
            const std::size_t n = std::strlen(e->d_name);
            if (n < 6 || std::strcmp(e->d_name + n - 6, ".vmdat") != 0) {
                continue;
            }
            std::snprintf(path, sizeof path, "%s/%s", folder, e->d_name);
            const int fd = ::open(path, O_RDONLY);
            if (fd < 0) {
                continue;
            }
            loaded += ::read(fd, record, sizeof record) == static_cast<ssize_t>(sizeof record);
            ::close(fd);
            std::snprintf(info, sizeof info, "%.*s.vminf", static_cast<int>(std::strlen(path) - 6), path);
            struct stat st {};
            loaded -= ::stat(info, &st) == 0;
        }
        ::closedir(dir);
    }
    std::printf("%ld\n", loaded);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--bare") == 0) {
        return bareLoad(argv[2]);
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: list_cli_bench VOXMGCTL [MESSAGES]\n");
        return 2;
    }
    const std::string ctl = argv[1];
    const int total = argc > 2 ? std::max(kBoxes, std::atoi(argv[2])) : 50000;
    const std::string root = bench::scratchFolder();
    if (root.empty() || !generate(root + "/bench", total)) {
        std::perror("generate");
        return 1;
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::vector<std::string> bare = {self, "--bare", root + "/bench"};
    const std::vector<std::string> selection = {
        "--root", root,      "--folder",
        "bench",  "--boxes", "rusuroku/0101,rusuroku/0102,rusuroku/0103,rusuroku/0104"};
    std::vector<std::string> list = {ctl, "list"};
    list.insert(list.end(), selection.begin(), selection.end());
    std::vector<std::string> csv = {ctl, "export-csv"};
    csv.insert(csv.end(), selection.begin(), selection.end());
    csv.insert(csv.end(), {"--overwrite", root + "/list.csv"});

    bench::runChild(bare, root + "/bare.txt");  // the page cache warm for every side
    bench::Run bestBare{1e300}, bestList{1e300}, bestCsv{1e300};
    for (int turn = 0; turn < 5; ++turn) {
        for (auto [args, out, best] :
             {std::tuple{&bare, "/bare.txt", &bestBare}, std::tuple{&list, "/list.json", &bestList},
              std::tuple{&csv, "/csv.json", &bestCsv}}) {
            const bench::Run r = bench::runChild(*args, root + out);
            if (r.status != 0) {
                std::fprintf(stderr, "%s exited with %d\n", (*args)[1].c_str(), r.status);
            }
            if (r.ms < best->ms) {
                *best = r;
            }
        }
    }
    std::printf("messages %d in %d boxes\n", total, kBoxes);
    std::printf("bare C load          %8.1f ms  peak %6.1f MB\n", bestBare.ms, bestBare.maxRssKb / 1024.0);
    std::printf("voxmgctl list        %8.1f ms  peak %6.1f MB  (%.2fx the bare load; aim <= 1.3x, < 80 MB)\n",
                bestList.ms, bestList.maxRssKb / 1024.0, bestList.ms / bestBare.ms);
    std::printf("voxmgctl export-csv  %8.1f ms  peak %6.1f MB  (%.2fx the bare load; aim <= 1.3x)\n",
                bestCsv.ms, bestCsv.maxRssKb / 1024.0, bestCsv.ms / bestBare.ms);
    std::filesystem::remove_all(root);
    return 0;
}
