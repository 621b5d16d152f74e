// Deleting selected messages and fetching their voice, against the main unit simulator.
#include "core/lists/delete_operation.h"

#include <set>

#include "core/device/download_fixture.h"
#include "core/device/sync_recorder.h"
#include "core/lists/voice_download.h"
#include "core/store/file_io.h"

namespace voxmg {
namespace {

namespace fs = std::filesystem;
using delete_op::DeleteKind;
using delete_op::DeleteRequest;
using delete_op::RowOutcome;
using test::at;

const std::u16string kDeleted = u"音声メッセージの消去が正常に完了しました。";
const std::u16string kAbsentOrProtected = u"音声メッセージがありません。\nまたは｢保護｣に設定されています。";
const std::u16string kNotDownloaded = u"音声ファイルがダウンロードされて\nいません。";

class DeleteTest : public test::DownloadTest {
protected:
    // A message as the main unit names it: answering boxes carry "R" before the number,
    // extension boxes pad it with "_".
    std::string putNamed(const std::string& kindBox, const std::string& code, int serial,
                         bool protect = false) {
        sim::HeaderFields h;
        h.protect = protect;
        h.recorded = at(2026, 12, 7, 9, serial);
        h.callerName = "caller";
        h.lengthTenths = 10;
        h.boxNumber = code.substr(0, 3);
        char serialText[8];
        std::snprintf(serialText, sizeof serialText, "%05d", serial);
        std::string base = sim::messageFileName(h.recorded, code, serialText, "");
        auto header = sim::encodeHeader(h);
        std::string head(header.begin(), header.end());
        test::writeFile(remote.file(kindBox + "/" + base + ".vmdat"), head + test::voiceFrames());
        test::writeFile(remote.file(kindBox + "/" + base + ".vminf"), head);
        return base;
    }

    void download(const std::string& kindBox, bool infoOnly = false) {
        const std::string dir = "/" + kindBox;
        BoxResult r = infoOnly ? ftp->downloadBoxInfoOnly(localBox(kindBox), dir)
                               : ftp->downloadBox(dir, localBox(kindBox), false, false);
        ASSERT_EQ(r.code, EngineResult::Done);
    }

    std::string voicePath(const std::string& kindBox, const std::string& base) const {
        return paths::join(localBox(kindBox), base + ".vmdat");
    }

    bool onUnit(const std::string& kindBox, const std::string& base) const {
        return fs::exists(remote.file(kindBox + "/" + base + ".vmdat"));
    }

    int deletes() const {
        int n = 0;
        for (const auto& line : simulator->commandLog()) {
            n += line.rfind("DELE", 0) == 0 ? 1 : 0;
        }
        return n;
    }

    delete_op::DeleteResult remove(std::vector<std::string> paths, DeleteKind kind, bool response = false) {
        return delete_op::run(DeleteRequest{std::move(paths), kind, response}, ftp.get(), flags, Pump{},
                              nullptr);
    }

