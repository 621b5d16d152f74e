#include "core/audio/wav_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace voxmg::audio {
namespace {

using test::TempFolder;
using test::writeFile;
namespace fs = std::filesystem;

bool exists(const std::string& path) {
    return fs::symlink_status(path).type() != fs::file_type::not_found;
}

// What lies in box rusuroku/101 and whether the clean-up of that box takes it away.
struct EntryCase {
    const char* name;
    enum Kind { File, LinkOutside, Folder } kind;
    bool removed;
};

class WavCleanEntryTest : public ::testing::TestWithParam<EntryCase> {
protected:
    TempFolder dir;
};

TEST_P(WavCleanEntryTest, OnlyWavAndWmaFilesOfTheBoxGo) {
    const auto& c = GetParam();
    const std::string boxFolder = dir.folder("office");
    const std::string box = dir.folder("office/rusuroku/101");
    const std::string outside = dir.file("outside/keep.wav");
    writeFile(outside, "music");
    const std::string entry = box + "/" + c.name;
    switch (c.kind) {
        case EntryCase::File:
            writeFile(entry, "data");
            break;
        case EntryCase::LinkOutside:
            fs::create_symlink(outside, entry);
            break;
        case EntryCase::Folder:
            writeFile(entry + "/inner.wav", "data");
            break;
    }

    const auto result = deleteBoxWavFiles(boxFolder, {{"rusuroku", "101"}}, nullptr);

    EXPECT_EQ(exists(entry), !c.removed);
    EXPECT_EQ(result.deleted, c.removed ? 1 : 0);
    EXPECT_TRUE(result.complete());
    EXPECT_EQ(test::readFile(outside), "music");
    if (c.kind == EntryCase::Folder) {
        EXPECT_TRUE(exists(entry + "/inner.wav"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, WavCleanEntryTest,
    ::testing::Values(
        EntryCase{"202401011200_MON_0101_00001.wav", EntryCase::File, true},
        EntryCase{"202401011200_MON_0101_00001.WAV", EntryCase::File, true},
        EntryCase{"greeting.wma", EntryCase::File, true}, EntryCase{"GREETING.WMA", EntryCase::File, true},
        EntryCase{"202401011200_MON_0101_00001.vmdat", EntryCase::File, false},
        EntryCase{"202401011200_MON_0101_00001.vminf", EntryCase::File, false},
        EntryCase{"inf.ini", EntryCase::File, false}, EntryCase{"notes.wav.txt", EntryCase::File, false},
        EntryCase{".wav", EntryCase::File, false}, EntryCase{"x.wav", EntryCase::LinkOutside, true},
        EntryCase{"sub.wav", EntryCase::Folder, false}));

class WavFilesTest : public ::testing::Test {
protected:
    TempFolder dir;
    std::string boxFolder = dir.folder("office");
    void file(const std::string& relative) { writeFile(dir.file("office/" + relative), "x"); }
};

TEST_F(WavFilesTest, ListsOnlyBoxesHoldingWavOrWmaFiles) {
    file("rusuroku/102/a.WAV");
    file("rusuroku/101/b.wma");
    file("rusuroku/103/c.vmdat");  // voice only: not listed
    dir.folder("rusuroku/104");
    file("rusuroku/105/sub/d.wav");  // only deeper down: not listed
    file("naisen/200/e.wav");
    file("outside/f.wav");
    fs::create_symlink(dir.file("outside"), dir.file("office/naisen/201"));  // a link is no box

    EXPECT_EQ(boxesWithWavFiles(boxFolder, "rusuroku"), (std::vector<std::string>{"101", "102"}));
    EXPECT_EQ(boxesWithWavFiles(boxFolder, "naisen"), (std::vector<std::string>{"200"}));
    EXPECT_TRUE(boxesWithWavFiles(dir.file("missing"), "naisen").empty());
    EXPECT_FALSE(folderHasWavFiles(boxFolder + "/outou"));
    file("outou/A001.WAV");
    EXPECT_TRUE(folderHasWavFiles(boxFolder + "/outou"));
}

TEST_F(WavFilesTest, DeletesOnlyTheChosenBoxesWithProgressPerKind) {
    file("rusuroku/101/a.wav");
    file("rusuroku/102/b.wav");
    file("naisen/200/c.wav");
    file("outou/d.wav");
    struct Positions : ProgressSink {
        void setPosition(int p) override { seen.push_back(p); }
        std::vector<int> seen;
    } progress;

    const auto result = deleteBoxWavFiles(boxFolder, {{"naisen", "200"}, {"rusuroku", "101"}}, &progress);

    EXPECT_EQ(result.deleted, 2);
    ASSERT_EQ(result.entries.size(), 2U);
    EXPECT_EQ(result.entries[0].path, boxFolder + "/rusuroku/101/a.wav");  // answering-machine boxes first
    EXPECT_EQ(result.entries[1].path, boxFolder + "/naisen/200/c.wav");
    EXPECT_TRUE(exists(dir.file("office/rusuroku/102/b.wav")));
    EXPECT_TRUE(exists(dir.file("office/outou/d.wav")));
    EXPECT_EQ(progress.seen, (std::vector<int>{1, 2}));
}

TEST_F(WavFilesTest, ResponseFolderCleanUpLeavesTheBoxes) {
    file("outou/201001011200_MON_A001_0000.WAV");
    file("outou/201001011200_MON_A001_0000.vmdat");
    file("rusuroku/101/a.wav");

    const auto result = deleteResponseWavFiles(boxFolder, nullptr);

    EXPECT_EQ(result.deleted, 1);
    EXPECT_TRUE(exists(dir.file("office/outou/201001011200_MON_A001_0000.vmdat")));
    EXPECT_TRUE(exists(dir.file("office/rusuroku/101/a.wav")));
}

TEST_F(WavFilesTest, RefusesBoxesThatLeadOutOfTheBoxFolder) {
    file("outside/keep.wav");
    file("rusuroku/101/a.wav");
    dir.folder("office/naisen");
    fs::create_symlink(dir.file("office/outside"), dir.file("office/naisen/201"));

    const auto result = deleteBoxWavFiles(
        boxFolder, {{"naisen", "201"}, {"rusuroku", "../outside"}, {"outou", "x"}, {"rusuroku", "101"}},
        nullptr);

    EXPECT_TRUE(exists(dir.file("office/outside/keep.wav")));
    EXPECT_EQ(result.failed, 3);
    EXPECT_EQ(result.deleted, 1);
    EXPECT_FALSE(result.complete());
}

TEST_F(WavFilesTest, AMissingFolderHasNothingToDelete) {
    const auto boxes = deleteBoxWavFiles(boxFolder, {{"rusuroku", "101"}}, nullptr);
    const auto response = deleteResponseWavFiles(boxFolder, nullptr);
    EXPECT_TRUE(boxes.complete());
    EXPECT_TRUE(response.complete());
    EXPECT_EQ(boxes.deleted + response.deleted, 0);
}

}  // namespace
}  // namespace voxmg::audio
