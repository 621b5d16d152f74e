// What a download must never do, whatever goes wrong on the way: leave a broken file under a
// message's name, or delete the main unit's copy of a message that is not complete here.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <future>
#include <map>
#include <set>

#include "core/store/incoming_message.h"
#include "download_fixture.h"
#include "sync_recorder.h"

namespace voxmg {
namespace {

namespace fs = std::filesystem;
using test::at;

// Fails one chosen call of one kind of write the way a full disk does.
class FullDisk : public fileio::Writes {
public:
    enum class Stage { Reserve, Data, Record, Sync, Rename };

    FullDisk(Stage stage, int failingCall) : m_stage(stage), m_failing(failingCall) {}

    bool write(int fd, std::span<const std::uint8_t> data) override {
        // The first write of a file reserves the record's room; the rest carry data.
        Stage kind =
            data.size() == kRecordSize && std::all_of(data.begin(), data.end(), [](auto b) { return b == 0; })
                ? Stage::Reserve
                : Stage::Data;
        return hit(kind) && Writes::write(fd, data);
    }
    bool writeAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> data) override {
        return hit(Stage::Record) && Writes::writeAt(fd, offset, data);
    }
    bool sync(int fd) override { return hit(Stage::Sync) && Writes::sync(fd); }
    bool rename(const std::string& from, const std::string& to) override {
        return hit(Stage::Rename) && Writes::rename(from, to);
    }

private:
    bool hit(Stage kind) {
        if (kind == m_stage && ++m_calls[kind] == m_failing) {
            errno = ENOSPC;
            return false;
        }
        return true;
    }

    Stage m_stage;
    int m_failing;
    std::map<Stage, int> m_calls;
};

class DownloadSafetyTest : public test::DownloadTest {
protected:
    // Remembers the main unit's files as they are now, to judge the PC's copies by later.
    void rememberRemote() {
        for (const auto& e : fs::recursive_directory_iterator(remote.path())) {
            if (e.is_regular_file()) {
                original[e.path().filename().string()] = test::readFile(e.path().string());
            }
        }
    }

    // Every file in the box folder under a message's name is a complete copy of what the main
    // unit listed; nothing of an interrupted download is left beside them.
    void expectOnlyCompleteMessages(const std::string& kindBox) {
        for (const auto& e : fs::directory_iterator(localBox(kindBox))) {
            std::string name = e.path().filename().string();
            if (name == "inf.ini") {
                continue;
            }
            EXPECT_FALSE(name.starts_with(IncomingMessage::kTempPrefix)) << name;
            ASSERT_TRUE(original.contains(name)) << name;
            std::string local = test::readFile(e.path().string());
            ASSERT_EQ(local.size(), original[name].size() + kRecordSize) << name;
            EXPECT_EQ(local.substr(kRecordSize), original[name]) << name;
        }
    }

    bool remoteHas(const std::string& kindBox, const std::string& name) const {
        return fs::exists(remote.file(kindBox + "/" + name));
    }

    std::vector<std::string> deletes() const {
        std::vector<std::string> out;
        for (const auto& line : simulator->commandLog()) {
            if (line.rfind("DELE", 0) == 0) {
                out.push_back(line);
            }
        }
        return out;
    }

    EngineResult downloadBox101() {
        return ftp->downloadBox("/rusuroku/101", localBox("rusuroku/101"), false, false).code;
    }

