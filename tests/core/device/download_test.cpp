// The download engines and the bulk download against our main unit simulator, in-process.
#include "download_fixture.h"

namespace voxmg {
namespace {

namespace fs = std::filesystem;
using test::at;
using test::DownloadTest;
using test::RecordingUi;

// The texts a user reads after a run, as the message boxes show them.
const std::u16string kDone = u"ファイルのダウンロードが正常に完了しました。";
const std::u16string kAutoDeleteRefused =
    u"主装置が音声ファイルの自動消去に対応\nしていません。\n「ダウンロード時に主装置の音声ファイル\nを自動消"
    u"去する」機能を解除します。";

TEST_F(DownloadTest, BulkDownloadFetchesEachFileOnceAndReportsSuccess) {
    std::vector<std::string> names;
    for (int i = 1; i <= 3; ++i) {
        names.push_back(putMessage("rusuroku", "101", at(2026, 12, 6, 13, i), i));
    }
    start();
    auto run = bulk();
    EXPECT_EQ(run.runAll(false), EngineResult::Done);
    EXPECT_EQ(retrievals(), 6);
    EXPECT_EQ(run.handled(), 3);
    EXPECT_EQ(ui.texts(), std::vector<std::u16string>{kDone});
    EXPECT_EQ(ui.messages[0].caption, u"ダウンロード完了");
    EXPECT_EQ(ui.opened, ui.closed);
    EXPECT_FALSE(flags.gate.pauseRequested());  // always-download resumes

    // Every file carries its record: the voice lists with its caller name.
    CFileMng files(flags);
    std::vector<FILESTS_INFO> rows;
    ASSERT_EQ(files.loadBoxFolder(localBox("rusuroku/101"), rows), LoadResult::Loaded);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].callerNameText(), u"山田");

    // The same again: nothing to fetch, still a success.
    simulator->clearCommandLog();
    ui.messages.clear();
    EXPECT_EQ(bulk().runAll(false), EngineResult::Done);
    EXPECT_EQ(retrievals(), 0);
    EXPECT_EQ(ui.texts(), std::vector<std::u16string>{kDone});
}

TEST_F(DownloadTest, AVanishedVoiceFileDoesNotStopTheRun) {
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    std::string gone = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 1), 2);
    putMessage("naisen", "201", at(2026, 12, 6, 9, 2), 3);
    sim::Faults faults;
    faults.vanishOnRetrieve = {gone + ".vmdat"};
    start(faults);
    auto run = bulk();
    EXPECT_EQ(run.runAll(false), EngineResult::Done);
    EXPECT_EQ(ui.texts(), std::vector<std::u16string>{
                              u"一部の音声ファイルがダウンロードできませんでした\n(音声ファイルなし)。"});
    EXPECT_EQ(ui.messages[0].caption, u"ダウンロード完了");
    EXPECT_TRUE(present("naisen/201", "") && fs::is_empty(localBox("naisen/201")) == false);
}

TEST_F(DownloadTest, RefusedAutomaticDeletionIsReportedOnceAndSwitchedOff) {
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    putMessage("naisen", "201", at(2026, 12, 6, 9, 1), 2);
    {
        ProfileFile ini = ProfileFile::load(settingsPath);
        writeAutoDelete(ini, u"rusuroku", u"101", true);
        writeAutoDelete(ini, u"naisen", u"201", true);
        ASSERT_TRUE(ini.save());
    }
    sim::Faults faults;
    faults.replyCodes["DELE"] = 550;
    start(faults);
    EXPECT_EQ(bulk().runAll(false), EngineResult::Done);
    EXPECT_EQ(ui.texts(), (std::vector<std::u16string>{kAutoDeleteRefused, kDone}));
    ProfileFile ini = ProfileFile::load(settingsPath);
    EXPECT_FALSE(readAutoDelete(ini, u"rusuroku", u"101"));
    EXPECT_FALSE(readAutoDelete(ini, u"naisen", u"201"));
    EXPECT_EQ(ini.readString(u"naisen", u"201", u""), u"0");
}

TEST_F(DownloadTest, OneChosenBoxReportsTheRefusalAfterItsOutcome) {
    putMessage("naisen", "201", at(2026, 12, 6, 9, 0), 1);
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 1), 2);
    {
        ProfileFile ini = ProfileFile::load(settingsPath);
        writeAutoDelete(ini, u"naisen", u"201", true);
        ASSERT_TRUE(ini.save());
    }
    sim::Faults faults;
    faults.replyCodes["DELE"] = 550;
    start(faults);
    auto run = bulk();
    EXPECT_EQ(run.runSelected({{"naisen", "201"}}, false), EngineResult::Done);
    EXPECT_EQ(ui.texts(), (std::vector<std::u16string>{kDone, kAutoDeleteRefused}));
    EXPECT_EQ(run.outcomes().size(), 1u);  // the other box was not chosen
    EXPECT_TRUE(fs::is_empty(localBox("rusuroku/101")));
}

