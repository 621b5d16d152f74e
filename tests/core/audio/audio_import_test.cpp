#include "core/audio/audio_import.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <latch>
#include <thread>

#include <sys/stat.h>

#include "audio_test_support.h"
#include "fake_codec.h"

namespace voxmg::audio {
namespace {

using namespace testing;

// ---- prechecks ----

struct WavHeaderCase {
    const char* name;
    std::uint16_t channels;
    std::uint32_t rate;
    std::uint16_t bits;
    std::uint16_t formatTag;
    bool passes;
};

class WavPrecheckTest : public ::testing::TestWithParam<WavHeaderCase> {
protected:
    TempFolder dir;
};

TEST_P(WavPrecheckTest, AcceptsOnlySixteenBitMonoAt8000) {
    const WavHeaderCase& c = GetParam();
    std::vector<std::uint8_t> file = wavHeader(c.channels, c.rate, c.bits, 160, c.formatTag);
    file.resize(file.size() + 160, 0);
    writeFile(dir.file("a.WAV"), file);
    EXPECT_EQ(wavPrecheck(dir.file("a.WAV")), c.passes);
}

INSTANTIATE_TEST_SUITE_P(Headers, WavPrecheckTest,
                         ::testing::Values(WavHeaderCase{"mono8k", 1, 8000, 16, 1, true},
                                           WavHeaderCase{"stereo8k", 2, 8000, 16, 1, false},
                                           WavHeaderCase{"mono16k", 1, 16000, 16, 1, false},
                                           WavHeaderCase{"eightBit", 1, 8000, 8, 1, false},
                                           WavHeaderCase{"float", 1, 8000, 16, 3, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WavPrecheckSizeTest, SizeBoundIsInclusive) {
    TempFolder dir;
    std::vector<std::uint8_t> file = wavHeader(1, 8000, 16, 9'830'400 - 44);
    writeFile(dir.file("big.wav"), file);
    std::filesystem::resize_file(dir.file("big.wav"), 9'830'400);
    EXPECT_TRUE(wavPrecheck(dir.file("big.wav")));
    std::filesystem::resize_file(dir.file("big.wav"), 9'830'401);
    EXPECT_FALSE(wavPrecheck(dir.file("big.wav")));
}

TEST(WavPrecheckSizeTest, RefusesOtherNamesMissingAndTinyFiles) {
    TempFolder dir;
    writeFile(dir.file("a.wma"), monoWav({1, 2, 3}));
    writeFile(dir.file("tiny.wav"), "RIFF");
    EXPECT_FALSE(wavPrecheck(dir.file("a.wma")));
    EXPECT_FALSE(wavPrecheck(dir.file("tiny.wav")));
    EXPECT_FALSE(wavPrecheck(dir.file("missing.wav")));
}

TEST(WmaPrecheckTest, LengthBoundInTenthsOfASecond) {
    auto lengthIs = [](std::optional<std::int64_t> ms) { return [ms](const std::string&) { return ms; }; };
    EXPECT_TRUE(wmaPrecheck("x.wma", lengthIs(600'099)));
    EXPECT_FALSE(wmaPrecheck("x.wma", lengthIs(600'100)));
    EXPECT_TRUE(wmaPrecheck("x.wma", lengthIs(0)));
    EXPECT_FALSE(wmaPrecheck("x.wma", lengthIs(std::nullopt)));
    EXPECT_FALSE(wmaPrecheck("x.wma", lengthIs(-1)));
}

// ---- the encoding engine with stand-ins for the media decoder and the codec ----

class ImportTest : public ::testing::Test {
protected:
    TempFolder dir;
    TempFolder work;
    std::shared_ptr<EncoderLog> encoded = std::make_shared<EncoderLog>();
    std::optional<std::int64_t> lengthMs = 1000;
    Flags flags;
    CallerContext caller{flags, {}, nullptr};

    MediaBackend backend(PcmDecoder decoder = &ffmpegDecodeToPcmWav) {
        return MediaBackend{[this](const std::string&) { return lengthMs; }, std::move(decoder)};
    }
    std::string source(const std::vector<std::uint8_t>& bytes, const std::string& name = "A001.WAV") {
        writeFile(dir.file(name), bytes);
        return dir.file(name);
    }
};

TEST_F(ImportTest, StartRefusesWhatCannotBeImported) {
    EncodingEngine engine(work.path(), backend(), fakeEncoderFactory(encoded));
    const std::string src = source(monoWav({1, 2}));
    EXPECT_EQ(engine.start(dir.file("missing.wav"), dir.file("o.vmdat"), 0, 601), StartResult::cannotOpen);
    EXPECT_EQ(engine.start(src, dir.file("no/dir/o.vmdat"), 0, 601), StartResult::cannotOpen);
    lengthMs = std::nullopt;
    EXPECT_EQ(engine.start(src, dir.file("o.vmdat"), 0, 601), StartResult::unknownLength);
    lengthMs = 601'500;
    EXPECT_EQ(engine.start(src, dir.file("o.vmdat"), 0, 601), StartResult::tooLong);
    lengthMs = 601'000;
    EXPECT_EQ(engine.start(src, dir.file("o.vmdat"), 0, 601), StartResult::ok);
    EXPECT_EQ(engine.start(src, dir.file("p.vmdat"), 0, 601), StartResult::busy);
}

TEST_F(ImportTest, TooLongSourceIsDeletedWithItsOutput) {
    lengthMs = 601'500;
    EncodingEngine engine(work.path(), backend(), fakeEncoderFactory(encoded));
    const std::string src = source(monoWav({1, 2}));
    EXPECT_EQ(importAudioFile(engine, src, ".WAV", {}, caller), 0);
    EXPECT_TRUE(dir.names().empty());
}

TEST_F(ImportTest, LastShortBlockIsPaddedWithSilence) {
    std::vector<std::int16_t> pcm(1601, 300);
    pcm.back() = -7;
    EncodingEngine engine(work.path(), backend(), fakeEncoderFactory(encoded));
    ASSERT_EQ(importAudioFile(engine, source(monoWav(pcm)), ".wav", {}, caller), 1);
    const std::vector<std::uint8_t> out = readBytes(dir.file("A001.vmdat"));
    ASSERT_EQ(out.size(), 210u);
    // The codec's bytes are stored as it gives them, frame after frame.
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 10, out.begin() + 20),
              (std::vector<std::uint8_t>{0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29}));
    ASSERT_EQ(encoded->frames.size(), 21u);
    EXPECT_EQ(encoded->frames[20][0], -7);
    for (std::size_t i = 1; i < kFrameSamples; ++i) {
        ASSERT_EQ(encoded->frames[20][i], 0) << i;
    }
    // The intermediate file is gone, and the source copy is kept on success.
    EXPECT_TRUE(work.names().empty());
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"A001.WAV", "A001.vmdat"}));
}

TEST_F(ImportTest, GainDependsOnTheSourceKind) {
    EncodingEngine engine(work.path(), backend(), fakeEncoderFactory(encoded));
    ASSERT_EQ(importAudioFile(engine, source(monoWav(std::vector<std::int16_t>(80, 1000))), ".wav", {6, -6},
                              caller),
              1);
    EXPECT_EQ(encoded->frames.at(0)[0], 1995);
}

TEST_F(ImportTest, EmptyPcmStreamFinishesWithoutFrames) {
    // The stand-in writes a WAV header and no samples, as a decoder does for a silent stream.
    const PcmDecoder emptyStream = [](const std::string&, const std::string& wav,
                                      const std::function<bool()>&) {
        writeFile(wav, wavHeader(1, 8000, 16, 0));
        return true;
    };
    EncodingEngine engine(work.path(), backend(emptyStream), fakeEncoderFactory(encoded));
    const std::string src = source(monoWav({}));
    ASSERT_EQ(engine.start(src, dir.file("out.vmdat"), 0, 601), StartResult::ok);
    std::uint8_t s = Status::started;
    while (s == Status::started || s == Status::converting) {
        engine.waitWhileBusy(std::chrono::milliseconds(5));
        s = engine.status();
    }
    EXPECT_EQ(s, Status::finished);
    EXPECT_EQ(readBytes(dir.file("out.vmdat")).size(), 0u);
    EXPECT_TRUE(encoded->frames.empty());
}

TEST_F(ImportTest, IntermediateFileInTheWrongFormatFails) {
    const PcmDecoder wrongRate = [](const std::string&, const std::string& wav,
                                    const std::function<bool()>&) {
        std::vector<std::uint8_t> b = wavHeader(1, 16000, 16, 4);
        b.insert(b.end(), {1, 0, 2, 0});
        writeFile(wav, b);
        return true;
    };
    EncodingEngine engine(work.path(), backend(wrongRate), fakeEncoderFactory(encoded));
    EXPECT_EQ(importAudioFile(engine, source(monoWav({1})), ".wav", {}, caller), 0);
    EXPECT_TRUE(dir.names().empty());
    EXPECT_TRUE(work.names().empty());
}

TEST_F(ImportTest, CancelDuringSourceDecodingDeletesSourceAndOutput) {
    std::atomic<bool> decoding{false};
    const PcmDecoder endless = [&](const std::string&, const std::string& wav,
                                   const std::function<bool()>& stopRequested) {
        writeFile(wav, wavHeader(1, 8000, 16, 0));
        decoding = true;
        while (!stopRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    };
    EncodingEngine engine(work.path(), backend(endless), fakeEncoderFactory(encoded));
    std::vector<std::uint8_t> seen;
    caller.pump = [&] {
        if (decoding) {
            seen.push_back(engine.status());  // source decoding reads as converting
            flags.cancelAll = 1;
        }
    };
    EXPECT_EQ(importAudioFile(engine, source(monoWav({1, 2})), ".wav", {}, caller), 0);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), Status::converting);
    EXPECT_TRUE(dir.names().empty());
    EXPECT_TRUE(work.names().empty());
}

TEST_F(ImportTest, RefusesOtherExtensionsWithoutTouchingFiles) {
    EncodingEngine engine(work.path(), backend(), fakeEncoderFactory(encoded));
    EXPECT_EQ(importAudioFile(engine, source(monoWav({1}), "a.mp3"), ".mp3", {}, caller), 0);
    EXPECT_EQ(importAudioFile(engine, source(monoWav({1}), "b.wav"), ".wma", {}, caller), 0);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.mp3", "b.wav"}));
}

// The window and voxmgctl, or two voxmgctl runs, convert at the same time with one work
// folder. The stand-in decoder copies the source (already telephone PCM) and waits until both
// jobs have written their intermediate file, so any name the two share is overwritten by the
// other before it is encoded.
TEST_F(ImportTest, TwoJobsAtOnceEachEncodeTheirOwnAudio) {
    std::latch bothDecoded(2);
    std::atomic<int> privateFiles{0};
    const PcmDecoder copyAndWait = [&](const std::string& src, const std::string& wav,
                                       const std::function<bool()>&) {
        writeFile(wav, readBytes(src));
        struct stat st {};
        if (::stat(wav.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600) {
            ++privateFiles;
        }
        bothDecoded.arrive_and_wait();
        return true;
    };
    struct Job {
        std::size_t samples;
        std::string source;
        std::string output;
        int result = -1;
    };
    std::array<Job, 2> jobs{Job{8000 * 2, {}, {}}, Job{8000 * 10, {}, {}}};
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        jobs[i].source = source(monoWav(std::vector<std::int16_t>(jobs[i].samples, 500)),
                                "S" + std::to_string(i) + ".wav");
        jobs[i].output = dir.file("O" + std::to_string(i) + ".vmdat");
    }
    std::vector<std::thread> threads;
    for (Job& job : jobs) {
        threads.emplace_back([&] {
            Flags ownFlags;
            EncodingEngine engine(work.path(), backend(copyAndWait), fakeEncoderFactory(encoded));
            job.result = runEncodingJob(engine, job.source, job.output, 0, {ownFlags, {}, nullptr});
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (const Job& job : jobs) {
        ASSERT_EQ(job.result, 1) << job.output;
        // 80 samples a frame of 10 bytes.
        EXPECT_EQ(readBytes(job.output).size(), job.samples / kFrameSamples * kFrameBytes) << job.output;
    }
    EXPECT_EQ(privateFiles.load(), 2);
    EXPECT_TRUE(work.names().empty());
}

// ---- real files through FFmpeg and bcg729 ----

class FfmpegImportTest : public ImportTest {
protected:
    EncodingEngine engine{work.path()};
};

TEST_F(FfmpegImportTest, StereoSixteenKilohertzIsResampledAndDownmixed) {
    // One second of a 440 Hz tone, stereo at 16000 Hz.
    std::vector<std::uint8_t> file = wavHeader(2, 16000, 16, 16000 * 4);
    for (int i = 0; i < 16000; ++i) {
        const auto v = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 16000.0));
        putLe16(file, static_cast<std::uint16_t>(v));
        putLe16(file, static_cast<std::uint16_t>(v));
    }
    ASSERT_EQ(importAudioFile(engine, source(file), ".wav", {}, caller), 1);
    const std::size_t bytes = readBytes(dir.file("A001.vmdat")).size();
    EXPECT_GE(bytes, 990u);
    EXPECT_LE(bytes, 1010u);
    EXPECT_TRUE(work.names().empty());
}

TEST_F(FfmpegImportTest, FilesThatAreNotAudioFailWithoutLeftovers) {
    std::vector<std::uint8_t> text;
    putText(text, "this is a text file, not a recording\n");
    std::vector<std::uint8_t> lying = wavHeader(1, 8000, 16, 1'000'000);
    lying[16] = 0xF0;  // "fmt " chunk claims almost 4 GB
    lying[17] = lying[18] = lying[19] = 0xFF;
    for (const auto& bytes : {text, lying, std::vector<std::uint8_t>{}}) {
        const std::string src = source(bytes, "X.wav");
        EXPECT_EQ(importAudioFile(engine, src, ".wav", {}, caller), 0);
        EXPECT_TRUE(dir.names().empty());
        EXPECT_TRUE(work.names().empty());
    }
    EXPECT_FALSE(wmaPrecheck(source(text, "Y.wma")));
}

TEST_F(FfmpegImportTest, WmaMadeByFfmpegIsImported) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ffmpeg command not available";
    }
    const std::string wma = dir.file("A002.WMA");
    const std::string cmd =
        "ffmpeg -loglevel error -y -f lavfi -i 'sine=frequency=300:duration=2' -ac 2 -ar 22050 "
        "-c:a wmav2 -b:a 64k '" +
        wma + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_TRUE(wmaPrecheck(wma));
    ASSERT_EQ(importAudioFile(engine, wma, ".WMA", {}, caller), 1);
    const std::size_t bytes = readBytes(dir.file("A002.vmdat")).size();
    EXPECT_GE(bytes, 1950u);
    EXPECT_LE(bytes, 2100u);
}

}  // namespace
}  // namespace voxmg::audio
