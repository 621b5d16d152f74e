#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/automation/always_download.h"
#include "core/device/download_fixture.h"
#include "core/lists/list_boxes.h"
#include "support/lock_holder.h"

namespace voxmg::test {
namespace {

using namespace std::chrono_literals;

// The frame as the worker sees it; records what the worker asks for.
class FakeHost : public always::WorkerHost {
public:
    bool loggedIn() const override { return logged; }
    bool enabled() const override { return on; }
    std::string boxFolder() const override { return folder; }
    std::vector<std::u16string> listTitles() const override {
        std::lock_guard lock(m);
        return titles;
    }
    always::WorkerConnection connection() override {
        if (onConnection) {
            onConnection();
        }
        return {ftp, generation};
    }
    void refreshList(const std::string& box) override {
        std::lock_guard lock(m);
        refreshes.push_back(box);
    }
    std::optional<DownloadSettings> downloadSettings() const override { return settings; }
    // Called by the client on the worker's thread for each message it stored.
    void stored() {
        std::lock_guard lock(m);
        ++storedCount;
        storedOne.notify_all();
    }
    // Until the worker has stored a message (a minute at most, should it never come).
    bool waitForStored() {
        std::unique_lock lock(m);
        return storedOne.wait_for(lock, std::chrono::minutes(1), [this] { return storedCount > 0; });
    }
    void showMessage(const UserMessage& message) override {
        std::lock_guard lock(m);
        messages.push_back(message.text);
    }
    void switchOff() override { on = false; }
    void autoDeleteRefused() override { ++refusals; }
    void connectionLost(std::uint64_t seen, const UserMessage& message) override {
        logged = false;
        ++lost;
        lostGeneration = seen;
        showMessage(message);
    }

    std::atomic<bool> logged{true};
    std::atomic<bool> on{true};
    std::string folder;
    std::vector<std::u16string> titles;
    CFtpMng* ftp = nullptr;
    std::uint64_t generation = 7;
    std::uint64_t lostGeneration = 0;
    std::function<void()> onConnection;  // runs on the worker's thread as a box begins
    std::optional<DownloadSettings> settings;
    mutable std::mutex m;
    std::condition_variable storedOne;
    int storedCount = 0;
    std::vector<std::string> refreshes;
    std::vector<std::u16string> messages;
    int refusals = 0;
    int lost = 0;
};

// A disk with no room left.
class FullDisk : public fileio::Writes {
public:
    bool write(int, std::span<const std::uint8_t>) override {
        errno = ENOSPC;
        return false;
    }
};

constexpr always::WorkerTimings kNoWaits{0ms, 0ms, 0ms, 0ms, 0ms, 0ms};

class AlwaysDownloadTest : public DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        host.folder = boxFolder;
    }
    void makeBoxes(const std::string& kind, std::initializer_list<const char*> names, int mark = 0) {
        for (const char* name : names) {
            std::string folder = localBox(kind + "/" + name);
            fs::create_directories(folder);
            fs::create_directories(remote.file(kind + "/" + name));
            if (mark != 0) {
                CFileMng files(flags.cancelAll);
                ASSERT_EQ(files.writeBuildMark(folder, mark == 1 ? u"1" : u"2"), FileOp::Done);
            }
        }
    }
    // The first `n` boxes the chooser gives (fewer when its cycle ends), each marked done as the
    // worker would.
    std::vector<std::string> chosen(std::size_t n) {
        std::vector<std::string> order;
        while (order.size() < n) {
            auto box = chooser.next(host.titles, boxFolder, host);
            if (!box) {
                break;
            }
            order.push_back(*box);
            chooser.markDone(*box);
        }
        return order;
    }

    FakeHost host;
    always::BoxChooser chooser;
};

TEST_F(AlwaysDownloadTest, ListedBoxesComeInStringOrderAnsweringMachineBoxesFirst) {
    makeBoxes("rusuroku", {"10", "2", "1"});
    makeBoxes("naisen", {"10", "2", "1"});
    host.titles = {list_boxes::build({u"10", u"2", u"1"}, {u"10", u"2", u"1"})};
    // The listed boxes are fetched over and over, in the same order.
    EXPECT_EQ(chosen(7), (std::vector<std::string>{"/rusuroku/1", "/rusuroku/10", "/rusuroku/2", "/naisen/1",
                                                   "/naisen/10", "/naisen/2", "/rusuroku/1"}));
    EXPECT_EQ(host.refreshes, std::vector<std::string>{""}) << "a new top list is refreshed once";
}