TEST_F(DownloadTest, AutomaticDeletionMarksMessagesGoneFromTheMainUnit) {
    std::string base = putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    {
        ProfileFile ini = ProfileFile::load(settingsPath);
        writeAutoDelete(ini, u"rusuroku", u"101", true);
        ASSERT_TRUE(ini.save());
    }
    start();
    BoxResult done = ftp->downloadBox("/rusuroku/101", localBox("rusuroku/101"), false, false);
    EXPECT_EQ(done.code, EngineResult::Done);
    EXPECT_EQ(done.handled, 1);
    EXPECT_FALSE(fs::exists(remote.file("rusuroku/101/" + base + ".vminf")));
    FILESTS_INFO record;
    CFileMng(flags).readRecord(paths::join(localBox("rusuroku/101"), base + ".vmdat"), record);
    EXPECT_EQ(record.state, static_cast<std::uint8_t>(DownloadState::DeletedOnUnit));
}

TEST_F(DownloadTest, BoxFolderWithoutDirectoryOnTheMainUnitIsPassedOver) {
    fs::create_directories(localBox("naisen/999"));
    putMessage("naisen", "201", at(2026, 12, 6, 9, 0), 1);
    start();
    auto run = bulk();
    EXPECT_EQ(run.runAll(false), EngineResult::Done);
    EXPECT_EQ(ui.texts(), std::vector<std::u16string>{kDone});
    EXPECT_TRUE(fs::is_empty(localBox("naisen/999")));
}

TEST_F(DownloadTest, BoxFoldersMadeOnThePcAreNotAsked) {
    fs::create_directories(localBox("naisen/555"));
    ProfileFile inf(paths::join(localBox("naisen/555"), "inf.ini"));
    inf.writeString(u"INF", u"MAKE", u"1");
    ASSERT_TRUE(inf.save());
    auto boxes = BulkDownload::boxesOf(boxFolder);
    EXPECT_EQ(boxes, (std::vector<BoxRef>{{"rusuroku", "101"}, {"naisen", "201"}}));
}

TEST_F(DownloadTest, NothingOnTheMainUnit) {
    start();
    EXPECT_EQ(bulk().runAll(false), EngineResult::NoMessages);
    EXPECT_EQ(ui.texts(), std::vector<std::u16string>{u"音声メッセージがありません。"});
    EXPECT_EQ(ui.messages[0].caption, u"エラー");
}

TEST_F(DownloadTest, FullDiskStopsAnInfoOnlyRun) {
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 1), 2);
    start();
    DownloadEnv env = ftp->downloadEnv();
    env.freeSpace = [](const std::string&) { return std::optional<std::uint64_t>(2048); };
    ftp->setDownloadEnv(env);
    EXPECT_EQ(bulk().runAll(true), EngineResult::DiskFull);
    EXPECT_EQ(ui.texts(), std::vector<std::u16string>{u"ＰＣのメモリ不足です。"});
    EXPECT_TRUE(fs::is_empty(localBox("rusuroku/101")));
}

TEST_F(DownloadTest, CancelDuringARetrievalLeavesNoHalfMessageAndNoMessage) {
    for (int i = 1; i <= 3; ++i) {
        putMessage("rusuroku", "101", at(2026, 12, 6, 10, i), i);
    }
    start();
    int chunks = 0;
    ui.onPosition = [&](int position) {
        if (position > 0 && ++chunks == 3) {
            flags.cancelAll = 1;  // as the progress dialog's Cancel does
        }
    };
    EXPECT_EQ(bulk().runAll(false), EngineResult::Cancelled);
    EXPECT_TRUE(ui.messages.empty());
    for (const auto& entry : fs::directory_iterator(localBox("rusuroku/101"))) {
        std::string name = entry.path().filename().string();
        if (name.ends_with(".vmdat")) {
            EXPECT_TRUE(present("rusuroku/101", name.substr(0, name.size() - 6) + ".vminf")) << name;
        }
    }
    EXPECT_FALSE(flags.gate.pauseRequested());
}

TEST_F(DownloadTest, ConversionOnDownloadWritesTheWavBesideTheVoice) {
    std::string base = putMessage("naisen", "201", at(2026, 12, 6, 11, 0), 1);
    settings.downConv = true;
    start();
    EXPECT_EQ(bulk().runAll(false), EngineResult::Done);
    std::string wav = paths::join(localBox("naisen/201"), base + ".wav");
    ASSERT_TRUE(fs::exists(wav));
    EXPECT_EQ(fs::file_size(wav), 44u + 8000u * 2u);  // one second of 8 kHz 16-bit mono
    EXPECT_EQ(ui.texts(), std::vector<std::u16string>{kDone});
}

