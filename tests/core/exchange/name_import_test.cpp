#include "core/exchange/name_import.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <map>

#include "core/base/text.h"
#include "support/temp_folder.h"

namespace voxmg::name_import {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

const std::string kOld201 = "[INF]\r\nNAME=\"old\"\r\nMAKE=0\r\n";
const std::string kOld203 = "[INF]\r\nMAKE=0\r\n";

std::string nameLine(const std::string& utf8Name) {
    return "[INF]\r\nNAME=" + text::cp932FromUtf8(utf8Name) + "\r\n";
}

// Counts the import's writes, flushes and renames; the `failAt`-th one fails as on a full disk.
class CountingWrites : public fileio::Writes {
public:
    explicit CountingWrites(int failAt = 0) : m_failAt(failAt) {}
    bool write(int fd, std::span<const std::uint8_t> data) override {
        return step() && Writes::write(fd, data);
    }
    bool sync(int fd) override { return step() && Writes::sync(fd); }
    bool rename(const std::string& from, const std::string& to) override {
        if (!step()) {
            return false;
        }
        ++renamedTo[std::string(fs::path(to).parent_path().filename()) + "/" +
                    fs::path(to).filename().string()];
        return Writes::rename(from, to);
    }

    bool failed = false;
    std::map<std::string, int> renamedTo;  // "box/file" -> renames onto it

private:
    bool step() {
        if (++m_calls == m_failAt) {
            failed = true;
            errno = ENOSPC;
            return false;
        }
        return true;
    }
    int m_failAt;
    int m_calls = 0;
};

// Extension boxes 201 (named "old"), 202 (no inf.ini) and 203 (no NAME) of a box folder, and
// phone books written as the telephone system exports them.
class NameImportTest : public ::testing::Test {
protected:
    NameImportTest() {
        writeFile(m_dir.file("box/naisen/201/inf.ini"), kOld201);
        m_dir.folder("box/naisen/202");
        writeFile(m_dir.file("box/naisen/203/inf.ini"), kOld203);
        m_dir.folder("box/rusuroku");
    }

    // Line 1, the header line, then the data lines; CP932 with CRLF.
    std::string phoneBook(std::initializer_list<const char*> lines, const char* header = nullptr) {
        std::string bytes = "内線電話帳\r\n";
        bytes += header ? header : "収容位置,内線番号,内線名称,ヨミガナ";
        bytes += "\r\n";
        for (const char* line : lines) {
            bytes += std::string(line) + "\r\n";
        }
        const std::string path = m_dir.file("book" + std::to_string(++m_books) + ".csv");
        writeFile(path, text::cp932FromUtf8(bytes));
        return path;
    }

    // Runs the import; the cancel request comes after `cancelAfter` pumps (one per line read,
    // then one per box copied and per box named). `onPump` looks at the disk at each pump.
    ImportOutcome import(const std::string& book, int cancelAfter = -1, fileio::Writes* writes = nullptr,
                         const std::function<void()>& onPump = {}) {
        int pumps = 0;
        ImportRequest request{book, m_dir.file("box"),
                              [&] { return cancelAfter >= 0 && pumps >= cancelAfter; }, writes};
        return run(request, &m_progress, [&] {
            ++pumps;
            if (onPump) {
                onPump();
            }
        });
    }

    // The work files an import leaves in "naisen" or a box: copies and hidden files.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(m_dir.file("box/naisen"))) {
            const std::string name = e.path().filename().string();
            if (name == "inf.tmp" || name.starts_with(".")) {
                out.push_back(e.path().string());
            }
        }
        return out;
    }

    std::string info(const char* box) const {
        return readFile(m_dir.file(std::string("box/naisen/") + box + "/inf.ini"));
    }
    bool copyLeft(const char* box) const {
        return fs::exists(m_dir.file(std::string("box/naisen/") + box + "/inf.tmp"));
    }

    struct Progress : ProgressSink {
        int range = -1, position = -1;
        void setRange(int r) override { range = r; }
        void setPosition(int p) override { position = p; }
    } m_progress;
    test::TempFolder m_dir;
    int m_books = 0;
};

TEST_F(NameImportTest, HeaderOnlyCompletesWithNoChange) {
    const auto outcome = import(phoneBook({}));
    EXPECT_EQ(outcome.result, ImportResult::Done);
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(outcome.summary.text, u"内線電話帳のインポートが正常に完了しました。");
    EXPECT_EQ(outcome.summary.caption, u"インポート完了");
    EXPECT_TRUE(outcome.names.empty());
    EXPECT_EQ(info("201"), kOld201);
    EXPECT_FALSE(fs::exists(m_dir.file("box/naisen/202/inf.ini")));
}