TEST_F(AlwaysDownloadTest, BuildMarksDecideWhichBoxesAreFetched) {
    makeBoxes("rusuroku", {"301"}, 1);  // made on the PC: never
    makeBoxes("rusuroku", {"302"}, 2);  // still being built: only by the folder scan
    host.titles = {list_boxes::build({u"301", u"302"}, {})};
    std::vector<std::string> listed = chosen(6);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "/rusuroku/301"), 0);
    host.titles.clear();
    always::BoxChooser scan;
    std::vector<std::string> scanned;
    while (auto box = scan.next({}, boxFolder, host)) {
        scanned.push_back(*box);
        scan.markDone(*box);
    }
    EXPECT_EQ(std::count(scanned.begin(), scanned.end(), "/rusuroku/301"), 0);
    EXPECT_EQ(std::count(scanned.begin(), scanned.end(), "/rusuroku/302"), 1);
}

TEST_F(AlwaysDownloadTest, ABoxNotMarkedDoneStaysAtTheHeadOfTheQueue) {
    // 550 (a file gone meanwhile) and a hand-over leave the box undone: it comes again next pass.
    makeBoxes("rusuroku", {"1", "2"});
    host.titles = {list_boxes::build({u"1", u"2"}, {})};
    EXPECT_EQ(chooser.next(host.titles, boxFolder, host), "/rusuroku/1");
    EXPECT_EQ(chooser.next(host.titles, boxFolder, host), "/rusuroku/1");
    chooser.markDone("/rusuroku/1");
    EXPECT_EQ(chooser.next(host.titles, boxFolder, host), "/rusuroku/2");
}

TEST_F(AlwaysDownloadTest, WithOnlyTheResponseListOpenEveryBoxIsFetchedInTurn) {
    host.titles = {std::u16string(list_boxes::kResponse)};
    EXPECT_EQ(chosen(10), (std::vector<std::string>{"/rusuroku/101", "/naisen/201"}));
    EXPECT_TRUE(host.refreshes.empty());
}

TEST_F(AlwaysDownloadTest, TheWorkerFetchesNewMessagesAndHonoursAPause) {
    std::string name = putMessage("rusuroku", "101", at(2026, 12, 1, 9, 0), 1);
    start();
    host.ftp = ftp.get();
    always::AlwaysDownloadWorker worker(host, flags, kNoWaits);

    flags.gate.requestPause(Pump{});
    for (int i = 0; i < 4; ++i) {
        worker.pass();
    }
    EXPECT_FALSE(present("rusuroku/101", name + ".vminf"))
        << "no box begins while an operation holds the pause";
    flags.gate.clearPause();

    // The window's settings as they are now reach the client before the box.
    host.settings = DownloadSettings{false, 3, true, "/changed/wav"};
    for (int i = 0; i < 4 && !present("rusuroku/101", name + ".vminf"); ++i) {
        worker.pass();
    }
    EXPECT_TRUE(present("rusuroku/101", name + ".vmdat"));
    EXPECT_TRUE(present("rusuroku/101", name + ".vminf"));
    EXPECT_FALSE(flags.gate.busy());
    EXPECT_EQ(ftp->downloadEnv().settings.wavSavePath, "/changed/wav");
    EXPECT_EQ(ftp->downloadEnv().settings.wavGain, 3);
}

// A script changing the data folder has it to itself: the box waits for a pass after it ended.
TEST_F(AlwaysDownloadTest, NoBoxBeginsWhileAnotherRunHoldsTheDataFolder) {
    std::string name = putMessage("rusuroku", "101", at(2026, 12, 1, 9, 0), 1);
    LockHolder script(std::string(paths::parentOf(boxFolder)));
    ASSERT_TRUE(script.held());
    start();
    host.ftp = ftp.get();
    always::AlwaysDownloadWorker worker(host, flags, kNoWaits);
    for (int i = 0; i < 4; ++i) {
        worker.pass();
    }
    EXPECT_FALSE(present("rusuroku/101", name + ".vminf"));
    EXPECT_FALSE(flags.gate.busy());

    script.letGo();
    for (int i = 0; i < 4 && !present("rusuroku/101", name + ".vmdat"); ++i) {
        worker.pass();
    }
    EXPECT_TRUE(present("rusuroku/101", name + ".vmdat"));
}

