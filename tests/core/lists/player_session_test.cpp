#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "core/audio/gain.h"
#include "core/audio/voice_pcm.h"
#include "core/lists/play_operation.h"
#include "core/lists/player_session.h"
#include "core/store/file_mng.h"
#include "support/message_files.h"
#include "support/null_audio_sink.h"
#include "support/temp_folder.h"

using namespace voxmg;
using namespace voxmg::test;
using namespace std::chrono_literals;
using player::PaneState;

namespace {

// A box folder with voice messages of the given lengths (in seconds) and one info-only message.
struct PlayerFixture {
    explicit PlayerFixture(std::initializer_list<int> seconds) {
        int n = 1;
        for (int s : seconds) {
            const std::string path = t.file("box/" + boxMessageName("0101", n++));
            writeFile(path, boxMessage(recordOf(ListedMessage{}), {}, static_cast<std::size_t>(s) * 1000));
            voices.push_back(path);
        }
        infoOnly = writeBoxMessage(t.path(), "rusuroku", "0101", 99, {}, 0, false);
    }
    player::PlayerSession& open() {
        session = std::make_unique<player::PlayerSession>(sink, [this](const std::string& path) {
            ++marks;
            return markPlayedOnPc(files, path);
        });
        return *session;
    }
    void selectReady(const std::string& path, bool boxList = true) {
        session->select({path, boxList});
        ASSERT_TRUE(session->waitForWaveform(5s));
    }
    std::uint8_t playedByte(const std::string& path) const {
        FILESTS_INFO record;
        return files.readRecord(path, record) ? record.played : 0xFF;
    }
    void hear(std::chrono::milliseconds ms) {
        sink.pull(ms);
        session->poll();
    }

    TempFolder t;
    std::vector<std::string> voices;
    std::string infoOnly;
    NullAudioSink sink;
    std::atomic<int> cancel{0};
    CFileMng files{cancel};
    int marks = 0;
    std::unique_ptr<player::PlayerSession> session;
};

}  // namespace

TEST(PlayerSession, SelectPlayPauseAndSeek) {
    PlayerFixture f({10});
    auto& s = f.open();
    EXPECT_EQ(s.state(), PaneState::Empty);
    f.selectReady(f.voices[0]);
    EXPECT_EQ(s.state(), PaneState::Ready);
    EXPECT_EQ(s.length(), 10s);
    EXPECT_EQ(s.waveform().size(), player::kWaveformColumns);

    s.play();
    EXPECT_EQ(s.state(), PaneState::Playing);
    f.hear(1500ms);
    EXPECT_EQ(s.position(), 1500ms);
    s.togglePlay();
    EXPECT_EQ(s.state(), PaneState::Paused);
    EXPECT_EQ(f.sink.pull(1000ms), 0u);
    s.seekBy(5s);
    EXPECT_EQ(s.position(), 6500ms);
    s.seekBy(-20s);
    EXPECT_EQ(s.position(), 0ms);
    s.togglePlay();
    EXPECT_EQ(s.state(), PaneState::Playing);

    // Beyond the end: ended there, and a seek is no listening, so nothing is marked.
    s.seekTo(60s);
    EXPECT_EQ(s.state(), PaneState::Ended);
    EXPECT_EQ(s.position(), 10s);
    EXPECT_FALSE(f.sink.playing());
    s.poll();
    EXPECT_EQ(f.marks, 0);
    // Play again starts from the top.
    s.play();
    EXPECT_EQ(s.state(), PaneState::Playing);
    EXPECT_EQ(s.position(), 0ms);
}

TEST(PlayerSession, StatesOfRowsThatCannotPlay) {
    PlayerFixture f({2});
    const std::string vanished = f.voices[0];
    std::filesystem::remove(vanished);
    const std::string empty = f.t.file("box/" + boxMessageName("0101", 50));
    writeFile(empty, boxMessage(recordOf(ListedMessage{}), {}, 0));
    struct Case {
        const char* what;
        std::string path;
        PaneState expected;
        std::u16string text;
    };
    const Case cases[] = {
        {"info only", f.infoOnly, PaneState::InfoOnly, u"音声ファイルがダウンロードされていません。"},
        {"voice file gone", vanished, PaneState::Missing, u"音声ファイルは既に消去されています。"},
        {"no frame behind the header", empty, PaneState::Unreadable, u"音声ファイルを再生できません。"},
    };
    auto& s = f.open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        s.select({c.path, true});
        EXPECT_EQ(s.state(), c.expected);
        EXPECT_EQ(player::stateText(s.state()), c.text);
        s.play();
        EXPECT_EQ(s.state(), c.expected);
        EXPECT_EQ(f.sink.starts, 0);
    }
}

