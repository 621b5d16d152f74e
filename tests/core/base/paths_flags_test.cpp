#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/base/flags.h"
#include "core/base/paths.h"
#include "support/temp_folder.h"

using namespace voxmg;

TEST(Paths, JoinAndTrailingSeparator) {
    EXPECT_EQ(paths::join("/data", "box"), "/data/box");
    EXPECT_EQ(paths::join("/data/", "box"), "/data/box");
    EXPECT_EQ(paths::join("/data/", "/box"), "/data/box");
    EXPECT_EQ(paths::withTrailingSeparator("/data"), "/data/");
    EXPECT_EQ(paths::withTrailingSeparator("/data/"), "/data/");
    EXPECT_EQ(paths::withTrailingSeparator(""), "");
    EXPECT_EQ(paths::fileName("/a/b/c.vmdat"), "c.vmdat");
    EXPECT_EQ(paths::parentOf("/a/b/c.vmdat"), "/a/b");
}

TEST(Paths, NamesThatWouldLeaveTheirFolderAreUnsafe) {
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "../x", "x\x01", "tab\tname"}) {
        EXPECT_TRUE(paths::isUnsafeName(bad)) << bad;
    }
    for (const char* good : {"101", "営業部", "a..b", "box name", ".hidden"}) {
        EXPECT_FALSE(paths::isUnsafeName(good)) << good;
    }
}

TEST(Paths, ProbesAnswerForFoldersThatDoNotExistYet) {
    auto free = systemFreeSpace("/tmp/voxmg-does-not-exist/deeper");
    ASSERT_TRUE(free.has_value());
    EXPECT_GT(*free, 0u);
    EXPECT_FALSE(paths::isNetworkPath("/tmp/voxmg-does-not-exist"));
    EXPECT_TRUE(paths::endsWithSeparator(paths::programFolder()));
}

TEST(Paths, SettingsStayBesideAProgramThatMayWriteThereAndGoToTheConfigFolderOtherwise) {
    test::TempFolder temp;
    const std::string writable = temp.folder("build") + "/";
    const std::string readOnly = temp.folder("opt") + "/";
    ::chmod(readOnly.c_str(), 0555);
    const std::string missing = temp.file("gone") + "/";
    struct Case {
        std::string program;
        std::vector<std::string> installed;
        std::string xdg, home, expected;
    };
    const Case cases[] = {
        {writable, {"/usr/bin"}, "/cfg", "/home/u", writable},
        {temp.path(), {"/usr/bin"}, "", "/home/u", temp.path() + "/"},
        {writable, {"/usr/bin/", writable}, "/cfg", "/home/u", "/cfg/voxmg/"},
        {writable, {"/usr/bin/", writable}, "", "/home/u", "/home/u/.config/voxmg/"},
        {readOnly, {"/usr/bin"}, "/cfg/", "/home/u", "/cfg/voxmg/"},
        {readOnly, {"/usr/bin"}, "", "/home/u", "/home/u/.config/voxmg/"},
        {readOnly, {"/usr/bin"}, "relative/cfg", "/home/u", "/home/u/.config/voxmg/"},
        {readOnly, {"/usr/bin"}, "", "", readOnly},
        {missing, {"/usr/bin"}, "/cfg", "/home/u", "/cfg/voxmg/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(paths::settingsFolder({c.program, c.installed, c.xdg, c.home}), c.expected)
            << c.program << " installed " << c.installed.size() << " xdg " << c.xdg << " home " << c.home;
    }
    EXPECT_TRUE(paths::isWritableFolder(writable));
    EXPECT_FALSE(paths::isWritableFolder(readOnly));
    EXPECT_FALSE(paths::isWritableFolder(temp.file("build/VOXMG.ini")));
    ::chmod(readOnly.c_str(), 0755);
    // The tests run from the build tree, which the program may write to.
    EXPECT_EQ(paths::settingsFolder(), paths::programFolder());
}

TEST(WorkerGate, PauseWaitsForTheBoxInProgressAndHoldsOffTheNext) {
    WorkerGate gate(std::chrono::milliseconds(1));
    ASSERT_TRUE(gate.tryBeginWork());
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        finished = true;
        gate.endWork();
    });
    int pumps = 0;
    gate.requestPause([&] { ++pumps; });
    EXPECT_TRUE(finished.load());  // returned only after the worker finished its box
    EXPECT_GT(pumps, 0);           // and kept the interface alive meanwhile
    worker.join();
    EXPECT_FALSE(gate.tryBeginWork());  // no new box while the pause request stands
    gate.clearPause();
    EXPECT_TRUE(gate.tryBeginWork());
    gate.endWork();
}

TEST(WorkerGate, AnInnerPauseEndsOnlyItself) {
    Flags flags;
    flags.pauseWorker(1, {});  // a dialog pauses
    flags.pauseWorker(1, {});  // the download it starts pauses again
    flags.resumeWorker();      // ... and ends its own pause
    EXPECT_TRUE(flags.gate.pauseRequested());
    EXPECT_EQ(flags.suspendRequest.load(), 1);
    EXPECT_FALSE(flags.gate.tryBeginWork());
    flags.resumeWorker();
    EXPECT_FALSE(flags.gate.pauseRequested());
    EXPECT_EQ(flags.suspendRequest.load(), 0);
    flags.resumeWorker();  // one end too many does not go below nothing
    flags.pauseWorker(1, {});
    EXPECT_TRUE(flags.gate.pauseRequested());
}

TEST(WorkerGate, PauseOnAnIdleWorkerReturnsAtOnce) {
    Flags flags;
    int pumps = 0;
    flags.pauseWorker(1, [&] { ++pumps; });
    EXPECT_EQ(pumps, 0);
    EXPECT_EQ(flags.suspendRequest.load(), 1);
    EXPECT_TRUE(flags.gate.pauseRequested());
    flags.resumeWorker();
    EXPECT_EQ(flags.suspendRequest.load(), 0);
    EXPECT_FALSE(flags.gate.pauseRequested());
}
