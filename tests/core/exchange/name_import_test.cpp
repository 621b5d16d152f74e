#include "core/exchange/name_import.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>

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

    // Runs the import; `cancelAfter` lines are read before the cancel request comes.
    ImportOutcome import(const std::string& book, int cancelAfter = -1) {
        int lines = 0;
        ImportRequest request{book, m_dir.file("box"),
                              [&] { return cancelAfter >= 0 && lines >= cancelAfter; }};
        return run(request, &m_progress, [&] { ++lines; });
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
    const auto outcome = import(phoneBook({"1,201,山田,ﾔﾏﾀﾞ", "2,202,佐藤,ｻﾄｳ", "3,203,鈴木,ｽｽﾞｷ"}), 2);
    EXPECT_EQ(outcome.result, ImportResult::Done);
    EXPECT_FALSE(outcome.completed);
    EXPECT_TRUE(outcome.summary.text.empty());
    EXPECT_EQ(outcome.names.size(), 2u);
    EXPECT_EQ(info("201"), kOld201);
    // A box that had no inf.ini keeps the copy with its empty name.
    EXPECT_EQ(info("202"), "[INF]\r\nNAME=\r\n");
    EXPECT_EQ(info("203"), "[INF]\r\nMAKE=0\r\nNAME=" + text::cp932FromUtf8("前回") + "\r\n");
    EXPECT_FALSE(copyLeft("201") || copyLeft("202") || copyLeft("203"));
}

// The second line of the same extension copies the first imported name, which a cancel then
// puts back, as the Windows program does.
TEST_F(NameImportTest, SameExtensionTwiceThenCancelKeepsTheFirstName) {
    import(phoneBook({"1,201,山田,ﾔﾏﾀﾞ", "2,201,佐藤,ｻﾄｳ", "3,202,x,y"}), 2);
    EXPECT_EQ(info("201"), "[INF]\r\nNAME=" + text::cp932FromUtf8("山田") + "\r\nMAKE=0\r\n");
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
