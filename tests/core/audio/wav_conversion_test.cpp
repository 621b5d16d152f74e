#include "core/audio/wav_conversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "audio_test_support.h"
#include "core/audio/gain.h"
#include "fake_codec.h"

namespace voxmg::audio {
namespace {

using namespace testing;

class RecordingProgress : public ProgressSink {
public:
    void setRange(int range) override { ranges.push_back(range); }
    void setPosition(int position) override { positions.push_back(position); }
    std::vector<int> ranges;
    std::vector<int> positions;
};

class WavConversionTest : public ::testing::Test {
protected:
    std::shared_ptr<DecoderLog> log = std::make_shared<DecoderLog>();
    DecodingEngine engine{fakeDecoderFactory(log)};
    TempFolder dir;
    Flags flags;
    CallerContext caller{flags, {}, nullptr};

    std::string voiceFile(const std::vector<std::uint8_t>& frames, const std::string& name = "msg.vmdat") {
        const std::string path = dir.file(name);
        writeFile(path, voiceDataFile(frames));
        return path;
    }
    int convert(const std::string& path, int gain = 0, const WavSaveSettings& save = {}) {
        return convertVoiceFileToWav(engine, path, gain, save, caller);
    }
};

TEST_F(WavConversionTest, HeaderOnlyFileFailsAndLeavesOnlyTheVoiceData) {
    const std::string path = voiceFile({});
    EXPECT_EQ(convert(path), 0);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"msg.vmdat"});
    EXPECT_EQ(engine.status(), Status::idle);
}

TEST_F(WavConversionTest, TruncatedOrMissingFileFails) {
    std::vector<std::uint8_t> shortFile(1245, 0);
    writeFile(dir.file("short.vmdat"), shortFile);
    writeFile(dir.file("empty.vmdat"), "");
    EXPECT_EQ(convert(dir.file("short.vmdat")), 0);
    EXPECT_EQ(convert(dir.file("empty.vmdat")), 0);
    EXPECT_EQ(convert(dir.file("missing.vmdat")), 0);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"empty.vmdat", "short.vmdat"}));
    EXPECT_EQ(log->contexts, 0);
}

struct FrameCountCase {
    std::size_t frames;
    std::uint32_t samples;
};

class FrameCountTest : public WavConversionTest, public ::testing::WithParamInterface<FrameCountCase> {};

TEST_P(FrameCountTest, WavHoldsEightySamplesPerFrame) {
    const std::string path = voiceFile(codedFrames(GetParam().frames));
    ASSERT_EQ(convert(path), 1);
    const std::vector<std::uint8_t> wav = readBytes(dir.file("msg.wav"));
    ASSERT_EQ(wav.size(), 44 + 2 * GetParam().samples);
    EXPECT_EQ(le32At(wav, 4), 36 + 2 * GetParam().samples);
    EXPECT_EQ(le32At(wav, 40), 2 * GetParam().samples);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"msg.vmdat", "msg.wav"}));
    EXPECT_EQ(log->contexts, 1);
}

INSTANTIATE_TEST_SUITE_P(Blocks, FrameCountTest,
                         ::testing::Values(FrameCountCase{1, 80}, FrameCountCase{40, 3200},
                                           FrameCountCase{41, 3280}, FrameCountCase{400, 32000}));

TEST_F(WavConversionTest, TrailingPartialFrameIsIgnored) {
    std::vector<std::uint8_t> frames = codedFrames(3);
    frames.insert(frames.end(), {1, 2, 3, 4, 5, 6, 7});
    ASSERT_EQ(convert(voiceFile(frames)), 1);
    EXPECT_EQ(wavSamples(readBytes(dir.file("msg.wav"))).size(), 240u);
}

TEST_F(WavConversionTest, FramesReachTheCodecInFileOrderAndZeroWordsMarkErasure) {
    // Frame 0: no zero word. Frame 1: third word (bytes 4 and 5) zero. Frame 2: one zero
    // byte in each word, which is not a zero word. Frame 3: all zero.
    const std::vector<std::uint8_t> frames = {
        0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x01, 0x02,  //
        0x12, 0x34, 0x56, 0x78, 0x00, 0x00, 0xDE, 0xF0, 0x01, 0x02,  //
        0x00, 0x01, 0x02, 0x00, 0x00, 0x03, 0x04, 0x00, 0x00, 0x05,  //
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    };
    ASSERT_EQ(convert(voiceFile(frames)), 1);
    ASSERT_EQ(log->calls.size(), 4u);
    for (std::size_t f = 0; f < 4; ++f) {
        EXPECT_TRUE(
            std::equal(log->calls[f].frame.begin(), log->calls[f].frame.end(), frames.begin() + f * 10))
            << "frame " << f;
    }
    EXPECT_FALSE(log->calls[0].erased);
    EXPECT_TRUE(log->calls[1].erased);
    EXPECT_FALSE(log->calls[2].erased);
    EXPECT_TRUE(log->calls[3].erased);
}

TEST_F(WavConversionTest, GainSettingScalesTheDecodedSamples) {
    log->outputSample = 20000;
    ASSERT_EQ(convert(voiceFile(codedFrames(2)), 6), 1);
    for (std::int16_t s : wavSamples(readBytes(dir.file("msg.wav")))) {
        ASSERT_EQ(s, 32767);
    }
    ASSERT_EQ(convert(voiceFile(codedFrames(2)), 250), 1);
    EXPECT_EQ(wavSamples(readBytes(dir.file("msg.wav"))).front(), 10023);  // 20000 * 10^(-6/20)
}