    void protectLocally(const std::string& path) {
        CFileMng files(flags);
        FILESTS_INFO record;
        ASSERT_TRUE(files.readRecord(path, record));
        record.protect = 1;
        ASSERT_EQ(files.writeBackRecord(record, path), FileOp::Done);
    }
};

TEST(DeleteNames, BoxOfFileNameAndRemotePath) {
    struct Case {
        const char* name;
        const char* box;
    };
    for (const Case& c :
         {Case{"202612070901_MON_R001_00001.vmdat", "001"}, Case{"202612070901_MON_201__00001.vminf", "201"},
          Case{"202612070901_MON_0101_00001.vmdat", "0101"}, Case{"short.vmdat", ""}}) {
        EXPECT_EQ(delete_op::boxOfFileName(c.name), c.box) << c.name;
    }
    EXPECT_EQ(delete_op::remotePathOf("/d/本社/naisen/201/202612070901_MON_201__00001.vmdat", false),
              "/naisen/201/202612070901_MON_201__00001.vminf");
    EXPECT_EQ(delete_op::remotePathOf("/d/本社/rusuroku/001/202612070901_MON_R001_00001.vmdat", false),
              "/rusuroku/001/202612070901_MON_R001_00001.vminf");
    EXPECT_EQ(delete_op::remotePathOf("/d/本社/outou/202612070901_MON_A001_0000.vminf", true),
              "/outou/202612070901_MON_A001_0000.vmdat");
}

// Ways the PC's copy of a message can fall short of the main unit's.
enum class LocalCopy { InfoOnly, Truncated, Longer };

class UnitOnlyOnIncompleteCopy : public DeleteTest, public ::testing::WithParamInterface<LocalCopy> {};

TEST_P(UnitOnlyOnIncompleteCopy, IsRefusedAndLeavesTheMainUnitAlone) {
    fs::create_directories(remote.file("rusuroku/001"));
    fs::create_directories(localBox("rusuroku/001"));
    std::string base = putNamed("rusuroku/001", "R001", 1);
    start();
    download("rusuroku/001", GetParam() == LocalCopy::InfoOnly);
    std::string path = voicePath("rusuroku/001", base);
    if (GetParam() == LocalCopy::InfoOnly) {
        path = paths::join(localBox("rusuroku/001"), base + ".vminf");
    } else {
        const auto size = *fileio::fileSize(path);
        fs::resize_file(path, GetParam() == LocalCopy::Truncated ? size - 100 : size + 10);
    }

    auto result = remove({path}, DeleteKind::UnitOnly);

    EXPECT_EQ(result.summary.text, kNotDownloaded);
    EXPECT_EQ(result.summary.caption, u"エラー");
    EXPECT_EQ(deletes(), 0);
    EXPECT_TRUE(onUnit("rusuroku/001", base));
    EXPECT_TRUE(fs::exists(path));
}

INSTANTIATE_TEST_SUITE_P(Copies, UnitOnlyOnIncompleteCopy,
                         ::testing::Values(LocalCopy::InfoOnly, LocalCopy::Truncated, LocalCopy::Longer));

TEST_F(DeleteTest, ResponseUnitOnlyOnShortCopyIsRefused) {
    std::string base = putResponse(at(2026, 12, 7, 9, 0), 1);
    start();
    ASSERT_EQ(ftp->downloadResponseMessages(localBox("outou")).code, EngineResult::Done);
    const std::string path = voicePath("outou", base);
    fs::resize_file(path, *fileio::fileSize(path) - 10);

    auto result = remove({path}, DeleteKind::UnitOnly, true);

    EXPECT_EQ(result.summary.text, kNotDownloaded);
    EXPECT_EQ(deletes(), 0);
    EXPECT_TRUE(fs::exists(remote.file("outou/" + base + ".vmdat")));
}

TEST_F(DeleteTest, UnitOnlyKeepsTheLocalCopyMarkedDeletedOnTheUnit) {
    std::string base = putNamed("naisen/201", "201_", 1);
    start();
    download("naisen/201");
    const std::string path = voicePath("naisen/201", base);

    auto result = remove({path}, DeleteKind::UnitOnly);

    EXPECT_EQ(result.summary.text, kDeleted);
    EXPECT_EQ(result.summary.caption, u"消去完了");
    EXPECT_TRUE(result.success);
    EXPECT_FALSE(onUnit("naisen/201", base));
    EXPECT_TRUE(fs::exists(path));
    FILESTS_INFO record;
    ASSERT_TRUE(CFileMng(flags).readRecord(path, record));
    EXPECT_EQ(record.state, 3);
}

// The main unit's copy goes only once the PC's copy of that message is on the disk: a download
// names its files without syncing them.
struct UnitOnlyCase {
    const char* kindBox;
    bool response;
};

class UnitOnlySync : public DeleteTest, public ::testing::WithParamInterface<UnitOnlyCase> {
protected:
    // Two messages downloaded (nothing synced on the way); returns their base names.
    std::vector<std::string> downloadTwo() {
        const std::string kindBox = GetParam().kindBox;
        std::vector<std::string> bases;
        for (int i = 1; i <= 2; ++i) {
            bases.push_back(GetParam().response ? putResponse(at(2026, 12, 7, 9, i), i)
                                                : putNamed(kindBox, "201_", i));
        }
        start();
        DownloadEnv env = ftp->downloadEnv();
        env.writes = &recorder;
        ftp->setDownloadEnv(env);
        if (GetParam().response) {
            EXPECT_EQ(ftp->downloadResponseMessages(localBox(kindBox)).code, EngineResult::Done);
        } else {
            download(kindBox);
        }
        EXPECT_TRUE(recorder.syncs.empty());
        return bases;
    }
    bool onUnitHere(const std::string& base) const {
        return GetParam().response ? fs::exists(remote.file("outou/" + base + ".vmdat"))
                                   : onUnit(GetParam().kindBox, base);
    }

