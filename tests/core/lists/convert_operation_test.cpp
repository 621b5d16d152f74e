#include <gtest/gtest.h>

#include <filesystem>

#include "core/audio/decoding_engine.h"
#include "core/lists/convert_operation.h"
#include "core/lists/play_operation.h"
#include "core/store/file_mng.h"
#include "support/message_files.h"

using namespace voxmg;
using namespace voxmg::test;

namespace {

namespace fs = std::filesystem;

enum class Kind { Voice, Silent, InfoOnly, Gone };

// Cancels the run when the given file begins.
class CancelAt : public ProgressSink {
public:
    CancelAt(Flags& flags, int file) : m_flags(flags), m_file(file) {}
    void nextFile() override {
        if (++m_seen == m_file) {
            m_flags.cancelAll = 1;
        }
    }

private:
    Flags& m_flags;
    int m_file;
    int m_seen = 0;
};

class ConvertOperationTest : public ::testing::Test {
protected:
    ConvertRow message(int n, Kind kind) {
        const std::string box = m_root.path() + "/本社";
        std::string path;
        switch (kind) {
            case Kind::InfoOnly:
                path = writeBoxMessage(box, "rusuroku", "0101", n, {}, 0, false);
                break;
            case Kind::Silent:  // a header and no frames: the conversion fails
                path = box + "/rusuroku/0101/" + boxMessageName("0101", n);
                writeFile(path, boxMessage({.state = 2}, {}, 0));
                break;
            default:
                path = writeBoxMessage(box, "rusuroku", "0101", n);
                break;
        }
        if (kind == Kind::Gone) {
            fs::remove(path);
        }
        return {path, static_cast<std::uint8_t>(kind == Kind::InfoOnly ? 0 : 2)};
    }
    ConvertResult run(const ConvertRequest& request) { return convertMessages(request, m_env); }

