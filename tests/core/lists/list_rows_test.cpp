#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "core/lists/list_rows.h"
#include "core/store/file_mng.h"
#include "support/message_files.h"

using namespace voxmg;
using namespace voxmg::test;

namespace {

class ListRowsTest : public ::testing::Test {
protected:
    int buildBoxes(const std::u16string& title) {
        return m_rows.buildBoxList(m_folder, list_boxes::parse(title), {});
    }
    std::vector<std::u16string> shownPaths() const {
        std::vector<std::u16string> out;
        for (int i : m_rows.shown()) {
            out.push_back(m_rows.record(i).pathText());
        }
        return out;
    }

    std::atomic<int> m_cancel{0};
    ListRows m_rows{m_cancel};
    voxmg::test::TempFolder m_root;
    std::string m_folder = m_root.file("本社");
};

}  // namespace

TEST_F(ListRowsTest, EmptyOrMissingBoxesGiveNoRows) {
    std::filesystem::create_directories(m_folder + "/rusuroku/0101");
    EXPECT_EQ(buildBoxes(u"留守録BOX：0101,0999"), 0);
    EXPECT_TRUE(m_rows.shown().empty());
    EXPECT_EQ(m_rows.boxTotal(), 0);
    EXPECT_EQ(m_rows.listTotal(), 0);
    EXPECT_FALSE(m_rows.hasInfoOnly());
}

TEST_F(ListRowsTest, ReadsBoxesInTitleOrderAndCountsStates) {
    writeBoxMessage(m_folder, "rusuroku", "0101", 1, {.state = 2});
    writeBoxMessage(m_folder, "rusuroku", "0101", 2, {.state = 1});
    writeBoxMessage(m_folder, "naisen", "0201", 1, {}, 0, false);
    writeBoxMessage(m_folder, "naisen", "0202", 1, {.state = 3});  // not in the title
    EXPECT_EQ(buildBoxes(u"留守録BOX：0101  内線BOX：0201"), 3);
    EXPECT_EQ(m_rows.boxTotal(), 3);
    EXPECT_EQ(m_rows.listTotal(), 3);
    EXPECT_EQ(m_rows.unplayed(), 1);
    EXPECT_EQ(m_rows.played(), 1);
    EXPECT_TRUE(m_rows.hasInfoOnly());
    // Arrays sized to what was read.
    EXPECT_EQ(m_rows.recordCount(), 3);
    EXPECT_NE(m_rows.record(2).pathText().find(u"/naisen/0201/"), std::u16string::npos);
}

TEST_F(ListRowsTest, NotDownloadedOnlyThenAllAgain) {
    writeBoxMessage(m_folder, "rusuroku", "0101", 1, {.state = 2});
    writeBoxMessage(m_folder, "rusuroku", "0101", 2, {}, 0, false);
    writeBoxMessage(m_folder, "rusuroku", "0101", 3, {}, 0, false);
    buildBoxes(u"留守録BOX：0101");
    m_rows.showNotDownloaded();
    EXPECT_EQ(m_rows.listTotal(), 2);
    EXPECT_EQ(m_rows.boxTotal(), 3);
    for (const auto& path : shownPaths()) {
        EXPECT_TRUE(path.ends_with(u".vminf"));
    }
    m_rows.showAll();
    EXPECT_EQ(m_rows.listTotal(), 3);
}

TEST_F(ListRowsTest, ResponseListAlwaysHas300Slots) {
    writeResponse(m_folder, 1, {.callerName = u"営業時間外"});
    writeResponse(m_folder, 150);
    EXPECT_EQ(m_rows.buildResponseList(m_folder, {}), 2);
    ASSERT_EQ(m_rows.shown().size(), 300u);
    EXPECT_EQ(m_rows.listTotal(), 2);
    EXPECT_FALSE(m_rows.hasInfoOnly());
    for (int i = 0; i < 300; ++i) {
        char digits[12];
        std::snprintf(digits, sizeof digits, "%03d", i + 1);
        EXPECT_EQ(m_rows.record(i).boxNumberText().substr(0, 3), std::u16string(digits, digits + 3));
        const bool used = i == 0 || i == 149;
        EXPECT_EQ(m_rows.emptySlot(i), !used) << i;
        if (!used) {
            EXPECT_EQ(m_rows.record(i).lengthText(), u"--:--:--");
        } else {
            // Response messages on the PC count as played.
            EXPECT_EQ(m_rows.record(i).state, 1);
        }
    }
    EXPECT_EQ(m_rows.record(0).callerNameText(), u"営業時間外");
}

