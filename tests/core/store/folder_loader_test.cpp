#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "core/base/text.h"
#include "core/store/file_mng.h"
#include "store_fixtures.h"

using namespace voxmg;
using namespace voxmg::test;

namespace {

class FolderLoader : public TempFolderTest {
protected:
    using TempFolderTest::TempFolderTest;

    std::atomic<int> m_cancel{0};
    CFileMng m_mng{m_cancel};

    std::vector<FILESTS_INFO> load(const std::string& folder) {
        std::vector<FILESTS_INFO> out;
        EXPECT_EQ(m_mng.loadBoxFolder(folder, out), LoadResult::Loaded);
        return out;
    }
    static Bytes response(int number, const std::string& digits) {
        return boxMessage({.boxNumber = text::u16(digits), .length = u"00:00:01"},
                          {.messageNumber = static_cast<std::uint16_t>(number), .boxNumber = digits});
    }
};

constexpr const char* kName = "202612061305_SUN_0101_00001";

}  // namespace

TEST_F(FolderLoader, VoiceStandsForItsInfoFile) {
    std::string box = mkdir("データ/rusuroku/0101");
    writeFile(box + "/" + kName + ".vminf", boxMessage({.state = 0, .length = u"00:00:01"}));
    writeFile(box + "/" + kName + ".vmdat", boxMessage({.state = 2, .length = u"00:00:01"}));
    writeFile(box + "/202612061306_SUN_0101_00002.vminf", boxMessage({.state = 0, .length = u"00:00:01"}));
    auto records = load(box);
    ASSERT_EQ(records.size(), 2u);
    int voices = 0;
    for (const auto& r : records) {
        voices += r.pathUtf8().ends_with(".vmdat");
    }
    EXPECT_EQ(voices, 1);
}

TEST_F(FolderLoader, ReplacesStoredPathBoxNumberAndBoxName) {
    std::string box = mkdir("箱/naisen/201");
    writeFile(box + "/inf.ini",
              "[INF]\r\nNAME="
              "\"\x89\x63\x8B\xC6\x95\x94\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB\x82\xAD\x82"
              "\xAF\"\r\n");
    writeFile(
        box + "/202612061305_SUN_0201_00001.vmdat",
        boxMessage({.boxNumber = u"9999", .boxName = u"old", .length = u"00:00:01", .path = u"C:\\old"}));
    auto records = load(box);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].pathUtf8(), box + "/202612061305_SUN_0201_00001.vmdat");
    EXPECT_EQ(records[0].boxNumberText(), u"0201");
    EXPECT_EQ(records[0].boxNameText(), u"営業部あいうえおかき");  // 10 of 12 characters kept
}

struct NameCase {
    const char* name;
    const char16_t* boxNumber;
};
class BoxNumberRule : public FolderLoader, public ::testing::WithParamInterface<NameCase> {};
TEST_P(BoxNumberRule, TakesNumberFromTheFileName) {
    std::string box = mkdir("rusuroku/b");
    writeFile(box + "/" + GetParam().name, boxMessage());
    auto records = load(box);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].boxNumberText(), GetParam().boxNumber);
}
INSTANTIATE_TEST_SUITE_P(Names, BoxNumberRule,
                         ::testing::Values(NameCase{"202612061305_SUN_0101_00001.vmdat", u"0101"},
                                           NameCase{"202612061305_SUN_A012_00001.vmdat", u"012"},
                                           NameCase{"202612061305_SUN_12_3456789.vmdat", u"12"},
                                           NameCase{"202612061305_SUN_123456_789.vmdat", u"1234"},
                                           NameCase{"202612061305_SUNX0101_00001.vmdat", u""}));

TEST_F(FolderLoader, ListsOnlyNamesOfTheRightLength) {
    std::string box = mkdir("rusuroku/0101");
    writeFile(box + "/202612061305_SUN_0101_0001.vmdat", boxMessage());    // 32 characters
    writeFile(box + "/202612061305_SUN_0101_000001.vmdat", boxMessage());  // 34
    writeFile(box + "/" + std::string(kName) + ".vmdat", boxMessage());
    EXPECT_EQ(load(box).size(), 1u);
}

TEST_F(FolderLoader, LengthTextAndModelTextAreRequired) {
    std::string box = mkdir("rusuroku/0101");
    writeFile(box + "/202612061305_SUN_0101_00001.vmdat", boxMessage({.length = u"000000"}));
    writeFile(box + "/202612061305_SUN_0101_00002.vmdat",
              boxMessage({.length = u"00:00:01"}, {.model = "Zu-QY Voice-data"}));
    writeFile(box + "/202612061305_SUN_0101_00003.vmdat", boxMessage({.length = u"00:00:01"}));
    EXPECT_EQ(load(box).size(), 1u);
}

