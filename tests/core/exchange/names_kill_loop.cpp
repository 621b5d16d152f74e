// Kills `voxmgctl import-names` at random moments while it imports a large phone book with
// repeated extensions, and checks what a user relies on: after a kill every inf.ini holds the
// name the box had before the run or the one the phone book gives it, and every saved copy holds
// the name from before the run; after the next run (one whose phone book is refused, so it only
// settles what the kill left) the boxes hold one name set or the other as a whole, with no copy
// and no work file left.
//
//   names_kill_loop --ctl PATH/voxmgctl [--kills N] [--seed S]
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/base/text.h"
#include "support/kill_options.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using voxmg::test::readFile;
using voxmg::test::writeFile;
using Clock = std::chrono::steady_clock;

constexpr int kBoxes = 60;
constexpr int kLines = 20000;

std::string number(int box) {
    return std::to_string(30000 + box);
}

// Box contents of one name set, written out by hand as the import writes them.
using NameSet = std::map<std::string, std::string>;

NameSet originals() {
    NameSet set;
    for (int i = 0; i < kBoxes; ++i) {
        set[number(i)] = "[INF]\r\nNAME=\"orig" + std::to_string(i) + "\"\r\nMAKE=0\r\nAutoDel=0\r\n";
    }
    return set;
}

// The name of a box's last line in book `tag`.
std::string lastName(const std::string& tag, int box) {
    return voxmg::text::cp932FromUtf8(tag + "課" + std::to_string(box));
}

NameSet imported(const std::string& tag) {
    NameSet set;
    for (int i = 0; i < kBoxes; ++i) {
        set[number(i)] = "[INF]\r\nNAME=" + lastName(tag, i) + "\r\nMAKE=0\r\nAutoDel=0\r\n";
    }
    return set;
}

// Every extension many times over, each time with another name, the last one being lastName;
// numbers of other sites between them.
std::string phoneBook(const std::string& tag) {
    std::string book = voxmg::text::cp932FromUtf8("内線電話帳\r\n収容位置,内線番号,内線名称,ヨミガナ\r\n");
    const int rounds = kLines / (kBoxes + 1);
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < kBoxes; ++i) {
            const std::string name = r + 1 == rounds
                                         ? lastName(tag, i)
                                         : voxmg::text::cp932FromUtf8(tag + "仮" + std::to_string(r));
            book += "01-" + number(i) + "," + number(i) + "," + name + ",ｶﾘ\r\n";
        }
        book += "02-99999,99999,other,x\r\n";
    }
    return book;
}

struct Loop {
    fs::path root;
    std::string ctl;
    int failures = 0;

    fs::path naisen() const { return root / "office" / "naisen"; }

    void fail(int round, const std::string& what) {
        ++failures;
        std::fprintf(stderr, "FAIL round %d: %s\n", round, what.c_str());
    }

    // Exit status of a run to its end, or -1 when killed.
    int importBook(const fs::path& book, std::chrono::microseconds killAfter) const {
        const pid_t pid = voxmg::test::spawnQuiet(
            {ctl, "import-names", book.string(), "--root", root.string(), "--folder", "office"});
        if (killAfter.count() >= 0) {
            return voxmg::test::killAfter(pid, killAfter) ? -1 : 0;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The state a kill left: each inf.ini one of the two, each copy the one from before the run.
    // True when the mark of a finished import is there.
    bool checkAfterKill(int round, const NameSet& before, const NameSet& after) {
        for (const auto& [box, old] : before) {
            const fs::path folder = naisen() / box;
            const std::string info =
                fs::exists(folder / "inf.ini") ? readFile((folder / "inf.ini").string()) : "";
            if (info != old && info != after.at(box)) {
                fail(round, box + "/inf.ini holds neither name");
            }
            if (fs::exists(folder / "inf.tmp") && readFile((folder / "inf.tmp").string()) != old) {
                fail(round, box + "/inf.tmp is not the name from before the run");
            }
        }
        return fs::exists(naisen() / ".inf-imported");
    }

    // After the settling run: one name set as a whole, nothing left over. Which one it is.
    const NameSet* checkSettled(int round, const NameSet& before, const NameSet& after) {
        int same = 0;
        int changed = 0;
        for (const auto& [box, old] : before) {
            const std::string info = readFile((naisen() / box / "inf.ini").string());
            same += info == old;
            changed += info == after.at(box);
        }
        for (const auto& e : fs::recursive_directory_iterator(naisen())) {
            const std::string name = e.path().filename().string();
            if (name == "inf.tmp" || name.starts_with(".")) {
                fail(round, "left over: " + e.path().string());
            }
        }
        if (same == kBoxes) {
            return &before;
        }
        if (changed == kBoxes) {
            return &after;
        }
        fail(round,
             "mixed name sets: " + std::to_string(same) + " before, " + std::to_string(changed) + " after");
        return nullptr;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const auto options = voxmg::test::killOptions(argc, argv, "names_kill_loop");
    if (!options) {
        return 2;
    }
    voxmg::test::TempFolder work;
    Loop loop;
    loop.ctl = options->ctl;
    loop.root = work.file("data");
    const NameSet original = originals();
    for (const auto& [box, bytes] : original) {
        writeFile((loop.naisen() / box / "inf.ini").string(), bytes);
    }
    const std::map<std::string, NameSet> sets{{"A", imported("A")}, {"B", imported("B")}};
    for (const char* tag : {"A", "B"}) {
        writeFile(work.file(std::string(tag) + ".csv"), phoneBook(tag));
    }
    writeFile(work.file("refused.csv"), "x\r\nnot a phone book\r\n");

    // One run to its end tells how long a run takes.
    const auto start = Clock::now();
    if (loop.importBook(work.file("A.csv"), std::chrono::microseconds(-1)) != 0) {
        loop.fail(0, "a full import failed");
    }
    const auto full = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    const NameSet* state = &sets.at("A");
    if (!loop.checkSettled(0, original, *state)) {
        return 1;
    }

    std::mt19937 random(options->seed);
    std::uniform_int_distribution<long> delay(0, full.count() * 5 / 4);
    std::printf("import kill loop: %d kills, seed %u, a full run %ld ms\n", options->kills, options->seed,
                static_cast<long>(full.count() / 1000));
    std::fflush(stdout);
    int killed = 0, undone = 0, kept = 0, marked = 0;
    for (int round = 1; round <= options->kills; ++round) {
        const std::string tag = state == &sets.at("A") ? "B" : "A";
        const NameSet& next = sets.at(tag);
        const int status = loop.importBook(work.file(tag + ".csv"), std::chrono::microseconds(delay(random)));
        killed += status == -1;
        const bool mark = loop.checkAfterKill(round, *state, next);
        marked += mark;
        if (loop.importBook(work.file("refused.csv"), std::chrono::microseconds(-1)) != 1) {
            loop.fail(round, "the refused phone book was not refused");
        }
        const NameSet* settled = loop.checkSettled(round, *state, next);
        if (settled == nullptr) {
            return 1;  // nothing sensible to go on from
        }
        if ((status == 0 || mark) && settled != &next) {
            loop.fail(round, "a finished import was undone");
        }
        (settled == &next ? kept : undone) += 1;
        state = settled;
    }
    std::printf(
        "import kill loop: %d of %d runs killed before their end; %d undone, %d kept (%d by the mark); "
        "%d failures\n",
        killed, options->kills, undone, kept, marked, loop.failures);
    return loop.failures == 0 ? 0 : 1;
}