// A box folder with answering-machine boxes only: nothing to name, and no failure.
TEST_F(NameImportTest, NoExtensionFolderCompletesWithNoChange) {
    fs::remove_all(m_dir.file("box/naisen"));
    const auto outcome = import(phoneBook({"1,201,山田,ﾔﾏﾀﾞ"}));
    EXPECT_TRUE(outcome.completed);
    EXPECT_TRUE(outcome.names.empty());
    EXPECT_FALSE(fs::exists(m_dir.file("box/naisen")));
}

TEST_F(NameImportTest, WritesEveryNameAndDropsTheCopies) {
    const auto book =
        phoneBook({"1,201,山田,ﾔﾏﾀﾞ", "2,202,佐藤,ｻﾄｳ", "3,999,誰か,ﾀﾞﾚｶ", "4,../naisen/203,x,y", "5,203"});
    const auto outcome = import(book);
    EXPECT_TRUE(outcome.completed);
    ASSERT_EQ(outcome.names.size(), 2u);
    EXPECT_EQ(info("201"), "[INF]\r\nNAME=" + text::cp932FromUtf8("山田") + "\r\nMAKE=0\r\n");
    EXPECT_EQ(info("202"), nameLine("佐藤"));
    EXPECT_EQ(info("203"), kOld203);
    EXPECT_FALSE(copyLeft("201") || copyLeft("202"));
    EXPECT_FALSE(fs::exists(m_dir.file("box/naisen/999")));
    EXPECT_EQ(m_progress.range, static_cast<int>(fs::file_size(book) / 25));
    EXPECT_EQ(m_progress.position, m_progress.range);
}

// The whole line is read, and the name is the third field, whatever follows it.
TEST_F(NameImportTest, LongNamesAndTrailingCommasKeepTheName) {
    import(phoneBook({"1,201,株式会社山田商事営業部第二課長,ｶﾌﾞｼｷｶﾞｲｼｬﾔﾏﾀﾞｼｮｳｼﾞ,", "2,202,佐藤,ｻﾄｳ,,"}));
    EXPECT_EQ(info("201"),
              "[INF]\r\nNAME=" + text::cp932FromUtf8("株式会社山田商事営業部第二課長") + "\r\nMAKE=0\r\n");
    EXPECT_EQ(info("202"), nameLine("佐藤"));
}

TEST_F(NameImportTest, WrongHeaderOrNoFileRestoresLeftoversAndChangesNothing) {
    // An import that died halfway left a copy of 201's earlier state.
    writeFile(m_dir.file("box/naisen/201/inf.tmp"), "[INF]\r\nNAME=\"before\"\r\n");
    for (const std::string& book :
         {phoneBook({"1,201,山田,ﾔﾏﾀﾞ"}, "収容位置,内線番号,内線名称"), m_dir.file("missing.csv")}) {
        const auto outcome = import(book);
        EXPECT_EQ(outcome.result, ImportResult::Failed);
        EXPECT_FALSE(outcome.completed);
        EXPECT_EQ(outcome.summary.text, u"インポートエラー");
        EXPECT_EQ(outcome.summary.caption, u"エラー");
        EXPECT_EQ(info("201"), "[INF]\r\nNAME=\"before\"\r\n");
        EXPECT_FALSE(copyLeft("201"));
        EXPECT_FALSE(fs::exists(m_dir.file("box/naisen/202/inf.ini")));
    }
}

TEST_F(NameImportTest, CancelRestoresExactlyTheBoxesChanged) {
    ASSERT_TRUE(import(phoneBook({"1,203,前回,ｾﾞﾝｶｲ"})).completed);
    // Three lines read, three copies taken, two names written: then the cancel.
    const auto outcome = import(phoneBook({"1,201,山田,ﾔﾏﾀﾞ", "2,202,佐藤,ｻﾄｳ", "3,203,鈴木,ｽｽﾞｷ"}), 8);
    EXPECT_EQ(outcome.result, ImportResult::Done);
    EXPECT_FALSE(outcome.completed);
    EXPECT_TRUE(outcome.summary.text.empty());
    EXPECT_EQ(outcome.names.size(), 3u);
    EXPECT_EQ(info("201"), kOld201);
    // A box that had no inf.ini keeps the copy with its empty name.
    EXPECT_EQ(info("202"), "[INF]\r\nNAME=\r\n");
    EXPECT_EQ(info("203"), "[INF]\r\nMAKE=0\r\nNAME=" + text::cp932FromUtf8("前回") + "\r\n");
    EXPECT_FALSE(copyLeft("201") || copyLeft("202") || copyLeft("203"));
}