TEST_F(WavConversionTest, WavSaveFolderTakesTheWavWhenEnabled) {
    const std::string out = dir.file("saved");
    std::filesystem::create_directory(out);
    const std::string path = voiceFile(codedFrames(5));
    ASSERT_EQ(convert(dir.path() + "//msg.vmdat", 0, WavSaveSettings{1, out}), 1);
    EXPECT_TRUE(std::filesystem::exists(out + "/msg.wav"));
    EXPECT_FALSE(std::filesystem::exists(out + "/msg.tmp"));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"msg.vmdat", "saved"}));
    // Any value but 1 keeps the WAV beside the voice data.
    ASSERT_EQ(convert(path, 0, WavSaveSettings{2, out}), 1);
    EXPECT_TRUE(std::filesystem::exists(dir.file("msg.wav")));
}

TEST(WavTargetsTest, NamesComeFromTheVoiceDataName) {
    const WavTargets beside = wavTargetsFor("/data//box/a.vmdat", {});
    EXPECT_EQ(beside.frameFile, "/data/box/a.tmp");
    EXPECT_EQ(beside.wavFile, "/data/box/a.wav");
    const WavTargets saved = wavTargetsFor("/data/box/a.vmdat", {1, "/wav"});
    EXPECT_EQ(saved.wavFile, "/wav/a.wav");
    // An empty save folder would mean the file system root.
    EXPECT_EQ(wavTargetsFor("/data/box/a.vmdat", {1, ""}).wavFile, "/data/box/a.wav");
    // A name without the voice data ending never yields the source's own name.
    const WavTargets odd = wavTargetsFor("/data/box/a.tmp", {});
    EXPECT_EQ(odd.frameFile, "/data/box/a.tmp.tmp");
}

// An imported response message keeps the user's WAV file as ".WAV": converting or playing it
// takes that file as the message's WAV instead of writing a second one beside it.
TEST_F(WavConversionTest, AWavBesideInAnotherCaseIsTheMessagesWav) {
    const std::string voice = dir.file("20261207090000001.vmdat");
    writeFile(dir.file("20261207090000001.WAV"), "RIFF");
    writeFile(dir.file("20261207090000001x.wav"), "RIFF");  // another message's
    EXPECT_EQ(wavTargetsFor(voice, {}).wavFile, dir.file("20261207090000001.WAV"));
    EXPECT_EQ(wavTargetsFor(voice, {1, "/wav"}).wavFile, "/wav/20261207090000001.wav");
    writeFile(dir.file("20261207090000001.wav"), "RIFF");
    EXPECT_EQ(wavTargetsFor(voice, {}).wavFile, dir.file("20261207090000001.wav"));
}

TEST_F(WavConversionTest, CancelRemovesFrameFileAndPartialWav) {
    log->slowFrame = 50;  // past the first block, so the WAV file has begun
    const std::string path = voiceFile(codedFrames(400));
    caller.pump = [&] {
        std::lock_guard guard(log->lock);
        if (log->calls.size() > 50) {
            flags.cancelAll = 1;
        }
    };
    EXPECT_EQ(convert(path), 0);
    EXPECT_LT(log->calls.size(), 400u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"msg.vmdat"});
    EXPECT_EQ(engine.status(), Status::idle);
}

TEST_F(WavConversionTest, JobLeftRunningByAnotherCallerIsCancelledAndRetried) {
    log->slowFrame = 0;
    writeFile(dir.file("other.tmp"), codedFrames(400));
    ASSERT_EQ(engine.start(dir.file("other.tmp"), dir.file("other.wav"), 0), StartResult::ok);
    for (bool decoding = false; !decoding;) {  // a job still at "started" would be left alone
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::lock_guard guard(log->lock);
        decoding = !log->calls.empty();
    }
    ASSERT_EQ(convert(voiceFile(codedFrames(3))), 1);
    EXPECT_EQ(wavSamples(readBytes(dir.file("msg.wav"))).size(), 240u);
    EXPECT_EQ(log->contexts, 2);
}

TEST_F(WavConversionTest, CodecThatCannotStartFailsCleanly) {
    DecodingEngine broken([]() -> std::unique_ptr<FrameDecoder> { return nullptr; });
    EXPECT_EQ(convertVoiceFileToWav(broken, voiceFile(codedFrames(3)), 0, {}, caller), 0);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"msg.vmdat"});
    EXPECT_EQ(broken.status(), Status::idle);
}

TEST_F(WavConversionTest, ProgressRangeIsSecondsOfSpeechAndPositionStaysWithinIt) {
    RecordingProgress progress;
    caller.progress = &progress;
    ASSERT_EQ(convert(voiceFile(codedFrames(250))), 1);
    EXPECT_EQ(progress.ranges, std::vector<int>{2});
    ASSERT_FALSE(progress.positions.empty());
    for (int p : progress.positions) {
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 2);
    }
}

TEST_F(WavConversionTest, UnwritableWavFolderFailsWithoutLeftovers) {
    const std::string path = voiceFile(codedFrames(5));
    EXPECT_EQ(convert(path, 0, WavSaveSettings{1, dir.file("no/such/folder")}), 0);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"msg.vmdat"});
}

}  // namespace
}  // namespace voxmg::audio