    std::map<std::string, std::string> original;
};

TEST_F(DownloadSafetyTest, BrokenFilesUnderAMessageNameAreFetchedAgainBeforeAnyDeletion) {
    std::string kept = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    std::string raw = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 1), 2);
    rememberRemote();
    test::selectAutoDelete(settingsPath, u"rusuroku", u"101");
    std::string folder = localBox("rusuroku/101");

    // A copy cut short that already carries a record with the user's title, a copy of raw
    // bytes without a record (what a killed older version left), and a temporary file.
    FILESTS_INFO record;
    FILESTS_INFO::setText(record.title, u"折り返し");
    FILESTS_INFO::setText(record.length, u"00:00:01");
    auto head = encodeRecord(record);
    std::string voice = original[kept + ".vmdat"];
    test::writeFile(paths::join(folder, kept + ".vmdat"),
                    std::string(head.begin(), head.end()) + voice.substr(0, voice.size() / 2));
    test::writeFile(paths::join(folder, raw + ".vmdat"), original[raw + ".vmdat"].substr(0, 700));
    test::writeFile(paths::join(folder, ".voxmg-dl-Ab12Cd"), "left by a kill");

    start();
    EXPECT_EQ(downloadBox101(), EngineResult::Done);
    expectOnlyCompleteMessages("rusuroku/101");
    FILESTS_INFO after;
    CFileMng(flags).readRecord(paths::join(folder, kept + ".vmdat"), after);
    EXPECT_EQ(after.titleText(), u"折り返し");
    // Both went on the main unit only now that both are complete here, one message at a time.
    EXPECT_FALSE(remoteHas("rusuroku/101", kept + ".vmdat"));
    EXPECT_FALSE(remoteHas("rusuroku/101", raw + ".vmdat"));
    EXPECT_EQ(deletes(), (std::vector<std::string>{"DELE /rusuroku/101/" + kept + ".vminf",
                                                   "DELE /rusuroku/101/" + raw + ".vminf"}));
}

TEST_F(DownloadSafetyTest, ABrokenResponseMessageIsFetchedAgain) {
    std::string base = putResponse(at(2026, 12, 1, 8, 0), 7);
    rememberRemote();
    std::string path = paths::join(localBox("outou"), base + ".vmdat");
    test::writeFile(path, std::string(kRecordSize, '\0') + original[base + ".vmdat"].substr(0, 300));
    start();
    EXPECT_EQ(ftp->downloadResponseMessages(localBox("outou")).code, EngineResult::Done);
    expectOnlyCompleteMessages("outou");
}

struct FullDiskCase {
    FullDisk::Stage stage;
    int failingCall;  // 1: the first file's, 2: the second file's
};

class FullDiskTest : public DownloadSafetyTest, public ::testing::WithParamInterface<FullDiskCase> {};

TEST_P(FullDiskTest, LeavesNoBrokenFileAndDeletesNothing) {
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 1), 2);
    rememberRemote();
    test::selectAutoDelete(settingsPath, u"rusuroku", u"101");
    FullDisk disk(GetParam().stage, GetParam().failingCall);
    start();
    DownloadEnv env = ftp->downloadEnv();
    env.writes = &disk;
    ftp->setDownloadEnv(env);

    EXPECT_EQ(downloadBox101(), EngineResult::DiskFull);
    expectOnlyCompleteMessages("rusuroku/101");
    EXPECT_TRUE(deletes().empty());
    EXPECT_EQ(fs::directory_iterator(remote.file("rusuroku/101")) == fs::directory_iterator(), false);
    for (const auto& [name, bytes] : original) {
        EXPECT_TRUE(remoteHas("rusuroku/101", name)) << name;
    }
    // The client is still in step with the main unit: the next run completes the box.
    ftp->setDownloadEnv(makeDownloadEnv(settings, settingsPath, decoder, flags, Pump{}, local.path()));
    EXPECT_EQ(downloadBox101(), EngineResult::Done);
    EXPECT_EQ(deletes().size(), 2u);
}

using Stage = FullDisk::Stage;
INSTANTIATE_TEST_SUITE_P(EveryWrite, FullDiskTest,
                         ::testing::Values(FullDiskCase{Stage::Reserve, 1}, FullDiskCase{Stage::Reserve, 2},
                                           FullDiskCase{Stage::Data, 1}, FullDiskCase{Stage::Data, 3},
                                           FullDiskCase{Stage::Record, 1}, FullDiskCase{Stage::Record, 2},
                                           FullDiskCase{Stage::Sync, 1}, FullDiskCase{Stage::Sync, 2},
                                           FullDiskCase{Stage::Rename, 1}, FullDiskCase{Stage::Rename, 2}));

TEST_F(DownloadSafetyTest, AFullDiskIsReportedAsSuchByTheBulkDownload) {
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    FullDisk disk(Stage::Record, 1);
    start();
    DownloadEnv env = ftp->downloadEnv();
    env.writes = &disk;
    ftp->setDownloadEnv(env);
    bulk().runAll(false);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, u"ＰＣのメモリ不足です。");
    EXPECT_EQ(ui.logouts, 0);
}