TEST_F(AlwaysDownloadTest, ACommunicationErrorLogsOutOnceAndMemoryShortageSwitchesOff) {
    putMessage("rusuroku", "101", at(2026, 12, 1, 9, 0), 1);
    start();
    host.ftp = ftp.get();
    always::AlwaysDownloadWorker worker(host, flags, kNoWaits);
    simulator->stop();
    for (int i = 0; i < 6; ++i) {
        worker.pass();
    }
    EXPECT_EQ(host.lost, 1);
    EXPECT_EQ(host.lostGeneration, 7u) << "the loss names the session the box ran on";
    EXPECT_EQ(host.messages, std::vector<std::u16string>{u"通信エラーが発生しました。"})
        << "no second error box until the next login";

    host.messages.clear();
    host.logged = true;
    start();
    host.ftp = ftp.get();
    always::AlwaysDownloadWorker full(host, flags, kNoWaits);
    FullDisk failing;
    DownloadEnv env = ftp->downloadEnv();
    env.writes = &failing;
    ftp->setDownloadEnv(env);
    for (int i = 0; i < 4 && host.on; ++i) {
        full.pass();
    }
    EXPECT_FALSE(host.on);
    EXPECT_EQ(host.messages,
              std::vector<std::u16string>{u"ＰＣのメモリ不足です。\n常時ダウンロード機能を解除します。\n"
                                          u"メモリを確保したあとで再設定してください。"});
}

// Logout (or exit) lands just as the worker begins a box: the box stops at once instead of
// running on with the user's cancel erased, and nothing of it is left half-written.
TEST_F(AlwaysDownloadTest, ALogoutAsABoxBeginsStopsThatBox) {
    std::vector<std::string> names;
    for (int serial = 1; serial <= 3; ++serial) {
        names.push_back(putMessage("rusuroku", "101", at(2026, 12, 1, 9, serial), serial));
    }
    start();
    host.ftp = ftp.get();
    std::thread logout;
    host.onConnection = [&] {
        // The window's logout: cancel-all, then a pause that stops a box now; the worker holds
        // the gate, so the pause waits for it.
        logout = std::thread([&] {
            flags.cancelAll = 1;
            flags.pauseWorker(1, Pump{}, WorkerGate::Hand::Now);
        });
        while (!flags.gate.pauseRequested()) {
            std::this_thread::yield();
        }
    };
    always::AlwaysDownloadWorker worker(host, flags, kNoWaits);
    worker.pass();
    logout.join();
    for (const std::string& name : names) {
        EXPECT_FALSE(present("rusuroku/101", name + ".vmdat")) << name;
    }
    EXPECT_EQ(flags.cancelAll.load(), 1) << "the worker leaves the user's cancel alone";
    flags.resumeWorker();
    flags.cancelAll = 0;

    // A cancel the last operation left set does not stop the worker's next box.
    flags.cancelAll = 1;
    host.onConnection = nullptr;
    for (int i = 0; i < 4 && !present("rusuroku/101", names.back() + ".vminf"); ++i) {
        worker.pass();
    }
    EXPECT_TRUE(present("rusuroku/101", names.back() + ".vminf"));
}

TEST_F(AlwaysDownloadTest, OnItsOwnThreadANewMessageArrivesAndStopEndsTheWorker) {
    start();
    host.ftp = ftp.get();
    DownloadEnv env = ftp->downloadEnv();
    env.messageStored = [this](const std::string&) { host.stored(); };
    ftp->setDownloadEnv(env);
    always::AlwaysDownloadWorker worker(host, flags, {0ms, 0ms, 0ms, 0ms, 0ms, 5ms});
    worker.start();
    std::string name = putMessage("naisen", "201", at(2026, 12, 1, 9, 0), 7);
    ASSERT_TRUE(host.waitForStored());
    EXPECT_TRUE(present("naisen/201", name + ".vmdat"));
    worker.stop();
    EXPECT_FALSE(worker.running());
}

}  // namespace
}  // namespace voxmg::test