    test::SyncRecorder recorder{[this] { return deletes(); }};
};

TEST_P(UnitOnlySync, SyncsExactlyThatMessageAndItsFolderBeforeItsDele) {
    const std::vector<std::string> bases = downloadTwo();
    const std::string folder = localBox(GetParam().kindBox);

    auto result =
        remove({voicePath(GetParam().kindBox, bases[0])}, DeleteKind::UnitOnly, GetParam().response);

    EXPECT_TRUE(result.success);
    EXPECT_EQ(deletes(), 1);
    EXPECT_EQ(
        recorder.synced(false),
        (std::set<std::string>{test::SyncRecorder::canonical(paths::join(folder, bases[0] + ".vmdat")),
                               test::SyncRecorder::canonical(paths::join(folder, bases[0] + ".vminf"))}));
    EXPECT_EQ(recorder.synced(true), std::set<std::string>{test::SyncRecorder::canonical(folder)});
    EXPECT_TRUE(recorder.allBeforeAnyDeletion());
    EXPECT_FALSE(onUnitHere(bases[0]));
    EXPECT_TRUE(onUnitHere(bases[1]));
}

TEST_P(UnitOnlySync, ARefusedSyncKeepsTheMessageOnTheUnitAndTheConnection) {
    const std::vector<std::string> bases = downloadTwo();
    recorder.failing = true;

    auto result =
        remove({voicePath(GetParam().kindBox, bases[0])}, DeleteKind::UnitOnly, GetParam().response);

    EXPECT_EQ(result.rows.at(0).outcome, RowOutcome::NotDownloaded);
    EXPECT_EQ(result.summary.text, kNotDownloaded);
    EXPECT_FALSE(result.connectionLost);
    EXPECT_TRUE(ftp->connected());
    EXPECT_EQ(deletes(), 0);
    EXPECT_TRUE(onUnitHere(bases[0]));
    EXPECT_TRUE(fs::exists(voicePath(GetParam().kindBox, bases[0])));
}

INSTANTIATE_TEST_SUITE_P(Lists, UnitOnlySync,
                         ::testing::Values(UnitOnlyCase{"naisen/201", false}, UnitOnlyCase{"outou", true}),
                         [](const auto& info) { return info.param.response ? "Response" : "Extension"; });

class ProtectedMessage : public DeleteTest, public ::testing::WithParamInterface<DeleteKind> {};

TEST_P(ProtectedMessage, IsDeletedNowhere) {
    std::string base = putNamed("naisen/201", "201_", 1);
    start();
    download("naisen/201");
    const std::string path = voicePath("naisen/201", base);
    protectLocally(path);

    auto result = remove({path}, GetParam());

    EXPECT_EQ(result.summary.text, kAbsentOrProtected);
    EXPECT_EQ(result.rows.at(0).outcome, RowOutcome::Protected);
    EXPECT_EQ(deletes(), 0);
    EXPECT_TRUE(onUnit("naisen/201", base));
    EXPECT_TRUE(fs::exists(path));
    EXPECT_TRUE(fs::exists(paths::join(localBox("naisen/201"), base + ".vminf")));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProtectedMessage,
                         ::testing::Values(DeleteKind::UnitOnly, DeleteKind::Both, DeleteKind::PcOnly));

TEST_F(DeleteTest, MessageInUseStillLetsTheOthersGo) {
    std::vector<std::string> bases;
    for (int i = 1; i <= 3; ++i) {
        bases.push_back(putNamed("naisen/201", "201_", i));
    }
    sim::Faults faults;
    faults.inUse = {bases[1] + ".vminf", bases[1] + ".vmdat"};
    start(faults);
    download("naisen/201");
    std::vector<std::string> selected;
    for (const auto& base : bases) {
        selected.push_back(voicePath("naisen/201", base));
    }

    auto result = remove(selected, DeleteKind::Both);

    EXPECT_EQ(result.summary.text, u"一部の音声メッセージが消去できませんでした。\n(音声メッセージ使用中)。");
    EXPECT_EQ(result.summary.caption, u"消去完了");
    EXPECT_FALSE(onUnit("naisen/201", bases[0]));
    EXPECT_TRUE(onUnit("naisen/201", bases[1]));
    EXPECT_FALSE(onUnit("naisen/201", bases[2]));
    EXPECT_EQ(result.rows.at(1).outcome, RowOutcome::InUse);
    for (const auto& path : selected) {
        EXPECT_FALSE(fs::exists(path));  // "both" removes the PC's copies first
    }
}

TEST_F(DeleteTest, SingleRowInUseTextsDifferBetweenLists) {
    std::string base = putNamed("naisen/201", "201_", 1);
    std::string response = putResponse(at(2026, 12, 7, 9, 0), 1);
    sim::Faults faults;
    faults.inUse = {base + ".vminf", response + ".vmdat"};
    start(faults);
    download("naisen/201");
    ASSERT_EQ(ftp->downloadResponseMessages(localBox("outou")).code, EngineResult::Done);

    EXPECT_EQ(remove({voicePath("naisen/201", base)}, DeleteKind::UnitOnly).summary.text,
              u"音声メッセージは使用中のため\n消去できません。");
    EXPECT_EQ(remove({voicePath("outou", response)}, DeleteKind::UnitOnly, true).summary.text,
              u"音声メッセージは\n使用中のため消去できません。");
}

TEST_F(DeleteTest, ResponsePcDeleteRemovesEveryCompanionFile) {
    std::string base = putResponse(at(2026, 12, 7, 9, 0), 1);
    start();
    ASSERT_EQ(ftp->downloadResponseMessages(localBox("outou")).code, EngineResult::Done);
    // The import keeps the user's file in the case it had; a conversion adds ".wav".
    for (const char* ext : {".wav", ".WAV", ".wma", ".Wma"}) {
        test::writeFile(paths::join(localBox("outou"), base + ext), "x");
    }
    const std::string unrelated = paths::join(localBox("outou"), "inf.ini");
    test::writeFile(unrelated, "[INF]\r\n");

    auto result = remove({voicePath("outou", base), ""}, DeleteKind::PcOnly, true);

    EXPECT_EQ(result.summary.text, kDeleted);
    for (const char* ext : {".wav", ".WAV", ".vmdat", ".wma", ".Wma", ".vminf"}) {
        EXPECT_FALSE(fs::exists(paths::join(localBox("outou"), base + ext))) << ext;
    }
    EXPECT_TRUE(fs::exists(unrelated));
    EXPECT_TRUE(fs::exists(remote.file("outou/" + base + ".vmdat")));
}

TEST_F(DeleteTest, BackupTakingOverEndsAPcDeleteWithoutSummary) {
    std::string first = putNamed("naisen/201", "201_", 1);
    std::string second = putNamed("naisen/201", "201_", 2);
    start();
    download("naisen/201");
    int asked = 0;
    DeleteRequest request{{voicePath("naisen/201", first), voicePath("naisen/201", second)},
                          DeleteKind::PcOnly};
    request.interrupt = [&asked] { return ++asked == 1; };

    auto result = delete_op::run(request, nullptr, flags, Pump{}, nullptr);

    EXPECT_TRUE(result.interrupted);
    EXPECT_TRUE(result.summary.text.empty());
    EXPECT_FALSE(fs::exists(voicePath("naisen/201", first)));
    EXPECT_TRUE(fs::exists(voicePath("naisen/201", second)));
    EXPECT_FALSE(flags.gate.pauseRequested());
}

TEST_F(DeleteTest, CommunicationErrorClosesTheConnection) {
    std::string first = putNamed("naisen/201", "201_", 1);
    std::string second = putNamed("naisen/201", "201_", 2);
    start();
    download("naisen/201");
    simulator->stop();

    auto result = remove({voicePath("naisen/201", first), voicePath("naisen/201", second)}, DeleteKind::Both);

    EXPECT_EQ(result.summary.text, u"通信エラーが発生しました。");
    EXPECT_TRUE(result.connectionLost);
    EXPECT_FALSE(result.success);
    EXPECT_FALSE(ftp->connected());
    EXPECT_EQ(result.rows.at(0).outcome, RowOutcome::CommError);
    EXPECT_FALSE(flags.gate.pauseRequested());  // always-download resumes
    EXPECT_EQ(flags.suspendRequest.load(), 0);
}

TEST_F(DeleteTest, MainUnitPartWithoutAConnectionIsACommunicationError) {
    // The window may hold no connection any more when the user picks a main unit delete.
    std::string base = putNamed("naisen/201", "201_", 1);
    start();
    download("naisen/201");
    const std::string voice = voicePath("naisen/201", base);

    for (DeleteKind kind : {DeleteKind::UnitOnly, DeleteKind::Both}) {
        auto result = delete_op::run(DeleteRequest{{voice}, kind}, nullptr, flags, Pump{}, nullptr);

        EXPECT_EQ(result.summary.text, u"通信エラーが発生しました。");
        EXPECT_TRUE(result.connectionLost);
        EXPECT_FALSE(result.success);
        EXPECT_EQ(result.rows.at(0).outcome, RowOutcome::CommError);
        EXPECT_EQ(deletes(), 0);
        EXPECT_TRUE(onUnit("naisen/201", base));
        EXPECT_FALSE(flags.gate.pauseRequested());
    }
}

TEST_F(DeleteTest, FileOfAnotherBoxIsNotDeletedOnTheUnit) {
    std::string base = putNamed("naisen/201", "202_", 1);
    start();
    download("naisen/201");

    auto result = remove({voicePath("naisen/201", base)}, DeleteKind::UnitOnly);

    EXPECT_EQ(result.summary.text, kAbsentOrProtected);
    EXPECT_EQ(deletes(), 0);
}

TEST_F(DeleteTest, FetchedVoiceArrivesComplete) {
    std::string kept = putNamed("naisen/201", "201_", 1);
    std::string gone = putNamed("naisen/201", "201_", 2);
    start();
    download("naisen/201", true);
    fs::remove(remote.file("naisen/201/" + gone + ".vmdat"));
    const std::string info = paths::join(localBox("naisen/201"), kept + ".vminf");

    auto one = voice_download::run({info}, *ftp, flags, Pump{}, nullptr);
    EXPECT_EQ(one.messages.at(0).text, u"ファイルのダウンロードが正常に完了しました。");
    EXPECT_TRUE(one.success);
    const auto listed = fs::file_size(remote.file("naisen/201/" + kept + ".vmdat"));
    EXPECT_TRUE(CFileMng(flags).isCompleteDownload(voicePath("naisen/201", kept), listed));

    auto both = voice_download::run({info, paths::join(localBox("naisen/201"), gone + ".vminf")}, *ftp, flags,
                                    Pump{}, nullptr);
    ASSERT_EQ(both.messages.size(), 1u);
    EXPECT_EQ(both.messages[0].text,
              u"一部の音声ファイルがダウンロードできませんでした\n(音声ファイルなし)。");
    EXPECT_EQ(both.messages[0].caption, u"ダウンロード完了");
    EXPECT_FALSE(both.success);

    auto noRoom = voice_download::run({info}, *ftp, flags, Pump{}, nullptr,
                                      [](const std::string&) { return std::optional<std::uint64_t>(100); });
    EXPECT_EQ(noRoom.messages.at(0).text, u"ＰＣのメモリ不足です。");
    EXPECT_FALSE(noRoom.refreshList);
}

// A voice file of the main unit that is no message is left there and named; the connection
// stays, and the other messages still come.
TEST_F(DeleteTest, AVoiceFileThatIsNoMessageIsPassedOver) {
    std::string broken = putNamed("naisen/201", "201_", 1);
    std::string good = putNamed("naisen/201", "201_", 2);
    start();
    download("naisen/201", true);
    test::writeFile(remote.file("naisen/201/" + broken + ".vmdat"), std::string(600, 'x'));
    const std::string folder = localBox("naisen/201");

    auto result =
        voice_download::run({paths::join(folder, broken + ".vminf"), paths::join(folder, good + ".vminf")},
                            *ftp, flags, Pump{}, nullptr);
    ASSERT_EQ(result.messages.size(), 2u);
    EXPECT_EQ(
        result.messages[0].text,
        u"主装置の次のファイルは音声メッセージとして読めないため、\nダウンロードせずに主装置に残しました："
        u"\n/naisen/201/" +
            text::utf16FromUtf8(broken) + u".vmdat");
    EXPECT_EQ(result.messages[1].text, u"ファイルのダウンロードが正常に完了しました。");
    EXPECT_FALSE(result.connectionLost);
    EXPECT_EQ(result.rows[0].outcome, voice_download::RowOutcome::Malformed);
    EXPECT_EQ(result.rows[1].outcome, voice_download::RowOutcome::Fetched);
    EXPECT_FALSE(fs::exists(voicePath("naisen/201", broken)));
    EXPECT_TRUE(fs::exists(remote.file("naisen/201/" + broken + ".vmdat")));
}

}  // namespace
}  // namespace voxmg