TEST_F(DownloadSafetyTest, AFailedConversionDeletesNothingOnTheMainUnit) {
    std::string base = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    test::selectAutoDelete(settingsPath, u"rusuroku", u"101");
    start();
    DownloadEnv env = ftp->downloadEnv();
    env.settings.convertOnDownload = true;
    env.convertToWav = [](const std::string&, const DownloadSettings&, ProgressSink*, std::atomic<int>&) {
        return FileOp::NotDone;
    };
    env.wavPathFor = [](const std::string& voice, const DownloadSettings&) { return voice + ".wav"; };
    ftp->setDownloadEnv(env);
    EXPECT_EQ(downloadBox101(), EngineResult::Cancelled);
    EXPECT_TRUE(deletes().empty());
    EXPECT_TRUE(remoteHas("rusuroku/101", base + ".vmdat"));
}

TEST_F(DownloadSafetyTest, OnlyMessagesListedAndCompleteHereAreDeleted) {
    std::string first = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    std::string guarded = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 1), 2, "x", true);
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 2), 3);
    test::selectAutoDelete(settingsPath, u"rusuroku", u"101");
    start();
    // A call recorded while the box is being fetched.
    std::string late;
    ftp->setProgressSink(&ui);
    ui.onPosition = [&](int) {
        if (late.empty()) {
            late = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 30), 4);
        }
    };
    // A protected message refuses its deletion: that is no refusal of automatic deletion.
    EXPECT_EQ(downloadBox101(), EngineResult::Done);
    ASSERT_FALSE(late.empty());
    EXPECT_TRUE(remoteHas("rusuroku/101", late + ".vmdat"));
    EXPECT_TRUE(remoteHas("rusuroku/101", late + ".vminf"));
    EXPECT_TRUE(remoteHas("rusuroku/101", guarded + ".vmdat"));
    EXPECT_FALSE(remoteHas("rusuroku/101", first + ".vmdat"));
    for (const std::string& line : deletes()) {
        EXPECT_EQ(line.find('*'), std::string::npos) << line;
    }
    EXPECT_EQ(deletes().size(), 3u);
}

TEST_F(DownloadSafetyTest, AMessageDeletedMeanwhileByOthersIsNoRefusal) {
    std::string first = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    std::string second = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 1), 2);
    std::string third = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 2), 3);
    test::selectAutoDelete(settingsPath, u"rusuroku", u"101");
    start();
    // Someone deletes the first message on the main unit after it was fetched: its DELE gets 550.
    bool deletedByOthers = false;
    ftp->setProgressSink(&ui);
    ui.onPosition = [&](int) {
        auto log = simulator->commandLog();
        if (!deletedByOthers && std::find(log.begin(), log.end(), "RETR " + third + ".vmdat") != log.end()) {
            fs::remove(remote.file("rusuroku/101/" + first + ".vmdat"));
            fs::remove(remote.file("rusuroku/101/" + first + ".vminf"));
            deletedByOthers = true;
        }
    };
    EXPECT_EQ(downloadBox101(), EngineResult::Done);
    ASSERT_TRUE(deletedByOthers);
    EXPECT_FALSE(remoteHas("rusuroku/101", second + ".vmdat"));
    EXPECT_FALSE(remoteHas("rusuroku/101", third + ".vmdat"));
    EXPECT_EQ(deletes().size(), 3u);
}

