#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "core/store/file_mng.h"
#include "store_fixtures.h"

using namespace voxmg;
using namespace voxmg::test;
namespace fs = std::filesystem;

namespace {

class BoxFolders : public TempFolderTest {
protected:
    std::atomic<int> m_cancel{0};
    CFileMng m_mng{m_cancel};

    std::vector<std::string> subfolders(const std::string& folder) {
        std::vector<std::string> out;
        m_mng.listSubfolders(folder, out);
        std::sort(out.begin(), out.end());
        return out;
    }
};

class Progress : public ProgressSink {
public:
    void setPosition(int position) override { positions.push_back(position); }
    std::vector<int> positions;
};

}  // namespace

TEST_F(BoxFolders, BoxInfoFileOnDisk) {
    std::string box = mkdir("b/rusuroku/0101");
    m_mng.writeBoxName(box, u" 営業 ");
    m_mng.writeBuildMark(box, u"2");
    m_mng.writeAutoDelete(box);
    EXPECT_EQ(readFile(box + "/inf.ini"), "[INF]\r\nNAME=\" \x89\x63\x8B\xC6 \"\r\nMAKE=2\r\nAutoDel=0\r\n");
    EXPECT_EQ(m_mng.readBoxName(box), u" 営業 ");
    EXPECT_TRUE(m_mng.isBeingBuilt(box));
    m_mng.writeBoxName(box, u"");
    EXPECT_EQ(readFile(box + "/inf.ini"), "[INF]\r\nNAME=\"\"\r\nMAKE=2\r\nAutoDel=0\r\n");
    EXPECT_EQ(m_mng.readBuildMark(path("b")), 0);  // no inf.ini
    EXPECT_EQ(m_mng.readBoxName(path("b")), u"");
}

TEST_F(BoxFolders, CountsEachMessageOnce) {
    std::string box = mkdir("b/naisen/201");
    for (const char* name : {"a.vmdat", "a.vminf", "b.vminf", "c.wav", "inf.ini"}) {
        writeFile(box + "/" + name, "");
    }
    mkdir("b/naisen/201/d.vmdat");
    EXPECT_EQ(m_mng.countMessages(box), 2);
}

TEST_F(BoxFolders, RecognisesBoxFolders) {
    mkdir("only/naisen");
    EXPECT_FALSE(m_mng.isBoxFolder(path("only")));
    EXPECT_EQ(m_mng.boxFolderContent(path("only")), FolderContent::Nothing);
    mkdir("full/naisen/201");
    mkdir("full/rusuroku/0101");
    EXPECT_TRUE(m_mng.isBoxFolder(path("full")));
    EXPECT_EQ(m_mng.boxFolderContent(path("full")), FolderContent::BoxesOnly);
    writeFile(path("full/rusuroku/0101/m.vminf"), "");
    EXPECT_EQ(m_mng.boxFolderContent(path("full")), FolderContent::Messages);
}

TEST_F(BoxFolders, FirstRecordPrefersInfoFiles) {
    std::string box = mkdir("b/rusuroku/0101");
    EXPECT_FALSE(m_mng.firstRecordOfFolder(box));
    writeFile(box + "/x.vmdat", boxMessage({.length = u"00:00:01", .title = u"voice"}));
    writeFile(box + "/y.vminf", boxMessage({.length = u"00:00:01", .title = u"info"}));
    auto r = m_mng.firstRecordOfFolder(box);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->titleText(), u"info");
    writeFile(box + "/y.vminf", Bytes(10, 0));
    EXPECT_FALSE(m_mng.firstRecordOfFolder(box));
}

TEST_F(BoxFolders, MakeFolderAndFileExists) {
    EXPECT_TRUE(m_mng.makeFolder(path("new")));
    EXPECT_FALSE(m_mng.makeFolder(path("new")));
    writeFile(path("new/f.vmdat"), "");
    EXPECT_FALSE(m_mng.makeFolder(path("new/f.vmdat")));
    EXPECT_TRUE(m_mng.fileExists(path("new/*.vmdat")));
    EXPECT_FALSE(m_mng.fileExists(path("new/*.vminf")));
    EXPECT_TRUE(m_mng.fileExists(path("new/*.*")));
    EXPECT_TRUE(m_mng.fileExists(path("new")));
    EXPECT_FALSE(m_mng.fileExists(path("gone")));
}