TEST(PlayerSession, NextRowWhilePlayingPlaysItFromItsStart) {
    PlayerFixture f({4, 6});
    auto& s = f.open();
    f.selectReady(f.voices[0]);
    s.play();
    f.hear(1000ms);
    f.selectReady(f.voices[1]);
    EXPECT_EQ(s.state(), PaneState::Playing);
    EXPECT_EQ(s.position(), 0ms);
    EXPECT_EQ(s.length(), 6s);
    EXPECT_EQ(f.sink.starts, 2);
    // The same row again (a list refresh restores the selection) changes nothing.
    f.hear(500ms);
    s.select({f.voices[1], true});
    EXPECT_EQ(s.position(), 500ms);
    // A paused message does not start the next one.
    s.pause();
    f.selectReady(f.voices[0]);
    EXPECT_EQ(s.state(), PaneState::Ready);
}

TEST(PlayerSession, PlayedMarkIsWrittenOnceAfterThreeSecondsOrAtTheEnd) {
    PlayerFixture f({10, 2});
    auto& s = f.open();
    f.selectReady(f.voices[0]);
    s.play();
    f.hear(2900ms);
    EXPECT_EQ(f.marks, 0);
    EXPECT_EQ(f.playedByte(f.voices[0]), 0);
    f.hear(200ms);
    EXPECT_EQ(f.marks, 1);
    EXPECT_TRUE(s.marked());
    EXPECT_EQ(f.playedByte(f.voices[0]), 1);
    f.hear(2000ms);
    s.seekTo(0ms);
    f.hear(4000ms);
    EXPECT_EQ(f.marks, 1);

    // A short message played to its end: ended once the sink's buffer has played too.
    f.selectReady(f.voices[1]);
    s.play();
    f.sink.bufferPlayed = false;
    f.hear(2500ms);
    EXPECT_EQ(s.state(), PaneState::Playing);
    EXPECT_TRUE(f.sink.playing());
    f.sink.bufferPlayed = true;
    s.poll();
    EXPECT_EQ(s.state(), PaneState::Ended);
    EXPECT_EQ(f.marks, 2);
    EXPECT_EQ(f.playedByte(f.voices[1]), 1);

    // In a response list the byte is not the player's to set.
    f.selectReady(f.voices[0], false);
    s.play();
    f.hear(5000ms);
    EXPECT_EQ(f.marks, 2);
}

TEST(PlayerSession, NoSoundOutputSaysSoAndKeepsTheMessage) {
    PlayerFixture f({3});
    f.sink.device = false;
    auto& s = f.open();
    f.selectReady(f.voices[0]);
    s.play();
    EXPECT_EQ(s.state(), PaneState::NoDevice);
    EXPECT_EQ(player::stateText(s.state()), u"音声出力装置が見つかりません。");
    EXPECT_EQ(s.length(), 3s);
    f.sink.device = true;
    s.play();
    EXPECT_EQ(s.state(), PaneState::Playing);
}

TEST(PlayerSession, SamplesMatchTheConversionWithItsGain) {
    PlayerFixture f({1});
    auto& s = f.open();
    s.setGain(250);  // -6 dB, as LEVELRVORWAV stores it
    f.selectReady(f.voices[0]);
    std::vector<std::uint8_t> frames;
    ASSERT_EQ(audio::loadVoiceFrames(f.voices[0], frames), audio::VoiceLoad::Loaded);
    audio::VoiceBlockDecoder decoder(frames, 250);
    std::vector<std::int16_t> expected(decoder.totalSamples());
    std::size_t done = 0;
    while (!decoder.finished()) {
        done += decoder.decodeBlock(std::span(expected).subspan(done));
    }
    ASSERT_EQ(done, std::size_t{8000});
    EXPECT_EQ(s.waveform(), audio::peaksPerColumn(expected, player::kWaveformColumns));
}

TEST(VoicePeaks, LargestMagnitudePerColumn) {
    const std::vector<std::int16_t> samples{1, -7, 3, 2, -32768, 5};
    EXPECT_EQ(audio::peaksPerColumn(samples, 3), (std::vector<std::uint16_t>{7, 3, 32768}));
    EXPECT_EQ(audio::peaksPerColumn(samples, 8), (std::vector<std::uint16_t>{0, 1, 7, 3, 0, 2, 32768, 5}));
    EXPECT_EQ(audio::peaksPerColumn(samples, 0), std::vector<std::uint16_t>{});
    EXPECT_EQ(audio::peaksPerColumn({}, 2), (std::vector<std::uint16_t>{0, 0}));
    // Folded for drawing: the largest per pixel, or the one under it with more pixels.
    const std::vector<std::uint16_t> peaks{4, 9, 1, 2, 8};
    EXPECT_EQ(audio::foldPeaks(peaks, 2), (std::vector<std::uint16_t>{9, 8}));
    EXPECT_EQ(audio::foldPeaks(peaks, 7), (std::vector<std::uint16_t>{4, 4, 9, 1, 1, 2, 8}));
    EXPECT_EQ(audio::foldPeaks({}, 3), std::vector<std::uint16_t>{});
}
