#include "core/store/recycle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "store_fixtures.h"

namespace voxmg {
namespace {

namespace fs = std::filesystem;

using test::readFile;
using test::writeFile;

class RecycleTest : public test::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_program = mkdir("prog");
        m_data = mkdir("data");
    }

    // A recycle list whose random numbers are 1, 2, 3, ... in turn.
    RecycleList list() {
        return RecycleList(m_program, [this] { return ++m_next; });
    }

    std::string boxFolder(const std::string& name) {
        std::string folder = mkdir("data/" + name);
        writeFile(folder + "/note.txt", name);
        return folder;
    }

    std::u16string key(int section, std::u16string_view name) const {
        return profile::readString(m_program + "/tmp/info.ini",
                                   u"FOLDER" + text::utf16FromUtf8(std::to_string(section)), name, u"");
    }
    int countKey() const { return profile::readInt(m_program + "/tmp/info.ini", u"COUNT", u"COUNT", -1); }

    std::string m_program;
    std::string m_data;
    unsigned m_next = 0;
};

TEST_F(RecycleTest, NoListMeansNothingToRestore) {
    EXPECT_EQ(list().count(), 0);
    EXPECT_TRUE(list().entries().empty());
}

TEST_F(RecycleTest, RestoringTheSecondOfThreeCloseTheGap) {
    RecycleList recycle = list();
    for (const char* name : {"A", "B", "C"}) {
        ASSERT_TRUE(recycle.recycle(boxFolder(name)));
    }
    ASSERT_EQ(countKey(), 3);
    auto entries = recycle.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].name, "B");

    EXPECT_EQ(recycle.restore({entries[1]}), 1);

    EXPECT_EQ(readFile(m_data + "/B/note.txt"), "B");
    EXPECT_EQ(countKey(), 2);
    EXPECT_EQ(text::utf8FromUtf16(key(1, u"OrgPath")), m_data + "/A");
    EXPECT_EQ(text::utf8FromUtf16(key(2, u"OrgPath")), m_data + "/C");
    EXPECT_EQ(key(2, u"DstPath"), u"./tmp/C_00003");
    EXPECT_EQ(key(3, u"OrgPath"), u"");
    // The former third entry is restorable under its new number.
    auto left = recycle.entries();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(recycle.restore({left[1]}), 1);
    EXPECT_EQ(readFile(m_data + "/C/note.txt"), "C");
    EXPECT_EQ(recycle.count(), 1);
}

TEST_F(RecycleTest, NameWithSpacesGetsFiveHexDigitsAndComesBack) {
    m_next = 0x2a - 1;
    RecycleList recycle = list();
    std::string folder = boxFolder("my box folder");

    ASSERT_TRUE(recycle.recycle(folder));

    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(readFile(m_program + "/tmp/my box folder_0002a/note.txt"), "my box folder");
    EXPECT_EQ(key(1, u"DstPath"), u"./tmp/my box folder_0002a");
    EXPECT_EQ(text::utf8FromUtf16(key(1, u"OrgPath")), folder);

    auto entries = recycle.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(recycle.restore(entries), 1);
    EXPECT_EQ(readFile(folder + "/note.txt"), "my box folder");
    EXPECT_FALSE(fs::exists(m_program + "/tmp/my box folder_0002a"));
    EXPECT_EQ(recycle.count(), 0);
}