TEST_F(DownloadTest, InfoOnlyThenFullKeepsTitleAndMemo) {
    std::string base = putMessage("rusuroku", "101", at(2026, 12, 6, 12, 0), 1);
    start();
    EXPECT_EQ(bulk().runAll(true), EngineResult::Done);
    std::string info = paths::join(localBox("rusuroku/101"), base + ".vminf");
    ASSERT_TRUE(fs::exists(info));
    EXPECT_FALSE(present("rusuroku/101", base + ".vmdat"));
    CFileMng files(flags);
    FILESTS_INFO record;
    files.readRecord(info, record);
    EXPECT_EQ(record.state, static_cast<std::uint8_t>(DownloadState::InfoOnly));
    record.setText(record.title, u"見積の件");
    record.setText(record.memo, u"折り返し");
    ASSERT_EQ(files.writeBackRecord(record, info), FileOp::Done);

    EXPECT_EQ(bulk().runAll(false), EngineResult::Done);
    FILESTS_INFO voice;
    files.readRecord(paths::join(localBox("rusuroku/101"), base + ".vmdat"), voice);
    EXPECT_EQ(voice.titleText(), u"見積の件");
    EXPECT_EQ(voice.memoText(), u"折り返し");
    EXPECT_NE(voice.state, static_cast<std::uint8_t>(DownloadState::InfoOnly));
}

TEST_F(DownloadTest, ResponseMessagesAreReplacedOnlyByNewerOnes) {
    // Here: number 1 from November, number 2 from today. The main unit: both from today.
    std::string newer1 = putResponse(at(2026, 12, 6, 8, 0), 1);
    std::string same2 = putResponse(at(2026, 12, 6, 8, 30), 2);
    fs::copy_file(remote.file("outou/" + same2 + ".vmdat"), localBox("outou/" + same2 + ".vmdat"));
    fs::copy_file(remote.file("outou/" + same2 + ".vminf"), localBox("outou/" + same2 + ".vminf"));
    std::string old1 = sim::messageFileName(at(2026, 11, 1, 8, 0), "A001", "0000", "");
    fs::copy_file(remote.file("outou/" + newer1 + ".vmdat"), localBox("outou/" + old1 + ".vmdat"));
    test::writeFile(localBox("outou/" + old1 + ".wav"), "RIFF");
    for (const char* ext : {".vmdat", ".vminf"}) {
        CFileMng(flags).buildResponseMessageRecord(localBox("outou/" + same2 + ext));
    }
    CFileMng(flags).buildResponseMessageRecord(localBox("outou/" + old1 + ".vmdat"));
    start();
    EXPECT_EQ(bulk().runResponse(), EngineResult::Done);
    EXPECT_TRUE(present("outou", newer1 + ".vmdat"));
    EXPECT_FALSE(present("outou", old1 + ".vmdat"));
    EXPECT_FALSE(present("outou", old1 + ".wav"));
    for (const auto& line : simulator->commandLog()) {
        EXPECT_EQ(line.find(same2), std::string::npos) << line;  // never fetched again
    }
    EXPECT_EQ(ui.texts(), std::vector<std::u16string>{kDone});
}

TEST_F(DownloadTest, AMissingResponseFolderIsMadeNotReportedAsAFailure) {
    fs::remove_all(localBox("outou"));
    std::string base = putResponse(at(2026, 12, 6, 8, 0), 7);
    putMessage("rusuroku", "101", at(2026, 12, 6, 9, 0), 1);
    start();
    EXPECT_EQ(bulk().runAll(false), EngineResult::Done);
    EXPECT_TRUE(present("outou", base + ".vmdat"));
    EXPECT_EQ(ui.texts(), std::vector<std::u16string>{kDone});
    EXPECT_EQ(ui.logouts, 0);
}

TEST_F(DownloadTest, BackupSortsFilesIntoMonthFoldersWithinTheRange) {
    std::string oct = putMessage("rusuroku", "101", at(2026, 10, 15, 9, 0), 1);
    std::string nov = putMessage("rusuroku", "101", at(2026, 11, 15, 9, 0), 2);
    std::string dec = putMessage("rusuroku", "101", at(2026, 12, 5, 9, 0), 3);
    std::string sep = putMessage("rusuroku", "101", at(2026, 9, 30, 9, 0), 4);
    start();
    int incomplete = 0;
    BackupTarget target{
        local.path(), {"BU_202610", "BU_202611", "BU_202612"}, "202611", "202612", [&] { ++incomplete; }};
    BoxResult done = ftp->backupDownloadBox("/rusuroku/101", "rusuroku", "101", target);
    EXPECT_EQ(done.code, EngineResult::Done);
    EXPECT_EQ(done.handled, 2);
    EXPECT_EQ(incomplete, 0);
    EXPECT_TRUE(fs::exists(local.file("BU_202611/rusuroku/101/" + nov + ".vmdat")));
    EXPECT_TRUE(fs::exists(local.file("BU_202612/rusuroku/101/" + dec + ".vminf")));
    EXPECT_FALSE(fs::exists(local.file("BU_202610/rusuroku/101/" + oct + ".vmdat")));
    EXPECT_FALSE(fs::exists(local.file("BU_202610")));
    (void)sep;
}