// A cancel at any moment puts back the names the boxes had before the run, also for an extension
// the phone book lists twice; while the import runs, every copy holds that name.
TEST_F(NameImportTest, SameExtensionTwiceThenCancelPutsBackTheOriginal) {
    const auto book = phoneBook({"1,201,山田,ﾔﾏﾀﾞ", "2,201,佐藤,ｻﾄｳ", "3,203,x,y", "4,203,鈴木,ｽｽﾞｷ"});
    const std::string name201 = "[INF]\r\nNAME=" + text::cp932FromUtf8("佐藤") + "\r\nMAKE=0\r\n";
    const std::string name203 = "[INF]\r\nMAKE=0\r\nNAME=" + text::cp932FromUtf8("鈴木") + "\r\n";
    for (int cancelAfter = 0;; ++cancelAfter) {
        SCOPED_TRACE(cancelAfter);
        writeFile(m_dir.file("box/naisen/201/inf.ini"), kOld201);
        writeFile(m_dir.file("box/naisen/203/inf.ini"), kOld203);
        int badCopies = 0;
        const auto outcome = import(book, cancelAfter, nullptr, [&] {
            for (const auto& [box, old] : {std::pair{"201", kOld201}, std::pair{"203", kOld203}}) {
                const std::string copy = m_dir.file(std::string("box/naisen/") + box + "/inf.tmp");
                badCopies += fs::exists(copy) && readFile(copy) != old;
            }
        });
        EXPECT_EQ(badCopies, 0);
        EXPECT_TRUE(leftovers().empty());
        if (outcome.completed) {
            EXPECT_EQ(info("201"), name201) << "the last line of an extension wins";
            EXPECT_EQ(info("203"), name203);
            break;
        }
        EXPECT_EQ(info("201"), kOld201);
        EXPECT_EQ(info("203"), kOld203);
    }
}

// However often a directory repeats an extension, its inf.ini is written once.
TEST_F(NameImportTest, EachBoxIsWrittenOnce) {
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i) {
        lines.push_back(std::to_string(i) + (i % 2 ? ",201,名" : ",203,名") + std::to_string(i) + ",x");
    }
    std::string bytes = "内線電話帳\r\n収容位置,内線番号,内線名称,ヨミガナ\r\n";
    for (const auto& line : lines) {
        bytes += line + "\r\n";
    }
    writeFile(m_dir.file("big.csv"), text::cp932FromUtf8(bytes));
    CountingWrites writes;
    const auto outcome = import(m_dir.file("big.csv"), -1, &writes);
    ASSERT_TRUE(outcome.completed);
    EXPECT_EQ(outcome.names.size(), 200u);
    // The copies are second names of the old files, taken without a write.
    EXPECT_EQ(writes.renamedTo, (std::map<std::string, int>{
                                    {"201/inf.ini", 1}, {"203/inf.ini", 1}, {"naisen/.inf-imported", 1}}))
        << "the mark of a finished import is written once too";
    EXPECT_EQ(info("201"), "[INF]\r\nNAME=" + text::cp932FromUtf8("名199") + "\r\nMAKE=0\r\n");
    EXPECT_EQ(info("203"), "[INF]\r\nMAKE=0\r\nNAME=" + text::cp932FromUtf8("名198") + "\r\n");
}

