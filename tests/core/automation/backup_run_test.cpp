#include <gtest/gtest.h>

#include <cerrno>

#include "core/automation/backup_record.h"
#include "core/automation/backup_run.h"
#include "core/device/download_fixture.h"

namespace voxmg::test {
namespace {

// Records what the run shows; lets a test look at the disk while files are copied.
class BackupRecorder : public backup::BackupUi, public ProgressSink {
public:
    ProgressSink* openProgress() override { return this; }
    void closeProgress() override { ++closed; }
    void show(const UserMessage& m) override { texts.push_back(m.text); }
    void setRange(int r) override { range = r; }
    void nextFile() override {
        if (onFile) {
            onFile();
        }
    }

    int closed = 0;
    int range = 0;
    std::vector<std::u16string> texts;
    std::function<void()> onFile;
};

// The disk fills up at the `from`-th write, flush or rename of a month record: that one and every
// later one fails as a full disk does.
class FullDiskWrites : public fileio::Writes {
public:
    explicit FullDiskWrites(int from) : m_from(from) {}
    bool write(int fd, std::span<const std::uint8_t> data) override {
        return room() && Writes::write(fd, data);
    }
    bool sync(int fd) override { return room() && Writes::sync(fd); }
    bool rename(const std::string& from, const std::string& to) override {
        return room() && Writes::rename(from, to);
    }

private:
    bool room() {
        if (++m_calls >= m_from) {
            errno = ENOSPC;
            return false;
        }
        return true;
    }
    int m_from;
    int m_calls = 0;
};

class BackupRunTest : public DownloadTest {
protected:
    const std::tm now = at(2026, 12, 7, 12, 0);

    backup::BackupRequest request() {
        backup::BackupRequest r;
        r.dataRoot = local.path();
        r.boxFolder = boxFolder;
        r.settingsPath = settingsPath;
        r.login = {u"127.0.0.1", u"hozen", u"hozen", simulator->port()};
        r.retryCount = 2;
        r.now = now;
        r.wait = [this](std::chrono::milliseconds) {
            ++waits;
            return flags.cancelAll.load() == 0;
        };
        return r;
    }

    backup::BackupResult run(const backup::BackupRequest& r) {
        return backup::runBackup(*ftp, flags, recorder, r, Pump{});
    }

    std::string backedUp(const char* month, const std::string& kindBox, const std::string& name) const {
        return paths::join(paths::join(local.file(month), kindBox), name);
    }
    bool complete(const char* month) const { return backup::readRecordComplete(local.file(month)); }

    BackupRecorder recorder;
    int waits = 0;
};

TEST_F(BackupRunTest, CopiesTheRangeIntoMonthFoldersAndLogsOut) {
    std::string december = putMessage("rusuroku", "101", at(2026, 12, 1, 9, 0), 1);
    std::string october = putMessage("naisen", "201", at(2026, 10, 20, 9, 0), 2);
    std::string august = putMessage("rusuroku", "101", at(2026, 8, 3, 9, 0), 3);
    std::string greeting = putResponse(at(2025, 4, 1, 9, 0), 5);
    start();
    ftp->disconnect();

    backup::BackupResult result = run(request());

    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.range.targetMonth, "202610");
    EXPECT_EQ(result.total, 8);
    EXPECT_EQ(recorder.range, 4 + 2);
    for (const char* ext : {".vminf", ".vmdat"}) {
        EXPECT_TRUE(fs::exists(backedUp("BU_202612", "rusuroku/101", december + ext)));
        EXPECT_TRUE(fs::exists(backedUp("BU_202610", "naisen/201", october + ext)));
        EXPECT_TRUE(fs::exists(backedUp("BU_202612", "outou", greeting + ext)))
            << "responses go to this month";
    }
    EXPECT_FALSE(fs::exists(local.file("BU_202608"))) << "months before the range are not copied";
    for (const char* month : {"BU_202610", "BU_202611", "BU_202612"}) {
        EXPECT_TRUE(complete(month)) << month;
    }
    EXPECT_FALSE(ftp->connected()) << "the user is logged out after every backup";
    EXPECT_TRUE(recorder.texts.empty());
    EXPECT_EQ(recorder.closed, 1);
}

TEST_F(BackupRunTest, MonthsStayIncompleteUntilTheCopyHasSucceeded) {
    putMessage("rusuroku", "101", at(2026, 12, 1, 9, 0), 1);
    putMessage("rusuroku", "101", at(2026, 12, 1, 10, 0), 2);
    start();
    // Earlier runs completed these months; a run that dies now must not leave them so.
    for (const char* month : {"BU_202610", "BU_202611", "BU_202612"}) {
        ASSERT_TRUE(backup::writeRecord(local.file(month), true, now));
    }
    std::vector<bool> seen;
    recorder.onFile = [&] { seen.push_back(complete("BU_202612")); };

    backup::BackupRequest r = request();
    r.lastRun = "202612010300";
    EXPECT_TRUE(run(r).success);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 0) << "complete while files were still arriving";
    EXPECT_TRUE(complete("BU_202612"));
}