TEST_F(FolderLoader, ResponseNumbersMustAgree) {
    std::string outou = mkdir("outou");
    writeFile(outou + "/202612061305_SUN_A001_0000.vmdat", response(1, "001"));
    writeFile(outou + "/202612061305_SUN_A300_0000.vmdat", response(300, "300"));
    writeFile(outou + "/202612061305_SUN_A000_0000.vmdat", response(0, "000"));
    writeFile(outou + "/202612061305_SUN_A301_0000.vmdat", response(301, "301"));
    writeFile(outou + "/202612061305_SUN_A002_0000.vmdat", response(3, "002"));  // header disagrees
    writeFile(
        outou + "/202612061305_SUN_A004_0000.vmdat",
        boxMessage({.boxNumber = u"004", .length = u"00:00:01"}, {.messageNumber = 4, .boxNumber = "005"}));
    auto records = load(outou);
    ASSERT_EQ(records.size(), 2u);
    for (const auto& r : records) {
        EXPECT_TRUE(r.boxNumberText() == u"001" || r.boxNumberText() == u"300");
    }
}

TEST_F(FolderLoader, OutouElsewhereInThePathIsNoResponseFolder) {
    std::string box = mkdir("joutou/rusuroku/0101");
    writeFile(box + "/" + std::string(kName) + ".vmdat", boxMessage());
    EXPECT_EQ(load(box).size(), 1u);
}

class ManyFiles : public FolderLoader {
protected:
    ManyFiles() : FolderLoader(TempFolder::Storage::Memory) {}
};

TEST_F(ManyFiles, TruncatedFilesAreNeverListed) {
    std::string box = mkdir("rusuroku/0101");
    Bytes full = boxMessage({.length = u"00:00:01"}, {}, 0);
    char name[64];
    for (std::size_t n = 0; n <= full.size(); ++n) {
        std::snprintf(name, sizeof name, "/202612061305_SUN_0101_%05zu.vmdat", n);
        writeFile(box + name, Bytes(full.begin(), full.begin() + static_cast<long>(n)));
    }
    auto records = load(box);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].pathUtf8().ends_with("_01246.vmdat"));
}

TEST_F(FolderLoader, MissingFolderLoadsNothing) {
    EXPECT_TRUE(load(path("nowhere")).empty());
}

TEST_F(ManyFiles, StopsAtFiftyThousand) {
    std::string box = mkdir("rusuroku/big");
    Bytes bytes = boxMessage({.length = u"00:00:01"}, {}, 0);
    char name[64];
    for (int i = 0; i < 50001; ++i) {
        std::snprintf(name, sizeof name, "/2026120613%02d_SUN_0101_%05d.vmdat", i / 10000, i % 100000);
        writeFile(box + name, bytes);
    }
    EXPECT_EQ(load(box).size(), CFileMng::kMaxRecords);
}

// A list reads a folder's listing first and its files after: a file that went in between (a
// move or a delete by another run) leaves the rest of the box listed, and the count of the
// listing holds each message once, an info file whose voice file is listed not counted.
TEST_F(FolderLoader, ListedFolderKeepsWhatIsLeftWhenAFileGoes) {
    std::string box = mkdir("データ/rusuroku/0101");
    for (int n = 1; n <= 3; ++n) {
        writeFile(box + "/20261206130" + std::to_string(n) + "_SUN_0101_0000" + std::to_string(n) + ".vmdat",
                  boxMessage({.state = 2, .length = u"00:00:01"}));
    }
    writeFile(box + "/202612061301_SUN_0101_00001.vminf", boxMessage({.state = 0, .length = u"00:00:01"}));
    writeFile(box + "/202612061309_SUN_0101_00009.vminf", boxMessage({.state = 0, .length = u"00:00:01"}));
    const FolderListing listing = m_mng.listBoxFolder(box);
    EXPECT_EQ(listing.messages, 4u);
    ASSERT_EQ(std::remove((box + "/202612061302_SUN_0101_00002.vmdat").c_str()), 0);

    std::vector<std::string> names;
    EXPECT_EQ(m_mng.loadListedFolder(box, listing, 10,
                                     [&](const FILESTS_INFO& record, std::u16string_view name) {
                                         EXPECT_EQ(record.boxNumberText(), u"0101");
                                         EXPECT_TRUE(record.pathText().empty());
                                         names.push_back(text::utf8FromUtf16(name));
                                         return true;
                                     }),
              LoadResult::Loaded);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"202612061301_SUN_0101_00001.vmdat",
                                               "202612061303_SUN_0101_00003.vmdat",
                                               "202612061309_SUN_0101_00009.vminf"}));
    // The limit counts what was taken, not what was tried.
    names.clear();
    m_mng.loadListedFolder(box, listing, 2, [&](const FILESTS_INFO&, std::u16string_view name) {
        names.push_back(text::utf8FromUtf16(name));
        return true;
    });
    EXPECT_EQ(names.size(), 2u);
}
