// Importing audio files as response messages, and uploading response messages
// to the main unit simulator.
#include <cmath>

#include "core/audio/audio_test_support.h"
#include "core/audio/encoding_engine.h"
#include "core/device/download_fixture.h"
#include "core/lists/list_rows.h"
#include "core/lists/response_import.h"
#include "core/lists/response_upload.h"
#include "core/store/byte_order.h"
#include "core/store/file_io.h"

namespace voxmg {
namespace {

namespace fs = std::filesystem;
using response_import::ImportOutcome;
using response_upload::RowOutcome;
using test::at;

const std::u16string kUnsupported = u"このフォーマットには対応していません。";
const std::u16string kUploaded = u"アップロードが完了しました。";

// `seconds` of a 300 Hz tone as 16-bit PCM.
std::vector<std::int16_t> tone(double seconds, int rate = 8000, int channels = 1) {
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(seconds * rate) *
                                  static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const double t = static_cast<double>(i / static_cast<std::size_t>(channels)) / rate;
        pcm[i] = static_cast<std::int16_t>(6000 * std::sin(2 * M_PI * 300.0 * t));
    }
    return pcm;
}

std::vector<std::uint8_t> wavFile(double seconds, int rate = 8000, int channels = 1) {
    const auto pcm = tone(seconds, rate, channels);
    auto bytes =
        audio::testing::wavHeader(static_cast<std::uint16_t>(channels), static_cast<std::uint32_t>(rate), 16,
                                  static_cast<std::uint32_t>(pcm.size() * 2));
    for (std::int16_t s : pcm) {
        audio::testing::putLe16(bytes, static_cast<std::uint16_t>(s));
    }
    return bytes;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Passes its positions on, so a test can cancel in the middle of a conversion.
class Steps : public ProgressSink {
public:
    void beforeConversion() override { ++conversions; }
    void setPosition(int position) override {
        if (onPosition) {
            onPosition(position);
        }
    }
    int conversions = 0;
    std::function<void(int)> onPosition;
};

class ResponseTest : public test::DownloadTest {
protected:
    std::string outou() const { return localBox("outou"); }

    std::string source(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = sources.file(name);
        audio::testing::writeFile(path, bytes);
        return path;
    }

    response_import::ImportResult import(const std::string& file, int slot, bool replace,
                                         const std::tm& when = at(2026, 12, 7, 13, 5)) {
        response_import::ImportRequest request;
        request.responseFolder = outou();
        request.slot = slot;
        request.source = file;
        request.replace = replace;
        request.now = [when] { return when; };
        request.freeSpace = [this](const std::string&) { return freeBytes; };
        request.duration = duration;
        return response_import::run(request, encoder, {flags, Pump{}, &steps});
    }

    std::string imported(int slot, const std::tm& when = at(2026, 12, 7, 12, 0)) {
        auto result = import(source("slot.wav", wavFile(0.5)), slot, false, when);
        EXPECT_EQ(result.outcome, ImportOutcome::Imported);
        return result.voicePath;
    }

    FILESTS_INFO recordOf(const std::string& path) {
        FILESTS_INFO record;
        EXPECT_TRUE(CFileMng(flags).readRecord(path, record));
        return record;
    }

    test::TempFolder sources;
    test::TempFolder work;
    audio::EncodingEngine encoder{work.path()};
    Steps steps;
    std::optional<std::uint64_t> freeBytes = std::uint64_t{1} << 40;
    audio::DurationProbe duration = &audio::ffmpegDurationMs;
};

// ---- import

TEST_F(ResponseTest, ImportIntoEmptySlotNamesHeadsAndListsTheMessage) {
    flags.cancelAll = 1;  // left by a logout: no cancel of this import
    // 1.23 s: 123 frames of 10 bytes, of which whole 100 ms blocks (1200 bytes)
    // are kept.
    auto result = import(source("greeting.wav", wavFile(1.23)), 5, false);
    ASSERT_EQ(result.outcome, ImportOutcome::Imported);
    EXPECT_EQ(result.summary.text, u"音声ファイルの読み込みが完了しました。");
    EXPECT_EQ(result.summary.caption, u"取り込み完了");
    EXPECT_EQ(steps.conversions, 1);
    // 7 December 2026 is a Monday; the user's file stays as the message's ".WAV".
    EXPECT_EQ(namesIn(outou()), (std::vector<std::string>{"202612071305_MON_A005_0000.WAV",
                                                          "202612071305_MON_A005_0000.vmdat"}));
    const auto bytes = *fileio::readAll(result.voicePath);
    ASSERT_EQ(bytes.size(), kFramesOffset + 1200);
    const auto header = std::span(bytes).subspan(kRecordSize, kUnitHeaderSize);
    EXPECT_EQ(std::string(header.begin(), header.begin() + 16), "Zu-QX Voice-data");
    EXPECT_EQ(bytes::readBe32(header, 130), 12u);  // tenths of a second
    EXPECT_EQ(bytes::readBe16(header, 134), 5u);
    EXPECT_EQ(std::string(header.begin() + 138, header.begin() + 141), "005");

    ListRows rows(flags.cancelAll);
    rows.buildResponseList(boxFolder, {});
    EXPECT_FALSE(rows.emptySlot(4));
    EXPECT_EQ(rows.record(4).boxNumberText().substr(0, 3), u"005");
    EXPECT_EQ(FILESTS_INFO::text(rows.record(4).length), u"00:00:01");
    EXPECT_EQ(rows.record(4).pathUtf8(), result.voicePath);
}

TEST_F(ResponseTest, OccupiedSlotIsReplacedOnlyWhenAsked) {
    auto first = import(source("old.wav", wavFile(0.5)), 7, false, at(2026, 12, 6, 9, 0));
    ASSERT_EQ(first.outcome, ImportOutcome::Imported);
    audio::testing::writeFile(paths::join(outou(), "202612060900_SUN_A007_0000.wav"), wavFile(0.5));
    const auto before = namesIn(outou());

    auto refused = import(source("new.WAV", wavFile(0.7)), 7, false);
    EXPECT_EQ(refused.outcome, ImportOutcome::SlotTaken);
    EXPECT_EQ(namesIn(outou()), before);

    auto replaced = import(source("new.WAV", wavFile(0.7)), 7, true);
    ASSERT_EQ(replaced.outcome, ImportOutcome::Imported);
    EXPECT_EQ(replaced.replacedPath, first.voicePath);
    // The old voice file and both of its WAV files are gone.
    EXPECT_EQ(namesIn(outou()), (std::vector<std::string>{"202612071305_MON_A007_0000.WAV",
                                                          "202612071305_MON_A007_0000.vmdat"}));

    // Again within the same minute: the same names, and the WAV converted from
    // the message before goes, so nothing plays the old sound.
    audio::testing::writeFile(paths::join(outou(), "202612071305_MON_A007_0000.wav"), wavFile(0.5));
    auto again = import(source("again.wav", wavFile(0.9)), 7, true);
    ASSERT_EQ(again.outcome, ImportOutcome::Imported);
    EXPECT_EQ(namesIn(outou()), (std::vector<std::string>{"202612071305_MON_A007_0000.WAV",
                                                          "202612071305_MON_A007_0000.vmdat"}));
    EXPECT_EQ(*fileio::fileSize(again.voicePath), kFramesOffset + 900);
}

TEST_F(ResponseTest, WmaImportsThroughTheDecoder) {
    const std::string wma = sources.file("hello.wma");
    const std::string command =
        "ffmpeg -v quiet -y -f lavfi -i sine=frequency=300:duration=1.5 -ac 1 "
        "-c:a wmav2 '" +
        wma + "'";
    if (std::system(command.c_str()) != 0) {
        GTEST_SKIP() << "ffmpeg cannot write WMA here";
    }
    auto result = import(wma, 300, false);
    ASSERT_EQ(result.outcome, ImportOutcome::Imported);
    EXPECT_EQ(paths::fileName(result.voicePath), "202612071305_MON_A300_0000.vmdat");
    EXPECT_TRUE(fs::exists(paths::join(outou(), "202612071305_MON_A300_0000.WMA")));
    const auto size = *fileio::fileSize(result.voicePath) - kFramesOffset;
    EXPECT_EQ(size % 100, 0u);
    EXPECT_GE(size, 1400u);
}

struct RefusalCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int slot;
    std::uint64_t free;
    ImportOutcome outcome;
    const char16_t* text;
};

class ImportRefusal : public ResponseTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ImportRefusal, LeavesTheFolderAlone) {
    const RefusalCase& c = GetParam();
    freeBytes = c.free;
    auto result = import(source(c.name, c.bytes), c.slot, false);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.summary.text, c.text);
    EXPECT_EQ(result.summary.caption, u"エラー");
    EXPECT_TRUE(fs::is_empty(outou()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ImportRefusal,
    ::testing::Values(
        RefusalCase{"stereo.wav", wavFile(0.5, 8000, 2), 1, 1 << 30, ImportOutcome::Unsupported,
                    u"このフォーマットには対応していません。"},
        RefusalCase{"wide.wav", wavFile(0.5, 16000), 1, 1 << 30, ImportOutcome::Unsupported,
                    u"このフォーマットには対応していません。"},
        RefusalCase{"tone.mp3", wavFile(0.5), 1, 1 << 30, ImportOutcome::Unsupported,
                    u"このフォーマットには対応していません。"},
        RefusalCase{"fake.wma",
                    {1, 2, 3, 4},
                    1,
                    1 << 30,
                    ImportOutcome::Unsupported,
                    u"このフォーマットには対応していません。"},
        // 8044 bytes need two clusters of 4096.
        RefusalCase{"full.wav", wavFile(0.5), 1, 8191, ImportOutcome::NoSpace, u"ＰＣのメモリ不足です。"},
        RefusalCase{"short.wav", wavFile(0.05), 2, 1 << 30, ImportOutcome::NoFrames,
                    u"ＰＣのメモリ不足です。"},
        RefusalCase{"slot.wav", wavFile(0.5), 301, 1 << 30, ImportOutcome::BadSlot, u"選択されていません。"}),
    [](const auto& info) {
        std::string name = info.param.name;
        return name.substr(0, name.find('.'));
    });

TEST_F(ResponseTest, FailedOrCancelledConversionLeavesNothingBehind) {
    // A file the length probe accepts but the decoder cannot read.
    duration = [](const std::string&) { return std::optional<std::int64_t>(1000); };
    auto broken = import(source("broken.wma", {1, 2, 3, 4}), 3, false);
    EXPECT_EQ(broken.outcome, ImportOutcome::Unsupported);
    EXPECT_EQ(broken.summary.text, kUnsupported);
    EXPECT_TRUE(fs::is_empty(outou()));

    steps.onPosition = [this](int) { flags.cancelAll = 1; };
    auto cancelled = import(source("long.wav", wavFile(60)), 3, false);
    EXPECT_EQ(cancelled.outcome, ImportOutcome::Cancelled);
    EXPECT_TRUE(cancelled.summary.text.empty());
    EXPECT_TRUE(fs::is_empty(outou()));
}

// キャンセル of a re-import into the same slot within the same minute: the new audio copy would
// have the old one's name, and the old message keeps its copy untouched.
TEST_F(ResponseTest, CancelledReimportInTheSameMinuteKeepsTheOldCopy) {
    auto first = import(source("old.WAV", wavFile(0.5)), 4, false);
    ASSERT_EQ(first.outcome, ImportOutcome::Imported);
    const std::string copy = paths::join(outou(), "202612071305_MON_A004_0000.WAV");
    const auto before = *fileio::readAll(copy);
    const auto names = namesIn(outou());

    steps.onPosition = [this](int) { flags.cancelAll = 1; };
    auto cancelled = import(source("new.WAV", wavFile(30)), 4, true);
    EXPECT_EQ(cancelled.outcome, ImportOutcome::Cancelled);
    EXPECT_EQ(namesIn(outou()), names);
    EXPECT_EQ(*fileio::readAll(copy), before);
}

// What killed imports leave: their work folders, and audio copies whose message
// never got into place. The next import clears them; other messages' copies and
// files stay.
TEST_F(ResponseTest, ImportClearsWhatKilledImportsLeft) {
    const std::string kept = imported(2);
    const std::string keptCopy = kept.substr(0, kept.size() - 5) + "WAV";
    fs::create_directories(outou() + "/.import-Ab12Cd");
    test::writeFile(outou() + "/.import-Ab12Cd/frames", "half");
    test::writeFile(outou() + "/.import-Zz99Yy", "a stray work file");
    for (const char* orphan : {"202612071301_MON_A009_0000.WAV", "202612071302_MON_A010_0000.wav",
                               "202612071303_MON_A011_0000.WMA"}) {
        test::writeFile(outou() + "/" + orphan, "audio copy of a message never put in place");
    }
    const std::string infoOnly = outou() + "/202612071304_MON_A012_0000.vminf";
    test::writeFile(infoOnly, "recording info");

    auto result = import(source("next.wav", wavFile(0.5)), 5, false);
    ASSERT_EQ(result.outcome, ImportOutcome::Imported);
    EXPECT_EQ(namesIn(outou()), (std::vector<std::string>{
                                    std::string(paths::fileName(keptCopy)),
                                    std::string(paths::fileName(kept)), "202612071304_MON_A012_0000.vminf",
                                    "202612071305_MON_A005_0000.WAV", "202612071305_MON_A005_0000.vmdat"}));
}

// ---- upload

class UploadTest : public ResponseTest {
protected:
    response_upload::UploadResult upload(std::vector<std::string> paths) {
        return response_upload::run({std::move(paths)}, *ftp, flags, Pump{}, nullptr);
    }

    std::string onUnit(const std::string& voicePath) const {
        return test::readFile(remote.file("outou/" + std::string(paths::fileName(voicePath))));
    }
    std::string unitPart(const std::string& voicePath) const {
        return test::readFile(voicePath).substr(kRecordSize);
    }
    int stores() const {
        int n = 0;
        for (const auto& line : simulator->commandLog()) {
            n += line.rfind("STOR", 0) == 0 ? 1 : 0;
        }
        return n;
    }
};

TEST_F(UploadTest, EmptySlotsAreCompletedWithoutStoring) {
    start();
    auto result = upload({"", ""});
    EXPECT_EQ(result.summary.text, kUploaded);
    EXPECT_EQ(result.summary.caption, u"アップロード完了");
    EXPECT_TRUE(result.success);
    EXPECT_EQ(stores(), 0);
}

TEST_F(UploadTest, RefusedSlotStaysUnmarkedAndTheOthersGoUp) {
    const std::string first = imported(1);
    const std::string second = imported(2);
    sim::Faults faults;
    faults.inUse = {std::string(paths::fileName(second))};
    start(faults);

    auto result = upload({first, "", second});
    EXPECT_EQ(result.summary.text, u"一部のファイルをアップロード\nできませんでした。");
    EXPECT_EQ(result.summary.caption, u"エラー");
    EXPECT_EQ(result.uploaded, 1);
    EXPECT_EQ(result.rows[0].outcome, RowOutcome::Uploaded);
    EXPECT_EQ(result.rows[1].outcome, RowOutcome::Skipped);
    EXPECT_EQ(result.rows[2].outcome, RowOutcome::Refused);
    EXPECT_EQ(recordOf(first).played, 1);
    EXPECT_EQ(recordOf(second).played, 0);
    EXPECT_EQ(onUnit(first), unitPart(first));

    // One row alone: the refusal text, warning.
    auto single = upload({second});
    EXPECT_EQ(single.summary.text,
              u"メッセージを使用中か主装置の容量不足\nもしくはアップロードするメ"
              u"ッセージが古いため、\nアップロード"
              u"できませんでした。");
    EXPECT_EQ(single.summary.icon, UserMessage::Icon::Exclamation);
    auto gone = upload({paths::join(outou(), "202601010000_THU_A009_0000.vmdat")});
    EXPECT_EQ(gone.rows[0].outcome, RowOutcome::Missing);
    EXPECT_EQ(gone.summary.text, single.summary.text);
}

struct BrokenStore {
    const char* name;
    sim::Faults faults;
};

sim::Faults broken(long dropAfter, bool silent, int endCode) {
    sim::Faults faults;
    faults.dropDataAfterBytes = dropAfter;
    faults.silentAfterStore = silent;
    if (endCode != 0) {
        faults.transferEndCodes["STOR"] = endCode;
    }
    return faults;
}

// A main unit that says 226 before it has the data: at once after 150, or after
// reading part.
sim::Faults lying(bool early, long keeps) {
    sim::Faults faults;
    faults.storeCompleteEarly = early;
    faults.dropDataAfterBytes = keeps;
    faults.claimCompleteAfterDrop = true;
    return faults;
}

class BrokenUpload : public UploadTest, public ::testing::WithParamInterface<BrokenStore> {};

TEST_P(BrokenUpload, IsNoSuccess) {
    const std::string path = imported(4);
    // Marked as uploaded by an earlier run: a broken store must take the mark
    // away.
    FILESTS_INFO record = recordOf(path);
    record.played = 1;
    CFileMng(flags).writeBackRecord(record, path);
    start(GetParam().faults);
    // A store's final reply may take minutes; here a second is plenty.
    FtpTimeouts timeouts = FtpTimeouts{}.dividedBy(20);
    timeouts.longReply = std::chrono::milliseconds(1000);
    ftp = std::make_unique<CFtpMng>(FtpLogin{u"127.0.0.1", u"hozen", u"hozen", simulator->port()}, flags,
                                    Pump{}, timeouts);
    ASSERT_EQ(ftp->connectAndLogin(), LoginResult::LoggedIn);

    auto result = upload({path});
    EXPECT_EQ(result.rows[0].outcome, RowOutcome::CommError);
    EXPECT_TRUE(result.connectionLost);
    EXPECT_FALSE(ftp->connected());
    EXPECT_EQ(result.summary.text, u"通信エラーが発生しました。");
    EXPECT_EQ(recordOf(path).played, 0);
}

INSTANTIATE_TEST_SUITE_P(Table, BrokenUpload,
                         ::testing::Values(BrokenStore{"DataDroppedMidway", broken(300, false, 0)},
                                           BrokenStore{"NoFinalReply", broken(-1, true, 0)},
                                           BrokenStore{"FinalReply451", broken(-1, false, 451)},
                                           BrokenStore{"FinalReply150", broken(-1, false, 150)},
                                           BrokenStore{"CompleteBeforeReading", lying(true, 0)},
                                           BrokenStore{"CompleteEarlyKeptPart", lying(true, 100)},
                                           BrokenStore{"CompleteAfterPart", lying(false, 100)}),
                         [](const auto& info) { return std::string(info.param.name); });

// The listing is the proof: an early 226 from a main unit that then reads every
// byte is an upload like any other.
TEST_F(UploadTest, EarlyAnswerCountsOnceTheWholeFileIsListed) {
    const std::string path = imported(6);
    start(lying(true, -1));
    auto result = upload({path});
    EXPECT_EQ(result.rows[0].outcome, RowOutcome::Uploaded);
    EXPECT_EQ(result.summary.text, kUploaded);
    EXPECT_EQ(onUnit(path), unitPart(path));
    EXPECT_EQ(recordOf(path).played, 1);
}

TEST_F(UploadTest, CancelKeepsTheTruthOfTheRowReached) {
    const std::string first = imported(1);
    const std::string second = imported(2);
    start();
    // Cancelled while the first store is under way: it is not marked, the second
    // not reached.
    auto result = response_upload::run(
        {{first, second}}, *ftp, flags, [this] { flags.cancelAll = 1; }, nullptr);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.summary.text.empty());
    EXPECT_EQ(result.rows[1].outcome, RowOutcome::Skipped);
    EXPECT_EQ(recordOf(first).played, result.rows[0].outcome == RowOutcome::Uploaded ? 1 : 0);
    EXPECT_EQ(recordOf(second).played, 0);
}

}  // namespace
}  // namespace voxmg