// A month still marked complete must not take new files: when "incomplete" cannot be written,
// the run copies nothing and says why.
TEST_F(BackupRunTest, AnUnwritableIncompleteMarkStopsTheRunBeforeCopying) {
    putMessage("rusuroku", "101", at(2026, 12, 1, 9, 0), 1);
    start();
    backup::BackupRequest r = request();
    r.lastRun = "202612010300";
    ASSERT_TRUE(run(r).success);
    ASSERT_TRUE(complete("BU_202612"));
    const std::string before = readFile(local.file("BU_202612/backup_info.ini"));

    std::vector<std::string> added;
    for (int i = 0; i < 20; ++i) {
        added.push_back(putMessage("rusuroku", "101", at(2026, 12, 2, 9, i), 10 + i));
    }
    FullDiskWrites full(1);
    r.recordWrites = &full;
    recorder.texts.clear();
    backup::BackupResult result = run(r);

    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.code, EngineResult::DiskFull);
    EXPECT_EQ(recorder.texts, (std::vector<std::u16string>{u"ＰＣのメモリ不足です。"}));
    EXPECT_TRUE(result.boxes.empty()) << "no box was copied";
    for (const std::string& name : added) {
        EXPECT_FALSE(fs::exists(backedUp("BU_202612", "rusuroku/101", name + ".vmdat"))) << name;
    }
    EXPECT_EQ(readFile(local.file("BU_202612/backup_info.ini")), before) << "the record is as it was";
    EXPECT_FALSE(ftp->connected());
    for (const auto& entry : fs::directory_iterator(local.file("BU_202612"))) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << "work file left: " << entry.path();
    }
}

// Every file copied, but "complete" cannot be written: the month stays incomplete, and the run
// does not claim a success the record denies.
TEST_F(BackupRunTest, AnUnwritableCompleteMarkFailsTheRun) {
    putMessage("rusuroku", "101", at(2026, 12, 1, 9, 0), 1);
    start();
    backup::BackupRequest r = request();
    r.lastRun = "202612010300";
    // One month in the range: write, flush and rename of "incomplete", then the disk is full.
    FullDiskWrites full(4);
    r.recordWrites = &full;
    backup::BackupResult result = run(r);
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.code, EngineResult::DiskFull);
    EXPECT_FALSE(complete("BU_202612"));
    EXPECT_EQ(recorder.texts, (std::vector<std::u16string>{u"ＰＣのメモリ不足です。"}));
}

TEST_F(BackupRunTest, ABrokenTransferFailsTheRunAndTheNextRunFetchesItAgain) {
    std::string name = putMessage("rusuroku", "101", at(2026, 12, 1, 9, 0), 1);
    sim::Faults faults;
    faults.dropDataAfterBytes = 300;
    faults.dropControlAfterDrop = true;
    start(faults);

    backup::BackupRequest r = request();
    r.interactive = true;
    backup::BackupResult failed = run(r);
    EXPECT_FALSE(failed.success);
    EXPECT_FALSE(complete("BU_202612"));
    EXPECT_EQ(recorder.texts, (std::vector<std::u16string>{u"通信エラーが発生しました。"}));
    for (const char* ext : {".vminf", ".vmdat"}) {
        EXPECT_FALSE(fs::exists(backedUp("BU_202612", "rusuroku/101", name + ext)))
            << "no short file under its name";
    }

    simulator->setFaults({});
    recorder.texts.clear();
    backup::BackupResult again = run(r);
    EXPECT_TRUE(again.success);
    EXPECT_TRUE(complete("BU_202612"));
    EXPECT_EQ(fs::file_size(backedUp("BU_202612", "rusuroku/101", name + ".vmdat")),
              fs::file_size(remote.file("rusuroku/101/" + name + ".vmdat")) + 990);
}