// A file of the main unit that is no message (too short for its header, or a header of no
// message) is a broken file, not a broken link: it stays there and is named, and the rest come.
TEST_F(DownloadSafetyTest, AFileThatIsNoMessageIsPassedOverAndKeptOnTheMainUnit) {
    std::string good = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    std::string shortOne = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 1), 2);
    std::string foreign = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 2), 3);
    test::writeFile(remote.file("rusuroku/101/" + shortOne + ".vmdat"), "too short");
    test::writeFile(remote.file("rusuroku/101/" + foreign + ".vmdat"), std::string(600, 'x'));
    test::selectAutoDelete(settingsPath, u"rusuroku", u"101");
    start();

    BoxResult result = ftp->downloadBox("/rusuroku/101", localBox("rusuroku/101"), false, false);
    EXPECT_EQ(result.code, EngineResult::Done);
    EXPECT_EQ(result.malformed, (std::vector<std::string>{shortOne + ".vmdat", foreign + ".vmdat"}));
    EXPECT_TRUE(present("rusuroku/101", good + ".vmdat"));
    for (const std::string& bad : {shortOne, foreign}) {
        EXPECT_FALSE(present("rusuroku/101", bad + ".vmdat")) << bad;
        EXPECT_TRUE(remoteHas("rusuroku/101", bad + ".vmdat")) << bad;
        EXPECT_TRUE(remoteHas("rusuroku/101", bad + ".vminf")) << bad;
    }
    EXPECT_EQ(deletes(), (std::vector<std::string>{"DELE /rusuroku/101/" + good + ".vminf"}));

    // The bulk download ends as done, then names what it passed over; nobody is logged out.
    bulk().runAll(false);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, u"ファイルのダウンロードが正常に完了しました。");
    EXPECT_EQ(ui.messages[1].text,
              u"主装置の次のファイルは音声メッセージとして読めないため、\n"
              u"ダウンロードせずに主装置に残しました：\n/rusuroku/101/" +
                  text::utf16FromUtf8(shortOne) + u".vmdat\n/rusuroku/101/" + text::utf16FromUtf8(foreign) +
                  u".vmdat");
    EXPECT_EQ(ui.logouts, 0);
}

TEST_F(DownloadSafetyTest, APeerThatLiesAboutTheTransferFailsIt) {
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    test::selectAutoDelete(settingsPath, u"rusuroku", u"101");
    rememberRemote();
    sim::Faults shortButDone;
    shortButDone.dropDataAfterBytes = 700;
    shortButDone.claimCompleteAfterDrop = true;
    sim::Faults endless;
    endless.endlessData = true;
    sim::Faults trickling;
    trickling.dataChunkBytes = 16;
    trickling.dataChunkDelay = std::chrono::milliseconds(100);
    for (const sim::Faults& faults : {shortButDone, endless, trickling}) {
        start(faults);
        auto began = std::chrono::steady_clock::now();
        EXPECT_EQ(downloadBox101(), EngineResult::CommFailure);
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
        expectOnlyCompleteMessages("rusuroku/101");
        EXPECT_TRUE(fs::is_empty(localBox("rusuroku/101")));
        EXPECT_TRUE(deletes().empty());
    }
}

TEST_F(DownloadSafetyTest, FilesPlantedInABoxFolderAreNeitherWaitedOnNorFollowed) {
    std::string base = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    rememberRemote();
    std::string folder = localBox("rusuroku/101");
    std::string fifo = paths::join(folder, base + ".vmdat");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::string outside = local.file("outside.bin");
    fs::create_symlink(outside, paths::join(folder, base + ".vminf"));

    // Listing the folder passes over the FIFO at once.
    std::vector<FILESTS_INFO> rows;
    auto load = std::async(std::launch::async, [&] { return CFileMng(flags).loadBoxFolder(folder, rows); });
    if (load.wait_for(std::chrono::seconds(1)) != std::future_status::ready) {
        ::close(::open(fifo.c_str(), O_RDWR | O_NONBLOCK));  // let the stuck reader go
        FAIL() << "loading a folder with a FIFO hangs";
    }
    EXPECT_EQ(load.get(), LoadResult::Loaded);
    EXPECT_TRUE(rows.empty());

    // The download replaces both names with complete files and writes nothing outside.
    start();
    EXPECT_EQ(downloadBox101(), EngineResult::Done);
    expectOnlyCompleteMessages("rusuroku/101");
    EXPECT_FALSE(fs::exists(outside));
}

// What a download syncs: nothing while the main unit keeps its copy, exactly the messages it
// deletes before it deletes them, and every file of a backup before it is named.
class DownloadSyncTest : public DownloadSafetyTest {
protected:
    void recordSyncs() {
        DownloadEnv env = ftp->downloadEnv();
        env.writes = &recorder;
        ftp->setDownloadEnv(env);
    }
    std::set<std::string> localFiles(const std::string& folder,
                                     std::initializer_list<std::string> bases) const {
        std::set<std::string> out;
        for (const std::string& base : bases) {
            for (const char* ext : {".vmdat", ".vminf"}) {
                out.insert(test::SyncRecorder::canonical(paths::join(folder, base + ext)));
            }
        }
        return out;
    }