    TempFolder m_root;
    Flags m_flags;
    audio::DecodingEngine m_engine;
    ConvertEnv m_env{m_engine, m_flags, {}, nullptr, [](const std::string&) { return 1ULL << 40; }, {}};
};

ConvertRequest single(const ConvertRow& row, bool boxList = true) {
    ConvertRequest request;
    request.rows = {row};
    request.boxList = boxList;
    return request;
}

std::string wavOf(const std::string& path) {
    return path.substr(0, path.size() - 6) + ".wav";
}

TEST_F(ConvertOperationTest, SummaryFollowsTheOutcomes) {
    const std::string partial = "一部の音声メッセージはＷＡＶファイルへ変換\nできませんでした";
    struct Case {
        std::vector<Kind> kinds;
        std::vector<UserText> summary;
        int converted;
    };
    const std::vector<Case> cases = {
        {{Kind::Voice, Kind::Voice},
         {{"ＷＡＶファイルへの変換が正常に完了しました。", "変換完了", false}},
         2},
        {{Kind::Voice, Kind::Silent, Kind::Voice}, {{partial + "(変換失敗)。", "変換完了", false}}, 2},
        {{Kind::Silent, Kind::Silent}, {{"変換に失敗しました。", "エラー", true}}, 0},
        {{Kind::InfoOnly, Kind::Voice}, {{partial + "(変換元の音声ファイルなし)。", "変換完了", false}}, 1},
        {{Kind::Gone, Kind::Voice}, {{partial + "(変換元の音声ファイルなし)。", "変換完了", false}}, 1},
        {{Kind::InfoOnly, Kind::Gone},
         {{"音声ファイルがダウンロードされて\nいません。", "エラー", true},
          {"音声ファイルは既に消去されています。", "エラー", true}},
         0},
    };
    int n = 0;
    for (const Case& c : cases) {
        ConvertRequest request;
        for (Kind k : c.kinds) {
            request.rows.push_back(message(++n, k));
        }
        const ConvertResult result = run(request);
        EXPECT_EQ(convertSummary(result), c.summary) << "case starting at message " << n;
        EXPECT_EQ(result.converted, c.converted) << n;
        for (std::size_t i = 0; i < c.kinds.size(); ++i) {
            const bool made = c.kinds[i] == Kind::Voice;
            EXPECT_EQ(fs::exists(wavOf(request.rows[i].path)), made) << n << " row " << i;
        }
        // No frame file is left anywhere.
        for (const auto& e : fs::recursive_directory_iterator(m_root.path())) {
            EXPECT_NE(e.path().extension(), ".tmp");
        }
    }
}

TEST_F(ConvertOperationTest, ExistingWavFilesAreKeptAndCountAsDone) {
    ConvertRequest request;
    request.rows = {message(1, Kind::Voice), message(2, Kind::Voice), message(3, Kind::Silent)};
    writeFile(wavOf(request.rows[0].path), Bytes{1, 2, 3});
    writeFile(wavOf(request.rows[1].path), Bytes{4, 5, 6});
    const ConvertResult result = run(request);
    EXPECT_EQ(result.converted, 0);
    EXPECT_EQ(readBytes(wavOf(request.rows[0].path)), (Bytes{1, 2, 3}));
    // Two of three messages have their WAV file: a partial result, not a total failure.
    EXPECT_EQ(
        convertSummary(result),
        (std::vector<UserText>{{"一部の音声メッセージはＷＡＶファイルへ変換\nできませんでした(変換失敗)。",
                                "変換完了", false}}));

    request.rows.pop_back();
    EXPECT_EQ(convertSummary(run(request)),
              (std::vector<UserText>{{"ＷＡＶファイルへの変換が正常に完了しました。", "変換完了", false}}));
}

TEST_F(ConvertOperationTest, FullDiskStopsTheRun) {
    ConvertRequest request;
    request.rows = {message(1, Kind::Voice), message(2, Kind::Voice)};
    // A 1266-byte voice file needs (1266 / 256 + 1) * 4096 = 20480 bytes.
    std::uint64_t free = 20480;
    m_env.freeSpace = [&free](const std::string&) { return free; };
    EXPECT_FALSE(convertRefusal(single(request.rows[0]), m_env.freeSpace).has_value());
    free = 20479;
    EXPECT_EQ(convertRefusal(single(request.rows[0]), m_env.freeSpace),
              (UserText{"ＰＣのメモリ不足です。", "エラー", true}));
    const ConvertResult result = run(request);
    EXPECT_EQ(result.files[0].outcome, ConvertOutcome::NoSpace);
    EXPECT_EQ(result.files[1].outcome, ConvertOutcome::NotReached);
    EXPECT_EQ(convertSummary(result), (std::vector<UserText>{{"ＰＣのメモリ不足です。", "エラー", true}}));
}

TEST_F(ConvertOperationTest, OneSelectedMessageIsRefusedUpFront) {
    const auto refusal = [&](Kind kind, bool boxList) {
        return convertRefusal(single(message(static_cast<int>(kind) + 1, kind), boxList), m_env.freeSpace);
    };
    EXPECT_EQ(refusal(Kind::InfoOnly, true),
              (UserText{"音声ファイルがダウンロードされて\nいません。", "エラー", true}));
    EXPECT_EQ(refusal(Kind::Gone, true), (UserText{"音声ファイルは既に消去されています。", "エラー", true}));
    EXPECT_FALSE(refusal(Kind::Gone, false).has_value());
    EXPECT_FALSE(refusal(Kind::Voice, true).has_value());
}

TEST_F(ConvertOperationTest, DestinationFolderTakesTheWavFiles) {
    ConvertRequest request;
    request.rows = {message(1, Kind::Voice)};
    request.destination = m_root.folder("保存先");
    EXPECT_TRUE(convertSucceeded(run(request)));
    EXPECT_TRUE(
        fs::exists(request.destination + "/" + fs::path(wavOf(request.rows[0].path)).filename().string()));
    EXPECT_FALSE(fs::exists(wavOf(request.rows[0].path)));
}

// Deletes the given file when the run reaches the file before it, as another run's move would.
class RemoveAt : public ProgressSink {
public:
    RemoveAt(std::string path, int file) : m_path(std::move(path)), m_file(file) {}
    void nextFile() override {
        if (++m_seen == m_file) {
            fs::remove(m_path);
        }
    }

private:
    std::string m_path;
    int m_file;
    int m_seen = 0;
};

TEST_F(ConvertOperationTest, AMessageThatGoesDuringTheRunIsNoSuccess) {
    ConvertRequest request;
    request.rows = {message(1, Kind::Voice), message(2, Kind::Voice)};
    RemoveAt remover(request.rows[1].path, 1);
    m_env.progress = &remover;
    const ConvertResult result = run(request);
    EXPECT_EQ(result.converted, 1);
    EXPECT_EQ(result.files[1].outcome, ConvertOutcome::Missing);
    EXPECT_FALSE(convertSucceeded(result));
    const auto summary = convertSummary(result);
    ASSERT_EQ(summary.size(), 1U);
    EXPECT_EQ(summary.front().text,
              "一部の音声メッセージはＷＡＶファイルへ変換\nできませんでした(変換元の音声ファイルなし)。");
}

TEST_F(ConvertOperationTest, CancelBetweenFilesEndsWithoutSummary) {
    ConvertRequest request;
    request.rows = {message(1, Kind::Voice), message(2, Kind::Voice), message(3, Kind::Voice)};
    CancelAt cancel(m_flags, 2);
    m_env.progress = &cancel;
    const ConvertResult result = run(request);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(convertSummary(result).empty());
    EXPECT_TRUE(fs::exists(wavOf(request.rows[0].path)));
    EXPECT_FALSE(fs::exists(wavOf(request.rows[2].path)));
    EXPECT_FALSE(m_flags.gate.pauseRequested());
}

TEST_F(ConvertOperationTest, PlayOpensAnExistingWavAndMarksTheMessagePlayed) {
    const ConvertRow row = message(1, Kind::Voice);
    writeFile(wavOf(row.path), Bytes{1, 2, 3});
    std::vector<std::string> opened;
    bool converting = false;
    PlayHooks hooks{[&converting] { converting = true; },
                    [&opened](const std::string& wav) {
                        opened.push_back(wav);
                        return true;
                    }};
    const PlayOutcome out = playMessage({row.path, true, 0}, m_env, hooks);
    EXPECT_EQ(out.result, PlayResult::Played);
    EXPECT_FALSE(converting);
    EXPECT_EQ(opened, std::vector<std::string>{wavOf(row.path)});
    EXPECT_EQ(readBytes(wavOf(row.path)), (Bytes{1, 2, 3}));
    EXPECT_EQ(readFile(row.path)[1], 1);  // played on the PC
    EXPECT_EQ(readFile(row.path).size(), 990u + 256u + 20u);
}

TEST_F(ConvertOperationTest, PlayOutcomes) {
    bool playerThere = true;
    PlayHooks hooks{{}, [&playerThere](const std::string&) { return playerThere; }};
    struct Case {
        Kind kind;
        bool player;
        PlayResult result;
        bool wavLeft;
    };
    const std::vector<Case> cases = {
        {Kind::Voice, true, PlayResult::Played, true},
        {Kind::Voice, false, PlayResult::NoPlayer, true},
        {Kind::Gone, true, PlayResult::Missing, false},
        {Kind::Silent, true, PlayResult::ConvertFailed, false},
        {Kind::InfoOnly, true, PlayResult::NotDownloaded, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const ConvertRow row = message(++n, c.kind);
        playerThere = c.player;
        const PlayOutcome out = playMessage({row.path, true, 0}, m_env, hooks);
        EXPECT_EQ(out.result, c.result) << n;
        EXPECT_EQ(fs::exists(wavOf(row.path)), c.wavLeft) << n;
        if (fs::exists(row.path)) {
            EXPECT_EQ(readFile(row.path)[1], c.result == PlayResult::Played ? 1 : 0) << n;
        }
    }
    EXPECT_EQ(playMessageText(PlayResult::NoPlayer),
              (UserText{"ＷＡＶファイルを再生できるアプリケーションがありません。", "エラー", true}));
    EXPECT_EQ(playMessageText(PlayResult::NotDownloaded),
              (UserText{"音声ファイルがダウンロードされていません。", "エラー", true}));
}

TEST_F(ConvertOperationTest, PlayInAResponseListLeavesTheUploadMarkAlone) {
    const std::string path = writeResponse(m_root.path() + "/本社", 7);
    PlayHooks hooks{{}, [](const std::string&) { return true; }};
    const PlayOutcome out = playMessage({path, false, 0}, m_env, hooks);
    EXPECT_EQ(out.result, PlayResult::Played);
    EXPECT_TRUE(out.converted);
    EXPECT_EQ(readFile(path)[1], 0);
}

}  // namespace