TEST_F(BackupRunTest, LoginIsRetriedThenTheRunFailsQuietlyUnlessConfirmed) {
    start();
    ftp->disconnect();
    backup::BackupRequest r = request();
    r.login.password = u"wrong";

    EXPECT_FALSE(run(r).success);
    EXPECT_EQ(waits, 2) << "RETRYCNT waits between RETRYCNT + 1 attempts";
    EXPECT_TRUE(recorder.texts.empty()) << "an unattended run shows nothing";
    EXPECT_FALSE(complete("BU_202612"));

    r.interactive = true;
    EXPECT_FALSE(run(r).success);
    EXPECT_EQ(recorder.texts, (std::vector<std::u16string>{u"通信エラーが発生しました。"}));
    // The window's progress dialog goes with the run; the connection object stays for the next login.
    EXPECT_EQ(ftp->progressSink(), nullptr);
}

TEST_F(BackupRunTest, CancelDuringTheRetryWaitEndsWithoutAMessage) {
    start();
    ftp->disconnect();
    backup::BackupRequest r = request();
    r.login.password = u"wrong";
    r.interactive = true;
    r.wait = [this](std::chrono::milliseconds) {
        flags.cancelAll = 1;
        return false;
    };
    backup::BackupResult result = run(r);
    EXPECT_FALSE(result.success);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(recorder.texts.empty());
    EXPECT_EQ(ftp->progressSink(), nullptr);
}

TEST_F(BackupRunTest, RefusedDeletionSwitchesAutomaticDeletionOffOnceAndGoesOn) {
    putMessage("rusuroku", "101", at(2026, 12, 1, 9, 0), 1);
    putMessage("naisen", "201", at(2026, 12, 1, 9, 0), 2);
    selectAutoDelete(settingsPath, u"rusuroku", u"101");
    selectAutoDelete(settingsPath, u"naisen", u"201");
    sim::Faults faults;
    faults.replyCodes["DELE"] = 550;
    start(faults);

    backup::BackupResult result = run(request());
    EXPECT_TRUE(result.success);
    EXPECT_TRUE(result.autoDeleteUnsupported);
    ProfileFile ini = ProfileFile::load(settingsPath);
    EXPECT_FALSE(readAutoDelete(ini, u"rusuroku", u"101"));
    EXPECT_FALSE(readAutoDelete(ini, u"naisen", u"201"));
    EXPECT_EQ(std::count(recorder.texts.begin(), recorder.texts.end(),
                         std::u16string(u"通信エラーが発生しました。")),
              0);
}

// The temporary file of a record write that a kill interrupted goes with the next write.
TEST(BackupRecordFile, AKilledWriteLeavesNothingBehind) {
    TempFolder dir;
    const std::string month = dir.folder("BU_202612");
    writeFile(month + "/.backup_info-Zz9Yx8", "[BACKUPINF]\r\nYFL");
    ASSERT_TRUE(backup::writeRecord(month, true, at(2026, 12, 7, 12, 0)));
    EXPECT_TRUE(backup::readRecordComplete(month));
    EXPECT_FALSE(fs::exists(month + "/.backup_info-Zz9Yx8"));
    EXPECT_EQ(std::distance(fs::directory_iterator(month), fs::directory_iterator()), 1);
}

TEST(BackupRecordRun, WhatARunLeavesInTheSettings) {
    const std::tm now = at(2026, 12, 7, 12, 0);
    Settings s;
    s.hindo = 1;
    s.jikokuHH = 3;
    s.yoteiBi = u"202612070300";

    backup::recordRun(s, true, now, true);
    EXPECT_EQ(s.zenkaiKa, 1);
    EXPECT_EQ(s.zenkaiBi.str(), u"202612071200");
    EXPECT_EQ(s.yoteiBi.str(), u"202612080300");

    s.yoteiBi = u"202612070300";
    backup::recordRun(s, false, now, true);
    EXPECT_EQ(s.zenkaiKa, 2);
    EXPECT_EQ(s.yoteiBi.str(), u"202612070300") << "a failed run at exit stays due";

    backup::recordRun(s, false, now, false);
    EXPECT_EQ(s.yoteiBi.str(), u"202612080300") << "a failed scheduled run moves on";
}

}  // namespace
}  // namespace voxmg::test