TEST_F(BoxFolders, BuildsFromListings) {
    Progress progress;
    BoxListings listings{"*0101.\r\n0102\r\nbroken", "201\r\n\r\n202\r\n", "rusuroku\r\nnaisen\r\n"};
    ASSERT_EQ(m_mng.buildBoxFolder(path("B"), listings, &progress, {}), BuildResult::Built);
    EXPECT_EQ(subfolders(path("B/rusuroku")),
              (std::vector<std::string>{path("B/rusuroku/0101"), path("B/rusuroku/0102")}));
    EXPECT_EQ(subfolders(path("B/naisen")),
              (std::vector<std::string>{path("B/naisen/201"), path("B/naisen/202")}));
    for (const char* box : {"B/rusuroku/0101", "B/naisen/202", "B/outou"}) {
        EXPECT_EQ(readFile(path(box) + "/inf.ini"), "[INF]\r\nNAME=\"\"\r\nMAKE=0\r\n") << box;
    }
    EXPECT_EQ(progress.positions, (std::vector<int>{40, 60, 100}));
}

TEST_F(BoxFolders, FailedListingCreatesNothing) {
    Progress progress;
    auto fetch = [] { return std::optional<BoxListings>(); };
    EXPECT_EQ(m_mng.buildBoxFolder(path("B"), fetch, &progress, {}), BuildResult::ListingFailed);
    EXPECT_FALSE(fs::exists(path("B")));
    EXPECT_EQ(progress.positions, std::vector<int>{20});
}

TEST_F(BoxFolders, RefusesNamesThatLeaveTheFolder) {
    BoxListings listings{"a/b\r\n\\x\r\nc\x01\r\n\x83\x5C\r\n", "",
                         ""};  // the last is a katakana whose trail byte is '\'
    ASSERT_EQ(m_mng.buildBoxFolder(path("B"), listings, nullptr, {}), BuildResult::Built);
    EXPECT_EQ(subfolders(path("B/rusuroku")), std::vector<std::string>{path("B/rusuroku/ソ")});
    EXPECT_FALSE(fs::exists(path("B/a")));
}

TEST_F(BoxFolders, CancelWhileBuildingExtensionBoxesRollsBack) {
    mkdir("B/rusuroku/0100");  // there before, not built by this run
    m_mng.writeBuildMark(path("B/rusuroku/0100"), u"0");
    BoxListings listings{"0101\r\n0102\r\n", "201\r\n202\r\n203\r\n", ""};
    int calls = 0;
    auto pump = [&] {
        if (++calls == 4) {
            m_cancel = 1;  // the Cancel button, seen while the second extension box is made
        }
    };
    EXPECT_EQ(m_mng.buildBoxFolder(path("B"), listings, nullptr, pump), BuildResult::Cancelled);
    EXPECT_EQ(subfolders(path("B/rusuroku")), std::vector<std::string>{path("B/rusuroku/0100")});
    EXPECT_FALSE(fs::exists(path("B/naisen")));
    EXPECT_FALSE(fs::exists(path("B/outou")));
}

TEST_F(BoxFolders, CancelAfterTheLastBoxKeepsAnOutouThatWasThere) {
    mkdir("B/outou");
    writeFile(path("B/outou/202612061305_SUN_A001_0000.vmdat"), boxMessage());
    BoxListings listings{"0101\r\n", "201\r\n", ""};
    auto pump = [&] { m_cancel = 1; };
    m_cancel = 0;
    EXPECT_EQ(m_mng.buildBoxFolder(path("B"), listings, nullptr, pump), BuildResult::Cancelled);
    EXPECT_TRUE(fs::exists(path("B/outou/202612061305_SUN_A001_0000.vmdat")));
    EXPECT_FALSE(fs::exists(path("B/rusuroku")));
}
