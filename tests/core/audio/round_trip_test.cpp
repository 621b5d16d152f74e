#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <thread>

#include "audio_test_support.h"
#include "core/audio/audio_import.h"
#include "core/audio/conversion_engine.h"
#include "core/audio/wav_conversion.h"

namespace voxmg::audio {
namespace {

using namespace testing;

// Something the codec treats like speech: a glottal pulse train with a wandering pitch,
// shaped by two formant resonators and cut into syllables with pauses between them.
std::vector<std::int16_t> speechLikeSignal(double seconds) {
    const int n = static_cast<int>(seconds * 8000);
    std::vector<std::int16_t> out(static_cast<std::size_t>(n));
    double phase = 0;
    double y1[2] = {0, 0};
    double y2[2] = {0, 0};
    const double formants[2] = {700, 1200};
    for (int i = 0; i < n; ++i) {
        const double t = i / 8000.0;
        const double f0 = 120 + 30 * std::sin(2 * M_PI * 0.7 * t);
        phase += f0 / 8000.0;
        double x = 0;
        if (phase >= 1) {
            phase -= 1;
            x = 1;
        }
        double y = x;
        for (int k = 0; k < 2; ++k) {
            const double r = 0.97;
            const double w = 2 * M_PI * formants[k] / 8000.0;
            const double v = y + 2 * r * std::cos(w) * y1[k] - r * r * y2[k];
            y2[k] = y1[k];
            y1[k] = v;
            y = v;
        }
        // Syllables of 250 ms, every third one silent.
        const int syllable = static_cast<int>(t / 0.25);
        const double within = std::fmod(t, 0.25) / 0.25;
        const double envelope = syllable % 3 == 2 ? 0 : std::sin(M_PI * within);
        out[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(std::clamp(y * envelope * 60, -30000.0, 30000.0));
    }
    return out;
}

// RMS per 20 ms window.
std::vector<double> envelope(const std::vector<std::int16_t>& s) {
    std::vector<double> out;
    for (std::size_t i = 0; i + 160 <= s.size(); i += 160) {
        double sum = 0;
        for (std::size_t j = i; j < i + 160; ++j) {
            sum += static_cast<double>(s[j]) * s[j];
        }
        out.push_back(std::sqrt(sum / 160));
    }
    return out;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    const double ma = std::accumulate(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n), 0.0) / n;
    const double mb = std::accumulate(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n), 0.0) / n;
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return ab / std::sqrt(aa * bb);
}

class RoundTripTest : public ::testing::Test {
protected:
    TempFolder dir;
    ConversionEngine engine{dir.path()};
    Flags flags;
    CallerContext caller{flags, {}, nullptr};
};

TEST_F(RoundTripTest, SpeechSurvivesImportAndConversionBack) {
    const std::vector<std::int16_t> speech = speechLikeSignal(3.0);
    writeFile(dir.file("A001.WAV"), monoWav(speech));
    ASSERT_EQ(importAudioFile(engine.encoding, dir.file("A001.WAV"), ".WAV", {}, caller), 1);
    const std::vector<std::uint8_t> frames = readBytes(dir.file("A001.vmdat"));
    ASSERT_EQ(frames.size(), 3000u);

    writeFile(dir.file("msg.vmdat"), voiceDataFile(frames));
    ASSERT_EQ(convertVoiceFileToWav(engine.decoding, dir.file("msg.vmdat"), 0, {}, caller), 1);
    const std::vector<std::int16_t> back = wavSamples(readBytes(dir.file("msg.wav")));
    ASSERT_EQ(back.size(), speech.size());

    const std::vector<double> before = envelope(speech);
    const std::vector<double> after = envelope(back);
    EXPECT_GT(correlation(before, after), 0.9);
    const double energyBefore = std::accumulate(before.begin(), before.end(), 0.0);
    const double energyAfter = std::accumulate(after.begin(), after.end(), 0.0);
    EXPECT_GT(energyAfter / energyBefore, 0.5);
    EXPECT_LT(energyAfter / energyBefore, 2.0);
}

TEST_F(RoundTripTest, BothDirectionsRunAtTheSameTime) {
    writeFile(dir.file("in.wav"), monoWav(speechLikeSignal(2.0)));
    writeFile(dir.file("frames.tmp"), codedFrames(200));
    ASSERT_EQ(engine.encoding.start(dir.file("in.wav"), dir.file("in.vmdat"), 0, 601), StartResult::ok);
    ASSERT_EQ(engine.decoding.start(dir.file("frames.tmp"), dir.file("out.wav"), 0), StartResult::ok);
    EXPECT_EQ(engine.decoding.start(dir.file("frames.tmp"), dir.file("x.wav"), 0), StartResult::busy);
    std::uint8_t enc = Status::started;
    std::uint8_t dec = Status::started;
    auto busy = [](std::uint8_t s) { return s == Status::started || s == Status::converting; };
    while (busy(enc) || busy(dec)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (busy(enc)) {
            enc = engine.encoding.status();
        }
        if (busy(dec)) {
            dec = engine.decoding.status();
        }
    }
    EXPECT_EQ(enc, Status::finished);
    EXPECT_EQ(dec, Status::finished);
    EXPECT_EQ(readBytes(dir.file("in.vmdat")).size(), 2000u);
    EXPECT_EQ(wavSamples(readBytes(dir.file("out.wav"))).size(), 16000u);
}

TEST_F(RoundTripTest, EmptyFrameFileEndsInErrorAndSlotIsReusable) {
    writeFile(dir.file("empty.tmp"), "");
    ASSERT_EQ(engine.decoding.start(dir.file("empty.tmp"), dir.file("e.wav"), 0), StartResult::ok);
    std::uint8_t s = Status::started;
    while (s == Status::started || s == Status::converting) {
        engine.decoding.waitWhileBusy(std::chrono::milliseconds(5));
        s = engine.decoding.status();
    }
    EXPECT_EQ(s, Status::error);
    EXPECT_EQ(engine.decoding.status(), Status::idle);
    EXPECT_EQ(engine.decoding.cancel(), Status::idle);
    EXPECT_EQ(engine.decoding.start(dir.file("missing.tmp"), dir.file("e.wav"), 0), StartResult::cannotOpen);
}

}  // namespace
}  // namespace voxmg::audio