TEST_F(RecycleTest, FirstRecycleMakesTheAreaWithItsList) {
    ASSERT_TRUE(list().recycle(boxFolder("A")));
    // Hand-checked bytes: the section COUNT first, then the entry.
    std::string bytes = readFile(m_program + "/tmp/info.ini");
    EXPECT_NE(bytes.find("[COUNT]\r\nCOUNT=1\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("[FOLDER1]\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("DstPath=./tmp/A_00001\r\n"), std::string::npos) << bytes;
}

TEST_F(RecycleTest, RecycleNeverWritesOverAFolderInTheArea) {
    fs::create_directories(m_program + "/tmp/A_00001");
    writeFile(m_program + "/tmp/A_00001/keep.txt", "older");

    ASSERT_TRUE(list().recycle(boxFolder("A")));

    EXPECT_EQ(readFile(m_program + "/tmp/A_00001/keep.txt"), "older");
    EXPECT_EQ(readFile(m_program + "/tmp/A_00002/note.txt"), "A");
    EXPECT_EQ(key(1, u"DstPath"), u"./tmp/A_00002");
}

TEST_F(RecycleTest, RestoreOntoAnExistingFolderKeepsBothAndTheEntry) {
    RecycleList recycle = list();
    ASSERT_TRUE(recycle.recycle(boxFolder("A")));
    std::string again = boxFolder("A");  // the user made a new folder of the same name
    writeFile(again + "/note.txt", "new");

    EXPECT_EQ(recycle.restore(recycle.entries()), 0);

    EXPECT_EQ(readFile(again + "/note.txt"), "new");
    EXPECT_EQ(readFile(m_program + "/tmp/A_00001/note.txt"), "A");
    EXPECT_EQ(recycle.count(), 1);
    EXPECT_EQ(key(1, u"DstPath"), u"./tmp/A_00001");
}

TEST_F(RecycleTest, MissingFolderIsNotListed) {
    RecycleList recycle = list();
    EXPECT_FALSE(recycle.recycle(m_data + "/nothing"));
    EXPECT_EQ(recycle.count(), 0);
}

TEST_F(RecycleTest, FolderTheListCannotSpellStaysWhereItIs) {
    // The list is CP932; this name would come back as "?".
    std::string folder = boxFolder("box\xF0\x9F\x93\x9E");
    EXPECT_FALSE(list().recycle(folder));
    EXPECT_EQ(readFile(folder + "/note.txt"), "box\xF0\x9F\x93\x9E");
}

TEST_F(RecycleTest, DstPathOutsideTheAreaIsNeverMoved) {
    fs::create_directories(m_program + "/tmp");
    std::string outside = boxFolder("outside");
    writeFile(m_program + "/tmp/info.ini",
              "[COUNT]\r\nCOUNT=2\r\n"
              "[FOLDER1]\r\nOrgPath=" +
                  m_data + "/back1\r\nDstPath=./tmp/../../data/outside\r\n" +
                  "[FOLDER2]\r\nOrgPath=" + m_data + "/back2\r\nDstPath=" + outside + "\r\n");
    RecycleList recycle = list();

    EXPECT_EQ(recycle.restore(recycle.entries()), 0);

    EXPECT_TRUE(fs::exists(outside + "/note.txt"));
    EXPECT_FALSE(fs::exists(m_data + "/back1"));
    EXPECT_FALSE(fs::exists(m_data + "/back2"));
    EXPECT_EQ(recycle.count(), 2);
}

TEST(RecycleRenumber, KeepsCompleteSectionsInOrderWithoutGaps) {
    ProfileFile file = ProfileFile::fromBytes(
        "[COUNT]\r\nCOUNT=4\r\n"
        "[FOLDER1]\r\nOrgPath=C:\\a\r\nDstPath=./tmp/a_00001\r\n"
        "[FOLDER2]\r\nOrgPath=C:\\b\r\n"
        "[FOLDER4]\r\nOrgPath=C:\\d\r\nDstPath=./tmp/d_00004\r\n"
        "[FOLDER7]\r\nOrgPath=C:\\g\r\nDstPath=./tmp/g_00007\r\n");

    EXPECT_EQ(RecycleList::renumber(file), 3);

    EXPECT_EQ(file.readString(u"FOLDER1", u"OrgPath", u""), u"C:\\a");
    EXPECT_EQ(file.readString(u"FOLDER2", u"OrgPath", u""), u"C:\\d");
    EXPECT_EQ(file.readString(u"FOLDER2", u"DstPath", u""), u"./tmp/d_00004");
    EXPECT_EQ(file.readString(u"FOLDER3", u"OrgPath", u""), u"C:\\g");
    EXPECT_FALSE(file.hasKey(u"FOLDER4", u"OrgPath"));
    EXPECT_FALSE(file.hasKey(u"FOLDER7", u"OrgPath"));
    EXPECT_EQ(file.readInt(u"COUNT", u"COUNT", 0), 3);
}

TEST_F(RecycleTest, AppendingAfterAStaleCountKeepsTheExistingEntry) {
    fs::create_directories(m_program + "/tmp/old_00009");
    writeFile(m_program + "/tmp/info.ini",
              "[COUNT]\r\nCOUNT=0\r\n[FOLDER1]\r\nOrgPath=" + m_data + "/old\r\nDstPath=./tmp/old_00009\r\n");

    ASSERT_TRUE(list().recycle(boxFolder("A")));

    EXPECT_EQ(countKey(), 2);
    EXPECT_EQ(key(1, u"DstPath"), u"./tmp/old_00009");
    EXPECT_EQ(key(2, u"DstPath"), u"./tmp/A_00001");
}

}  // namespace
}  // namespace voxmg