TEST_F(ListRowsTest, FlagIsWrittenToTheFileAtOnce) {
    const std::string path = writeBoxMessage(m_folder, "rusuroku", "0101", 1, {.flags = 0x80});
    buildBoxes(u"留守録BOX：0101");
    // Edited through another window after this list was read: that edit must stay.
    auto bytes = readBytes(path);
    putUtf16(bytes, 226, u"新しい件名");
    writeFile(path, bytes);

    ASSERT_TRUE(m_rows.setFlag(0, true));
    EXPECT_EQ(readBytes(path).at(0), 0x81);
    EXPECT_EQ(m_rows.record(0).flags & FILESTS_INFO::kUserFlag, 1);
    FILESTS_INFO onDisk;
    CFileMng(m_cancel).readRecord(path, onDisk);
    EXPECT_EQ(onDisk.titleText(), u"新しい件名");

    buildBoxes(u"留守録BOX：0101");
    EXPECT_EQ(m_rows.record(0).flags & FILESTS_INFO::kUserFlag, 1);
    // Clearing keeps only the selection mark.
    ASSERT_TRUE(m_rows.setFlag(0, false));
    EXPECT_EQ(readBytes(path).at(0), 0x80);
}

TEST_F(ListRowsTest, FlagOfAVanishedFileIsNotShownAsSet) {
    const std::string path = writeBoxMessage(m_folder, "rusuroku", "0101", 1);
    buildBoxes(u"留守録BOX：0101");
    std::filesystem::remove(path);
    EXPECT_FALSE(m_rows.setFlag(0, true));
    EXPECT_EQ(m_rows.record(0).flags, 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ListRowsTest, CommandStateOfBoxListSelections) {
    writeBoxMessage(m_folder, "rusuroku", "0101", 1);
    writeBoxMessage(m_folder, "rusuroku", "0101", 2, {}, 0, false);
    buildBoxes(u"留守録BOX：0101");
    const int voice = m_rows.record(0).pathText().ends_with(u".vmdat") ? 0 : 1;
    const int info = 1 - voice;

    EXPECT_EQ(m_rows.commandState({}), ListCommandState{});
    EXPECT_EQ(m_rows.commandState({voice}),
              (ListCommandState{.convert = true, .play = true, .moveCopy = true, .remove = true}));
    EXPECT_EQ(m_rows.commandState({info}), (ListCommandState{.remove = true}));
    EXPECT_EQ(m_rows.commandState({voice, info}),
              (ListCommandState{.convert = true, .moveCopy = true, .remove = true}));
}

TEST_F(ListRowsTest, CommandStateOfResponseSlots) {
    writeResponse(m_folder, 1);
    m_rows.buildResponseList(m_folder, {});
    EXPECT_EQ(m_rows.commandState({0}),
              (ListCommandState{.convert = true, .play = true, .add = true, .remove = true, .upload = true}));
    // An empty slot can take an import, nothing else.
    EXPECT_EQ(m_rows.commandState({5}), (ListCommandState{.add = true}));
    EXPECT_EQ(m_rows.commandState({5, 6}), ListCommandState{});
    EXPECT_EQ(m_rows.commandState({0, 6}),
              (ListCommandState{.convert = true, .remove = true, .upload = true}));
}

TEST_F(ListRowsTest, FolderTotalCountsEveryBoxOfEveryKind) {
    writeBoxMessage(m_folder, "rusuroku", "0101", 1);
    writeBoxMessage(m_folder, "rusuroku", "0102", 1, {}, 0, false);
    writeBoxMessage(m_folder, "naisen", "0201", 1);
    writeBoxMessage(m_folder, "naisen", "0201", 2);
    EXPECT_EQ(countFolderMessages(m_folder), 4);
}
