#include "core/store/box_management.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/base/text.h"
#include "store_fixtures.h"

namespace voxmg::boxes {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using text::u16;

struct NameCase {
    const char* name;
    bool valid;
};

class BoxNameRule : public ::testing::TestWithParam<NameCase> {};

TEST_P(BoxNameRule, CountsCp932BytesAndRefusesCommas) {
    EXPECT_EQ(isValidBoxName(u16(GetParam().name)), GetParam().valid) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, BoxNameRule,
                         ::testing::Values(NameCase{"", true}, NameCase{"0123456789", true},
                                           NameCase{"01234567890", false},
                                           NameCase{"あいうえお", true},     // five double-byte: 10 bytes
                                           NameCase{"あいうえおか", false},  // six: 12 bytes
                                           NameCase{"ｱｲｳｴｵｶｷｸｹｺ", true},     // half-width kana: one byte each
                                           NameCase{"山田,太郎", false}, NameCase{",", false},
                                           NameCase{"a\r\nMAKE=1", false}));

class FolderNameRule : public ::testing::TestWithParam<NameCase> {};

TEST_P(FolderNameRule, OneToFourteenBytesWithoutPathCharacters) {
    EXPECT_EQ(isValidFolderName(u16(GetParam().name)), GetParam().valid) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, FolderNameRule,
                         ::testing::Values(NameCase{"a", true}, NameCase{"abcdefghijklmn", true},
                                           NameCase{"abcdefghijklmno", false}, NameCase{"", false},
                                           NameCase{"あいうえおかき", true},
                                           NameCase{"あいうえおかきく", false}, NameCase{"a\\b", false},
                                           NameCase{"a/b", false}, NameCase{"a:b", false},
                                           NameCase{"a*b", false}, NameCase{"a?b", false},
                                           NameCase{"a\"b", false}, NameCase{"a<b", false},
                                           NameCase{"a>b", false}, NameCase{"a|b", false},
                                           NameCase{"..", false}, NameCase{"a\tb", false}));

// A box folder with main unit boxes 0101 (rusuroku) and 201 (naisen), and a user box 私用
// (rusuroku).
class BoxFolderTest : public test::TempFolderTest {
protected:
    BoxFolderTest() {
        mainUnitBox("rusuroku/0101", "受付");
        mainUnitBox("naisen/201", "");
        writeFile(path("box/rusuroku/私用/inf.ini"), "[INF]\r\nMAKE=1\r\nAutoDel=0\r\n");
    }
    void mainUnitBox(const std::string& rel, const std::string& name) {
        writeFile(path("box/" + rel + "/inf.ini"),
                  "[INF]\r\nNAME=\"" + text::cp932FromUtf8(name) + "\"\r\nMAKE=0\r\n");
    }
    std::string box() const { return path("box"); }
};

TEST_F(BoxFolderTest, MakesUserBoxesAndRefusesNamesInUse) {
    EXPECT_EQ(makeBoxFolder(box(), BoxKind::Extension, u"新規"), BoxCheck::Ok);
    EXPECT_EQ(readFile(path("box/naisen/新規/inf.ini")), "[INF]\r\nMAKE=1\r\nAutoDel=0\r\n");
    EXPECT_EQ(makeBoxFolder(box(), BoxKind::Extension, u"新規"), BoxCheck::Duplicate);
    EXPECT_EQ(makeBoxFolder(box(), BoxKind::Answer, u"0101"), BoxCheck::Duplicate);
    // The same name under the other kind is another folder.
    EXPECT_EQ(makeBoxFolder(box(), BoxKind::Answer, u"新規"), BoxCheck::Ok);
    EXPECT_EQ(makeBoxFolder(box(), BoxKind::Answer, u"../x"), BoxCheck::InputError);
    EXPECT_EQ(makeBoxFolder(path("nowhere"), BoxKind::Answer, u"x"), BoxCheck::InputError);
    EXPECT_FALSE(fs::exists(path("x")));
}

TEST_F(BoxFolderTest, RenameListsOnlyUserBoxesAndRefusesClashes) {
    writeFile(path("box/rusuroku/予備/inf.ini"), "[INF]\r\nMAKE=1\r\n");
    EXPECT_EQ(userBoxes(box(), BoxKind::Answer), (std::vector<std::string>{"予備", "私用"}));
    EXPECT_TRUE(userBoxes(box(), BoxKind::Extension).empty());

    const std::vector<FolderRename> same{{BoxKind::Answer, "予備", u"共通"},
                                         {BoxKind::Answer, "私用", u"共通"}};
    EXPECT_EQ(checkRenames(box(), same).result, BoxCheck::Duplicate);
    EXPECT_EQ(checkRenames(box(), same).row, 1u);
    EXPECT_EQ(checkRenames(box(), {{BoxKind::Answer, "私用", u"0101"}}).result, BoxCheck::Duplicate);
    EXPECT_EQ(checkRenames(box(), {{BoxKind::Answer, "私用", u"a|b"}}).result, BoxCheck::InputError);

    const std::vector<FolderRename> ok{{BoxKind::Answer, "予備", u"共通"},
                                       {BoxKind::Extension, "予備", u"共通"}};
    EXPECT_EQ(checkRenames(box(), ok).result, BoxCheck::Ok);
    EXPECT_EQ(renameBoxFolders(box(), ok), 1);  // naisen/予備 does not exist
    EXPECT_EQ(readFile(path("box/rusuroku/共通/inf.ini")), "[INF]\r\nMAKE=1\r\n");
    EXPECT_FALSE(fs::exists(path("box/rusuroku/予備")));
}

TEST_F(BoxFolderTest, SavingNamesRewritesEveryBox) {
    auto rows = boxNameRows(box());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].folder, "0101");
    EXPECT_EQ(rows[0].name, u"受付");
    EXPECT_EQ(rows[2].kind, BoxKind::Extension);
    rows[2].name = u"あいうえお";
    rows[2].changed = true;
    EXPECT_EQ(firstInvalidName(rows), std::nullopt);

    struct Count : ProgressSink {
        int range = 0, position = 0;
        void setRange(int r) override { range = r; }
        void setPosition(int p) override { position = p; }
    } progress;
    EXPECT_EQ(saveBoxNames(box(), rows, &progress, {}), 0);
    EXPECT_EQ(progress.range, 3);
    EXPECT_EQ(progress.position, 3);
    EXPECT_EQ(readFile(path("box/naisen/201/inf.ini")),
              "[INF]\r\nNAME=\"" + text::cp932FromUtf8("あいうえお") + "\"\r\nMAKE=0\r\n");
    // The untouched user box gets its (empty) name written too, quoted.
    EXPECT_EQ(readFile(path("box/rusuroku/私用/inf.ini")), "[INF]\r\nMAKE=1\r\nAutoDel=0\r\nNAME=\"\"\r\n");

    rows[1].name = u"あいうえおか";
    rows[1].changed = true;
    EXPECT_EQ(firstInvalidName(rows), 1u);

    // A longer name the phone book import stored is written back as it was while left alone.
    writeFile(path("box/rusuroku/0101/inf.ini"),
              "[INF]\r\nNAME=" + text::cp932FromUtf8("総務部 山田") + "\r\n");
    rows = boxNameRows(box());
    EXPECT_EQ(firstInvalidName(rows), std::nullopt);
    EXPECT_EQ(saveBoxNames(box(), rows, nullptr, {}), 0);
    EXPECT_EQ(readFile(path("box/rusuroku/0101/inf.ini")),
              "[INF]\r\nNAME=\"" + text::cp932FromUtf8("総務部 山田") + "\"\r\n");
    rows[0].changed = true;
    EXPECT_EQ(firstInvalidName(rows), 0u);
}

TEST_F(BoxFolderTest, LinksAreNoBoxes) {
    mkdir("outside");
    fs::create_directory_symlink(path("outside"), path("box/naisen/202"));
    EXPECT_EQ(boxSubfolders(box(), BoxKind::Extension), (std::vector<std::string>{"201"}));
    EXPECT_TRUE(hasBoxSubfolders(box()));
    EXPECT_FALSE(hasBoxSubfolders(path("outside")));
}

}  // namespace
}  // namespace voxmg::boxes