    test::SyncRecorder recorder{[this] { return static_cast<int>(deletes().size()); }};
};

TEST_F(DownloadSyncTest, WithoutAutomaticDeletionNothingIsSyncedAndEveryNameHoldsAWholeFile) {
    for (int i = 0; i < 3; ++i) {
        putMessage("rusuroku", "101", at(2026, 12, 6, 9, i), i + 1);
    }
    rememberRemote();
    start();
    recordSyncs();
    EXPECT_EQ(downloadBox101(), EngineResult::Done);
    EXPECT_TRUE(recorder.syncs.empty());
    expectOnlyCompleteMessages("rusuroku/101");
    for (const auto& [name, bytes] : original) {
        EXPECT_TRUE(present("rusuroku/101", name)) << name;
        EXPECT_TRUE(remoteHas("rusuroku/101", name)) << name;
    }
}

TEST_F(DownloadSyncTest, AutomaticDeletionSyncsExactlyTheDeletedMessagesFirst) {
    // One message fetched by an earlier run that synced nothing, one new, and one whose voice
    // is broken on the main unit: its recording info arrives, but it is not deleted.
    std::string earlier = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    start();
    ASSERT_EQ(downloadBox101(), EngineResult::Done);
    std::string later = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 1), 2);
    std::string broken = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 2), 3);
    test::writeFile(remote.file("rusuroku/101/" + broken + ".vmdat"), "too short");
    test::selectAutoDelete(settingsPath, u"rusuroku", u"101");
    recordSyncs();

    EXPECT_EQ(downloadBox101(), EngineResult::Done);
    const std::string folder = localBox("rusuroku/101");
    EXPECT_EQ(recorder.synced(false), localFiles(folder, {earlier, later}));
    EXPECT_EQ(recorder.synced(true), std::set<std::string>{test::SyncRecorder::canonical(folder)});
    EXPECT_TRUE(recorder.allBeforeAnyDeletion());
    EXPECT_TRUE(present("rusuroku/101", broken + ".vminf"));
    EXPECT_EQ(deletes(), (std::vector<std::string>{"DELE /rusuroku/101/" + earlier + ".vminf",
                                                   "DELE /rusuroku/101/" + later + ".vminf"}));
    EXPECT_TRUE(remoteHas("rusuroku/101", broken + ".vminf"));
}

TEST_F(DownloadSyncTest, AutomaticDeletionOnARefusedSyncDeletesNothing) {
    std::string base = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    test::selectAutoDelete(settingsPath, u"rusuroku", u"101");
    start();
    recordSyncs();
    recorder.failing = true;
    EXPECT_EQ(downloadBox101(), EngineResult::DiskFull);
    EXPECT_FALSE(recorder.syncs.empty());
    EXPECT_TRUE(deletes().empty());
    EXPECT_TRUE(remoteHas("rusuroku/101", base + ".vminf"));
    EXPECT_TRUE(present("rusuroku/101", base + ".vmdat"));
}

TEST_F(DownloadSyncTest, ABackupSyncsEveryFileBeforeItIsNamed) {
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 1), 2);
    rememberRemote();
    BackupTarget target;
    target.dataRoot = local.file("backup");
    target.monthFolders = {"BU_202610", "BU_202611", "BU_202612"};
    target.targetMonth = "202612";
    target.currentMonth = "202612";
    start();
    recordSyncs();

    EXPECT_EQ(ftp->backupDownloadBox("/rusuroku/101", "rusuroku", "101", target).code, EngineResult::Done);
    // The month is marked backed up on the strength of these files: each was on the disk while
    // it still had its temporary name.
    ASSERT_EQ(recorder.synced(false).size(), original.size());
    for (const std::string& path : recorder.synced(false)) {
        EXPECT_TRUE(paths::fileName(path).starts_with(IncomingMessage::kTempPrefix)) << path;
    }
    for (const auto& [name, bytes] : original) {
        EXPECT_TRUE(fs::exists(paths::join(target.dataRoot, "BU_202612/rusuroku/101/" + name))) << name;
    }
}

}  // namespace
}  // namespace voxmg