TEST_F(DownloadTest, AUserOperationPausesTheWorkersBoxAfterAWholeMessage) {
    for (int i = 1; i <= 3; ++i) {
        putMessage("naisen", "201", at(2026, 12, 6, 15, i), i);
    }
    start();
    std::vector<std::string> refreshed;
    DownloadEnv env = ftp->downloadEnv();
    env.refreshRequest = [&](const std::string& dir) { refreshed.push_back(dir); };
    ftp->setDownloadEnv(env);
    flags.suspendRequest = 1;  // asked before the box starts: the first message still completes
    BoxResult paused = ftp->downloadBox("/naisen/201", localBox("naisen/201"), true, true);
    EXPECT_EQ(paused.code, EngineResult::Paused);
    EXPECT_EQ(paused.handled, 1);
    EXPECT_EQ(refreshed, std::vector<std::string>{"/naisen/201"});
    flags.suspendRequest = 0;
    BoxResult rest = ftp->downloadBox("/naisen/201", localBox("naisen/201"), true, true);
    EXPECT_EQ(rest.code, EngineResult::Done);
    EXPECT_EQ(rest.handled, 3);
    EXPECT_EQ(refreshed.size(), 2u);  // the rest was downloaded: the lists reload again
}

TEST_F(DownloadTest, AWorkerRunsABoxWithoutTheInterfacesPump) {
    putMessage("naisen", "201", at(2026, 12, 6, 15, 0), 1);
    putMessage("naisen", "201", at(2026, 12, 6, 15, 1), 2);
    start();
    int uiPumps = 0;
    int workerPumps = 0;
    {
        auto ui = ftp->pumpedBy([&] { ++uiPumps; });
        {
            auto worker = ftp->pumpedBy([&] { ++workerPumps; });
            EXPECT_EQ(ftp->downloadBox("/naisen/201", localBox("naisen/201"), true, false).code,
                      EngineResult::Done);
        }
        EXPECT_GT(workerPumps, 0);
        EXPECT_EQ(uiPumps, 0);
        // Back with the interface's pump once the worker's box is done.
        EXPECT_EQ(ftp->countBoxFiles(localBox("naisen/201"), "/naisen/201", false).count, 4);
        EXPECT_GT(uiPumps, 0);
    }
}

TEST_F(DownloadTest, EnginesWithoutAConnectionFailAtOnce) {
    CFtpMng idle(FtpLogin{u"127.0.0.1", u"hozen", u"hozen", 1}, flags, Pump{});
    EXPECT_EQ(idle.countBoxFiles(boxFolder, "/rusuroku/101", false).code, EngineResult::CommFailure);
    EXPECT_EQ(idle.downloadBox("/rusuroku/101", boxFolder, false, false).code, EngineResult::CommFailure);
    EXPECT_EQ(idle.voiceDataSize("x", boxFolder, "/rusuroku/101").code, EngineResult::CommFailure);
    EXPECT_EQ(idle.deleteOnMainUnit(boxFolder, "/rusuroku/101/*.vminf"), TransferResult::Failed);
}

TEST_F(DownloadTest, VoiceDataSizeAndFetchOfOneVoiceFile) {
    std::string base = putMessage("naisen", "201", at(2026, 12, 6, 14, 0), 1);
    start();
    VoiceSizeResult size = ftp->voiceDataSize(base + ".vmdat", localBox("naisen/201"), "/naisen/201");
    EXPECT_EQ(size.code, EngineResult::Done);
    EXPECT_EQ(size.size, 4096u);
    EXPECT_EQ(
        ftp->voiceDataSize("202001010000_WED_0201_00009.vmdat", localBox("naisen/201"), "/naisen/201").size,
        std::nullopt);
    EXPECT_EQ(ftp->fetchVoiceData(localBox("naisen/201"), "/naisen/201", base + ".vmdat"),
              EngineResult::Done);
    EXPECT_TRUE(present("naisen/201", base + ".vmdat"));
    EXPECT_EQ(ftp->fetchVoiceData(localBox("naisen/201"), "/naisen/201", "../../../evil.vmdat"),
              EngineResult::CommFailure);
}

}  // namespace
}  // namespace voxmg
