#include "core/store/folder_ops.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "store_fixtures.h"

namespace voxmg::folders {
namespace {

namespace fs = std::filesystem;

using test::readFile;
using test::writeFile;

class FolderOpsTest : public test::TempFolderTest {};

TEST_F(FolderOpsTest, MoveTakesTheWholeTree) {
    mkdir("a/rusuroku/0001");
    writeFile(path("a/rusuroku/0001/m.vmdat"), "voice");

    ASSERT_TRUE(moveFolder(path("a"), path("b")));

    EXPECT_FALSE(fs::exists(path("a")));
    EXPECT_EQ(readFile(path("b/rusuroku/0001/m.vmdat")), "voice");
}

TEST_F(FolderOpsTest, MoveRefusesWhatWouldOverwriteOrIsMissing) {
    mkdir("a");
    writeFile(path("a/x"), "a");
    mkdir("b");
    writeFile(path("b/x"), "b");
    writeFile(path("file"), "f");

    EXPECT_FALSE(moveFolder(path("a"), path("b")));
    EXPECT_FALSE(moveFolder(path("a"), path("file")));
    EXPECT_FALSE(moveFolder(path("a"), path("a")));
    EXPECT_FALSE(moveFolder(path("a"), path("./a")));
    EXPECT_FALSE(moveFolder(path("none"), path("c")));
    EXPECT_FALSE(moveFolder(path("file"), path("c")));
    EXPECT_EQ(readFile(path("a/x")), "a");
    EXPECT_EQ(readFile(path("b/x")), "b");
    EXPECT_EQ(readFile(path("file")), "f");
}

TEST_F(FolderOpsTest, MoveAcrossFileSystemsCopiesThenRemoves) {
    struct stat here {
    }, shm{};
    if (::stat(m_folder.path().c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        here.st_dev == shm.st_dev || ::access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no second file system to move to";
    }
    test::TempFolder memory(test::TempFolder::Storage::Memory);
    std::string other = memory.file("moved");
    mkdir("a/sub");
    writeFile(path("a/sub/m"), "voice");

    ASSERT_TRUE(moveFolder(path("a"), other));

    EXPECT_EQ(readFile(other + "/sub/m"), "voice");
    EXPECT_FALSE(fs::exists(path("a")));
    ASSERT_TRUE(moveFolder(other, path("a")));
    EXPECT_EQ(readFile(path("a/sub/m")), "voice");
}

struct RenameCase {
    const char16_t* name;
    RenameResult result;
};

class RenameTest : public FolderOpsTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(RenameTest, RefusedNamesLeaveEverythingInPlace) {
    mkdir("root/old");
    writeFile(path("root/old/m"), "voice");
    mkdir("root/taken");

    EXPECT_EQ(renameFolder(path("root/old"), GetParam().name), GetParam().result);

    EXPECT_EQ(readFile(path("root/old/m")), "voice");
    EXPECT_TRUE(fs::is_empty(path("root/taken")));
    EXPECT_EQ(std::distance(fs::directory_iterator(path("root")), fs::directory_iterator()), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder.path()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Names, RenameTest,
                         ::testing::Values(RenameCase{u"taken", RenameResult::Duplicate},
                                           RenameCase{u"", RenameResult::InputError},
                                           RenameCase{u"..", RenameResult::InputError},
                                           RenameCase{u"../escaped", RenameResult::InputError},
                                           RenameCase{u"a/b", RenameResult::InputError},
                                           RenameCase{u"a\\b", RenameResult::InputError},
                                           RenameCase{u"old", RenameResult::Duplicate}));

TEST_F(FolderOpsTest, RenameMovesWithinTheParent) {
    mkdir("root/old");
    writeFile(path("root/old/m"), "voice");

    EXPECT_EQ(renameFolder(path("root/old"), u"新しい 名前"), RenameResult::Done);

    EXPECT_EQ(readFile(path("root/新しい 名前/m")), "voice");
    EXPECT_FALSE(fs::exists(path("root/old")));
}

class CountingSink : public ProgressSink {
public:
    void setRange(int range) override { m_range = range; }
    void setPosition(int position) override { m_position = position; }
    int m_range = -1;
    int m_position = -1;
};

TEST_F(FolderOpsTest, CompleteDeleteTakesReadOnlyFilesAndFolders) {
    mkdir("victim/sub");
    writeFile(path("victim/ro.vmdat"), "x");
    writeFile(path("victim/sub/ro.wav"), "y");
    ::chmod(path("victim/ro.vmdat").c_str(), 0444);
    ::chmod(path("victim/sub/ro.wav").c_str(), 0444);
    ::chmod(path("victim/sub").c_str(), 0555);
    CountingSink sink;
    int pumped = 0;

    EXPECT_TRUE(deleteFolderCompletely(path("victim"), &sink, [&] { ++pumped; }));

    EXPECT_FALSE(fs::exists(path("victim")));
    EXPECT_EQ(sink.m_range, 3);
    EXPECT_EQ(sink.m_position, 3);
    EXPECT_EQ(pumped, 3);
}

TEST_F(FolderOpsTest, CompleteDeleteNeverFollowsALink) {
    mkdir("victim");
    mkdir("elsewhere");
    writeFile(path("elsewhere/keep"), "k");
    fs::create_directory_symlink(path("elsewhere"), path("victim/link"));

    EXPECT_TRUE(deleteFolderCompletely(path("victim"), nullptr, {}));

    EXPECT_EQ(readFile(path("elsewhere/keep")), "k");
}

TEST_F(FolderOpsTest, HasSubfolderSeesOnlyFolders) {
    mkdir("plain");
    writeFile(path("plain/file"), "f");
    mkdir("box/naisen");
    EXPECT_FALSE(hasSubfolder(path("plain")));
    EXPECT_TRUE(hasSubfolder(path("box")));
}

TEST_F(FolderOpsTest, RowsOfBothDialogsCarryTheirMarks) {
    mkdir("root/plain");
    mkdir("root/empty/rusuroku/0001");
    mkdir("root/empty/naisen");
    mkdir("root/full/naisen/0100");
    writeFile(path("root/full/naisen/0100/202401011200_001_0100_00001.vmdat"), "m");
    std::string root = path("root") + "/";

    auto marks = [](const std::vector<FolderRow>& rows) {
        std::map<std::string, char> out;
        for (const auto& r : rows) {
            out[r.name] = r.mark;
        }
        return out;
    };
    auto download = folderRows(root, RowKind::Download);
    EXPECT_EQ(marks(download), (std::map<std::string, char>{{"plain", ' '}, {"empty", '*'}, {"full", '*'}}));
    auto change = folderRows(root, RowKind::Change);
    EXPECT_EQ(marks(change), (std::map<std::string, char>{{"empty", '*'}, {"full", ' '}}));
    for (const auto& row : download) {
        EXPECT_EQ(row.path, root + row.name);
        EXPECT_EQ(pathFromColumn(pathColumn(row)), row.path);
    }
}

TEST(FolderButtons, FollowSelectionLoginAndSubfolders) {
    struct Case {
        bool selected, loggedIn, subfolder;
        bool download, rename, deleteAll;
    };
    for (Case c : {Case{false, true, false, false, false, false}, Case{true, false, false, false, true, true},
                   Case{true, true, false, true, true, true}, Case{true, true, true, true, true, false}}) {
        DownloadButtons b = downloadButtons(c.selected, c.loggedIn, c.subfolder);
        EXPECT_EQ(b.download, c.download);
        EXPECT_EQ(b.rename, c.rename);
        EXPECT_EQ(b.deleteAll, c.deleteAll);
        EXPECT_EQ(b.recycle, c.deleteAll);
    }
}

TEST_F(FolderOpsTest, ChooserStartsAtTheFirstFolderThatExists) {
    std::string program = mkdir("prog") + "/";
    EXPECT_EQ(addFolderStart("", "", program, "/docs"), "/docs");
    mkdir("prog/save");
    EXPECT_EQ(addFolderStart(path("data") + "/", "box", program, "/docs"), program + "save");
    mkdir("prog/save/VMU");
    EXPECT_EQ(addFolderStart(path("data") + "/", "box", program, "/docs"), program + "save/VMU");
    mkdir("data/box");
    EXPECT_EQ(addFolderStart(path("data") + "/", "box", program, "/docs"), path("data") + "/box");
    EXPECT_EQ(addFolderStart(path("data") + "/", "", program, "/docs"), path("data") + "/");
}

TEST(ChosenFolder, ParentBecomesTheDataRoot) {
    auto c = splitChosenFolder("/home/office/voice/box1/");
    EXPECT_EQ(c.dataRoot, "/home/office/voice/");
    EXPECT_EQ(c.boxFolderName, "box1");
    c = splitChosenFolder("/box");
    EXPECT_EQ(c.dataRoot, "/");
    EXPECT_EQ(c.boxFolderName, "box");
}

}  // namespace
}  // namespace voxmg::folders