// A full disk at any write, flush or rename fails the import, and every box is as it was: twelve
// extensions, as a small office has.
TEST_F(NameImportTest, AFullDiskAtAnyWriteFailsAndPutsEveryBoxBack) {
    std::map<std::string, std::string> before;
    std::vector<std::string> lines;
    for (int box = 201; box <= 212; ++box) {
        const std::string number = std::to_string(box);
        if (box != 202) {
            before[number] = "[INF]\r\nNAME=\"old" + number + "\"\r\nMAKE=0\r\n";
        }
        lines.push_back("1," + number + ",社員" + number + ",ｼｬｲﾝ");
    }
    std::string bytes = "内線電話帳\r\n収容位置,内線番号,内線名称,ヨミガナ\r\n";
    for (const auto& line : lines) {
        bytes += line + "\r\n";
    }
    writeFile(m_dir.file("office.csv"), text::cp932FromUtf8(bytes));
    int failures = 0;
    for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE(failAt);
        fs::remove(m_dir.file("box/naisen/202/inf.ini"));
        for (const auto& [number, old] : before) {
            writeFile(m_dir.file("box/naisen/" + number + "/inf.ini"), old);
        }
        CountingWrites writes(failAt);
        const auto outcome = import(m_dir.file("office.csv"), -1, &writes);
        EXPECT_TRUE(leftovers().empty());
        if (outcome.completed) {
            // Only the mark of a finished import may fail without failing it: every name is in.
            EXPECT_EQ(outcome.names.size(), 12u);
            EXPECT_EQ(info("212"), "[INF]\r\nNAME=" + text::cp932FromUtf8("社員212") + "\r\nMAKE=0\r\n");
            if (!writes.failed) {
                break;
            }
            continue;
        }
        ++failures;
        EXPECT_EQ(outcome.result, ImportResult::Failed);
        EXPECT_FALSE(outcome.completed);
        EXPECT_TRUE(outcome.names.empty());
        EXPECT_EQ(outcome.summary.text, u"インポートエラー");
        for (const auto& [number, old] : before) {
            EXPECT_EQ(info(number.c_str()), old) << number;
        }
        // The box that had no inf.ini has none, or the empty name its copy held.
        const std::string path202 = m_dir.file("box/naisen/202/inf.ini");
        if (fs::exists(path202)) {
            EXPECT_EQ(readFile(path202), "[INF]\r\nNAME=\r\n");
        }
    }
    // The copy of the box without an inf.ini and twelve names, each a write and a rename.
    EXPECT_GE(failures, 2 + 12 * 2);
}

// What a killed import left is settled when the next one starts: copies go back over the
// half-written names, work files go; after the mark of a finished import, copies only go.
TEST_F(NameImportTest, LeftoversOfAKilledImportAreSettledFirst) {
    writeFile(m_dir.file("box/naisen/201/inf.ini"), "[INF]\r\nNAME=half\r\n");
    writeFile(m_dir.file("box/naisen/201/inf.tmp"), kOld201);
    writeFile(m_dir.file("box/naisen/.inf-import-Ab12Cd"), "[INF]\r\nNAME=to");
    ASSERT_TRUE(import(phoneBook({"1,203,鈴木,ｽｽﾞｷ"})).completed);
    EXPECT_EQ(info("201"), kOld201);
    EXPECT_TRUE(leftovers().empty());

    writeFile(m_dir.file("box/naisen/201/inf.ini"), "[INF]\r\nNAME=done\r\n");
    writeFile(m_dir.file("box/naisen/201/inf.tmp"), kOld201);
    writeFile(m_dir.file("box/naisen/.inf-imported"), "");
    ASSERT_TRUE(import(phoneBook({"1,203,鈴木,ｽｽﾞｷ"})).completed);
    EXPECT_EQ(info("201"), "[INF]\r\nNAME=done\r\n");
    EXPECT_TRUE(leftovers().empty());
}

// A copy that cannot be taken (something else holds the name) fails the import before any name
// is written.
TEST_F(NameImportTest, ACopyThatCannotBeTakenFailsTheImport) {
    m_dir.folder("box/naisen/203/inf.tmp");
    const auto outcome = import(phoneBook({"1,201,山田,ﾔﾏﾀﾞ", "2,203,鈴木,ｽｽﾞｷ"}));
    EXPECT_EQ(outcome.result, ImportResult::Failed);
    EXPECT_EQ(info("201"), kOld201);
    EXPECT_EQ(info("203"), kOld203);
    EXPECT_FALSE(copyLeft("201"));
}

struct LineCase {
    const char* line;
    const char* number;  // nullptr: no entry
    const char* name;
};

class PhoneBookLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(PhoneBookLine, NumberAndNameFromTheSecondAndThirdField) {
    const auto& c = GetParam();
    const auto entry = parseLine(text::cp932FromUtf8(c.line));
    if (c.number == nullptr) {
        EXPECT_FALSE(entry) << c.line;
        return;
    }
    ASSERT_TRUE(entry) << c.line;
    EXPECT_EQ(entry->number, c.number);
    EXPECT_EQ(entry->name, text::u16(c.name));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PhoneBookLine,
    ::testing::Values(LineCase{"1,201,山田,ﾔﾏﾀﾞ", "201", "山田"}, LineCase{"1,201,山田,", "201", "山田"},
                      LineCase{"1,201,,ﾔﾏﾀﾞ", "201", ""}, LineCase{"1,201, 山田 ,ﾔﾏﾀﾞ,,", "201", " 山田 "},
                      LineCase{"1,201,山田", nullptr, nullptr}, LineCase{"", nullptr, nullptr},
                      LineCase{"1,201,a\rMAKE=1,b", nullptr, nullptr}));

}  // namespace
}  // namespace voxmg::name_import
