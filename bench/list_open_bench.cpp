// Opens a list window over four boxes holding 50,000 messages in total (offscreen) and
// compares the time until its rows are shown with a bare C load of the same boxes (and with
// CFileMng::loadBoxFolder), measured in turns in the same run; then opens four such lists and
// reports the peak memory. Usage: list_open_bench [MESSAGES]   (default 50000)
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/store/file_mng.h"
#include "gui/base/app_context.h"
#include "gui/base/choosers.h"
#include "gui/base/user_messages.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_model.h"

using namespace voxmg;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kBoxes = 4;

long peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

long currentRssMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024) / 1024;
}

std::vector<std::uint8_t> messageBytes(int i) {
    FILESTS_INFO record;
    record.state = static_cast<std::uint8_t>(i % 3);
    FILESTS_INFO::setText(record.length, u"00:00:01");
    FILESTS_INFO::setText(record.date, i % 2 == 0 ? u"2026/12/06 13:05" : u"2026/11/30 09:41");
    FILESTS_INFO::setText(record.callerName, u"山田 太郎");
    auto head = encodeRecord(record);
    UnitHeader header;
    std::copy(kModelText.begin(), kModelText.end(), header.bytes().begin());
    std::vector<std::uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), header.bytes().begin(), header.bytes().end());
    out.resize(out.size() + 1000, 0x5A);
    return out;
}

bool generate(const std::string& boxFolder, int total) {
    const int perBox = total / kBoxes;
    char name[64];
    for (int b = 0; b < kBoxes; ++b) {
        char box[8];
        std::snprintf(box, sizeof box, "%04d", 101 + b);
        const std::string folder = boxFolder + "/rusuroku/" + box;
        std::filesystem::create_directories(folder);
        for (int i = 0; i < perBox; ++i) {
            const auto bytes = messageBytes(i);
            std::snprintf(name, sizeof name, "/20261206%04d_SUN_%s_%05d.vmdat", i / 100000, box, i % 100000);
            const int fd = ::open((folder + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
                return false;
            }
            ::close(fd);
        }
    }
    return true;
}

double bareLoad(const std::string& boxFolder, std::size_t& loaded) {
    std::atomic<int> cancel{0};
    CFileMng files(cancel);
    const auto start = Clock::now();
    loaded = 0;
    for (int b = 0; b < kBoxes; ++b) {
        char box[8];
        std::snprintf(box, sizeof box, "%04d", 101 + b);
        std::vector<FILESTS_INFO> records;
        files.loadBoxFolder(boxFolder + "/rusuroku/" + box, records);
        loaded += records.size();
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The least a list must do, as a plain C loop: read each folder, open and read the record of
// each .vmdat, stat its .vminf.
double bareCLoad(const std::string& boxFolder, std::size_t& loaded) {
    const auto start = Clock::now();
    loaded = 0;
    unsigned char record[990];
    for (int b = 0; b < kBoxes; ++b) {
        char box[8];
        std::snprintf(box, sizeof box, "%04d", 101 + b);
        const std::string folder = boxFolder + "/rusuroku/" + box;
        DIR* dir = ::opendir(folder.c_str());
        while (dir != nullptr) {
            const dirent* e = ::readdir(dir);
            if (e == nullptr) {
                break;
            }
            const std::string name = e->d_name;
            if (!name.ends_with(".vmdat")) {
                continue;
            }
            const std::string path = folder + "/" + name;
            const int fd = ::open(path.c_str(), O_RDONLY);
            if (fd < 0) {
                continue;
            }
            loaded += ::read(fd, record, sizeof record) == static_cast<ssize_t>(sizeof record) ? 1 : 0;
            ::close(fd);
            struct stat st {};
            loaded -= ::stat((path.substr(0, path.size() - 6) + ".vminf").c_str(), &st) == 0 ? 1 : 0;
        }
        if (dir != nullptr) {
            ::closedir(dir);
        }
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Program {
    Flags flags;
    CVOXMGDoc doc;
    QtUserMessages messages;
    QtChoosers choosers;
    AppContext context{doc, flags, messages, choosers, Timings{}, ScheduleState{}, uiPump()};
    explicit Program(const std::string& ini) : doc(ini) {}
};

double openList(Program& program, int slot, std::unique_ptr<CListDispView>& out, int& rows) {
    const auto start = Clock::now();
    out = std::make_unique<CListDispView>(program.context, slot);
    out->resize(900, 500);
    out->show();
    out->open();
    QApplication::processEvents();  // the rows painted
    rows = out->model()->rowCount();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int total = argc > 1 ? std::max(kBoxes, std::atoi(argv[1])) : 50000;

    std::filesystem::path base =
        ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string root = (base / "voxmg-list-bench-XXXXXX").string();
    if (::mkdtemp(root.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string boxFolder = root + "/bench";
    if (!generate(boxFolder, total)) {
        std::perror("generate");
        std::filesystem::remove_all(root);
        return 1;
    }

    Program program(root + "/VOXMG.ini");
    auto& s = program.doc.settings();
    s.folder = text::utf16FromUtf8(root + "/");
    s.folderName = u"bench";
    for (std::size_t i = 0; i < 4; ++i) {
        s.disp[i] = u"留守録BOX：0101,0102,0103,0104";
        s.folderNames[i] = u"bench";
    }

    std::size_t loaded = 0;
    std::size_t bareLoaded = 0;
    bareLoad(boxFolder, loaded);  // warm the cache for both sides
    double bare = 1e9;
    double bareC = 1e9;
    double list = 1e9;
    int rows = 0;
    for (int round = 0; round < 5; ++round) {
        bareC = std::min(bareC, bareCLoad(boxFolder, bareLoaded));
        bare = std::min(bare, bareLoad(boxFolder, loaded));
        std::unique_ptr<CListDispView> view;
        list = std::min(list, openList(program, 1, view, rows));
    }
    std::printf("messages %d, loaded %zu (bare C %zu), rows shown %d\n", total, loaded, bareLoaded, rows);
    std::printf("bare C load        %.3f s\n", bareC);
    std::printf("folder loader      %.3f s  (%.2fx the bare C load)\n", bare, bare / bareC);
    std::printf("list window shown  %.3f s  (%.2fx the bare C load; aim: within 1.3x)\n", list, list / bareC);

    const long before = currentRssMb();
    std::vector<std::unique_ptr<CListDispView>> views(4);
    for (int n = 1; n <= 4; ++n) {
        openList(program, n, views[static_cast<std::size_t>(n - 1)], rows);
    }
    std::printf("four lists open: resident %ld MB (was %ld MB), peak %ld MB (aim: under 120 MB)\n",
                currentRssMb(), before, peakRssMb());
    views.clear();
    std::filesystem::remove_all(root);
    return 0;
}
