#include "core/lists/move_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include <algorithm>
#include <filesystem>
#include <map>

#include "core/base/text.h"
#include "core/store/file_naming.h"
#include "support/message_files.h"

namespace voxmg::move_copy {
namespace {

namespace fs = std::filesystem;
using test::readFile;

class PositionSink : public ProgressSink {
public:
    std::function<void(int)> onPosition = [](int) {};
    int range = 0;
    int position = 0;
    void setRange(int r) override { range = r; }
    void setPosition(int p) override {
        position = p;
        onPosition(p);
    }
};

// A box folder "office" with answering-machine boxes 101 and 102 and extension box 201.
class MoveCopyTest : public ::testing::Test {
protected:
    test::TempFolder tmp;
    std::string office = tmp.folder("office");
    Flags flags;
    PositionSink sink;
    std::vector<Overwrite> answers;
    std::vector<std::u16string> asked;

    void SetUp() override {
        for (const char* box : {"rusuroku/101", "rusuroku/102", "naisen/201"}) {
            tmp.folder("office/" + std::string(box));
        }
    }

    std::string box(const std::string& b) const { return office + "/" + b; }

    // Message n of box 101 (or of `where`) with its recording info, and a WAV file when `wav`;
    // `who` tells copies of the same message apart. Returns the voice data path.
    std::string message(int n, bool wav = true, const std::string& where = "rusuroku/101",
                        const std::u16string& who = u"source") {
        test::ListedMessage m{.callerName = who};
        const std::string path = box(where) + "/" + test::boxMessageName("0101", n);
        test::writeFile(path, test::boxMessage(test::recordOf(m)));
        m.state = 0;
        test::writeFile(box(where) + "/" + test::boxMessageName("0101", n, 0, false),
                        test::boxMessage(test::recordOf(m)));
        if (wav) {
            test::writeFile(naming::baseName(path) + ".wav", "RIFF" + text::utf8FromUtf16(who));
        }
        return path;
    }

    std::vector<std::string> names(const std::string& b) const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(box(b))) {
            out.push_back(e.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    // The content of every file in a box, by name.
    std::map<std::string, std::string> contents(const std::string& b) const {
        std::map<std::string, std::string> out;
        for (const std::string& name : names(b)) {
            out[name] = readFile(box(b) + "/" + name);
        }
        return out;
    }

    MoveCopyResult run(std::vector<std::string> paths, Mode mode, const std::string& to = "rusuroku/102",
                       FreeSpaceProbe free = {}) {
        MoveCopyRequest request{std::move(paths), office, to, mode};
        request.askOverwrite = [this](const std::u16string& text) {
            asked.push_back(text);
            if (answers.empty()) {
                ADD_FAILURE() << "asked once too often";
                return Overwrite::Cancel;
            }
            Overwrite a = answers.front();
            answers.erase(answers.begin());
            return a;
        };
        request.freeSpace = std::move(free);
        return move_copy::run(request, flags, Pump{}, &sink);
    }
};

class BothModes : public MoveCopyTest, public ::testing::WithParamInterface<Mode> {};

TEST_P(BothModes, MessagesWithAndWithoutWavGoWhole) {
    const Mode mode = GetParam();
    const std::string withWav = message(1);
    const std::string withoutWav = message(2, false);
    const auto before = contents("rusuroku/101");

    auto result = run({withWav, withoutWav}, mode);

    EXPECT_EQ(result.done, 2);
    EXPECT_EQ(sink.range, 6);
    EXPECT_EQ(sink.position, 6);
    EXPECT_EQ(contents("rusuroku/102"), before);
    EXPECT_EQ(contents("rusuroku/101").size(), mode == Mode::Copy ? 5u : 0u);
    if (mode == Mode::Move) {
        EXPECT_EQ(result.summary.text, u"音声メッセージの移動が正常に完了しました。");
        EXPECT_EQ(result.summary.caption, u"移動完了");
    } else {
        EXPECT_EQ(result.summary.text, u"音声メッセージのコピーが正常に完了しました。");
        EXPECT_EQ(result.summary.caption, u"コピー完了");
        // A copy is a file of its own, not a second name of the source.
        struct stat a {};
        struct stat b {};
        ::stat(withWav.c_str(), &a);
        ::stat((box("rusuroku/102") + "/" + std::string(fs::path(withWav).filename())).c_str(), &b);
        EXPECT_NE(a.st_ino, b.st_ino);
    }
    EXPECT_TRUE(result.success);
    EXPECT_TRUE(asked.empty());
}

// Both boxes hold messages 1 and 2 already; the answers decide what the destination ends with.
struct OverwriteCase {
    const char* name;
    std::vector<Overwrite> answers;
    std::size_t questions;
    bool replaced;  // the destination holds the source's files afterwards
};

class OverwriteAnswers : public MoveCopyTest,
                         public ::testing::WithParamInterface<std::tuple<Mode, OverwriteCase>> {};

TEST_P(OverwriteAnswers, DecideEveryClash) {
    const auto& [mode, c] = GetParam();
    const std::vector<std::string> paths = {message(1), message(2)};
    message(1, true, "rusuroku/102", u"old");
    message(2, true, "rusuroku/102", u"old");
    const auto source = contents("rusuroku/101");
    const auto old = contents("rusuroku/102");
    answers = c.answers;

    auto result = run(paths, mode);

    EXPECT_EQ(asked.size(), c.questions);
    EXPECT_EQ(asked.front(), u"このﾌｫﾙﾀﾞには既に 202612061300_SUN_0101_00001.vminf ﾌｧｲﾙが存在します。");
    EXPECT_EQ(contents("rusuroku/102"), c.replaced ? source : old);
    // A declined move leaves the message whole where it was.
    const bool sourceStays = mode == Mode::Copy || !c.replaced;
    EXPECT_EQ(contents("rusuroku/101").size(), sourceStays ? source.size() : 0u);
    EXPECT_EQ(result.done, 2);
    EXPECT_EQ(result.summary.text, mode == Mode::Move ? u"音声メッセージの移動が正常に完了しました。"
                                                      : u"音声メッセージのコピーが正常に完了しました。");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OverwriteAnswers,
    ::testing::Combine(
        ::testing::Values(Mode::Move, Mode::Copy),
        ::testing::Values(OverwriteCase{"AllAskedOnce", {Overwrite::All}, 1, true},
                          OverwriteCase{"YesForOneMessage", {Overwrite::Yes, Overwrite::Yes}, 2, true},
                          OverwriteCase{"NoKeepsTheDestination", {Overwrite::No, Overwrite::No}, 2, false})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param) == Mode::Move ? "Move" : "Copy") +
               std::get<1>(info.param).name;
    });

INSTANTIATE_TEST_SUITE_P(Modes, BothModes, ::testing::Values(Mode::Move, Mode::Copy),
                         [](const auto& info) { return info.param == Mode::Move ? "Move" : "Copy"; });

TEST_F(MoveCopyTest, CancelDuringTheSecondFileTakesTheMessageBack) {
    const std::string path = message(1);
    message(1, false, "rusuroku/102", u"old");
    fs::remove(box("rusuroku/102") + "/" + naming::baseName(fs::path(path).filename().string()) + ".vmdat");
    const auto source = contents("rusuroku/101");
    const auto old = contents("rusuroku/102");  // the recording info alone, overwritten by はい
    answers = {Overwrite::Yes};
    sink.onPosition = [this](int p) { flags.cancelAll = p == 2 ? 1 : flags.cancelAll.load(); };

    auto result = run({path}, Mode::Move);

    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.summary.text.empty());
    EXPECT_EQ(contents("rusuroku/101"), source);
    EXPECT_EQ(contents("rusuroku/102"), old);
    EXPECT_EQ(result.rows[0].outcome, RowOutcome::Cancelled);
}

TEST_F(MoveCopyTest, BackupTakingOverEndsWithoutSummary) {
    const std::vector<std::string> paths = {message(1), message(2)};
    const auto source = contents("rusuroku/101");
    int files = 0;
    MoveCopyRequest request{paths, office, "naisen/201", Mode::Move};
    request.interrupt = [&files] { return ++files == 4; };  // after the first file of message 2

    auto result = move_copy::run(request, flags, Pump{}, nullptr);

    EXPECT_TRUE(result.interrupted);
    EXPECT_TRUE(result.summary.text.empty());
    EXPECT_EQ(names("naisen/201").size(), 3u);  // message 1 only
    EXPECT_EQ(names("rusuroku/101").size(), 3u);
    EXPECT_EQ(result.rows[1].outcome, RowOutcome::Cancelled);
}

// Needed for a file of S bytes: (S / 4096 + 1) * 4096 free bytes.
TEST_F(MoveCopyTest, NoSpaceStopsAndUndoesTheMessageInHand) {
    const std::vector<std::string> paths = {message(1), message(2), message(3)};
    const auto size = fs::file_size(paths[1]);
    const std::uint64_t needed = (size / 4096 + 1) * 4096;
    int calls = 0;
    // Message 1: three files with room; message 2: its recording info fits, its voice data
    // lacks one byte.
    auto probe = [&](const std::string&) -> std::optional<std::uint64_t> {
        return ++calls == 5 ? needed - 1 : needed;
    };

    auto result = run(paths, Mode::Move, "rusuroku/102", probe);

    EXPECT_EQ(names("rusuroku/102").size(), 3u);
    EXPECT_EQ(names("rusuroku/101").size(), 6u);
    EXPECT_EQ(result.rows[1].outcome, RowOutcome::NoSpace);
    EXPECT_EQ(result.rows[2].outcome, RowOutcome::NotReached);
    EXPECT_EQ(result.summary.text, u"一部の音声メッセージが移動ができませんでした\n(ＰＣのメモリ不足)。");
    EXPECT_EQ(result.summary.caption, u"移動完了");

    // The summaries of a copy that runs out of room: after one message done, and at once.
    struct Case {
        std::vector<std::string> paths;
        int failingCall;
        std::u16string text;
        std::u16string caption;
    };
    const std::vector<Case> cases = {
        {{paths[1]}, 1, u"ＰＣのメモリ不足です。", u"エラー"},
        {{paths[1], paths[2]}, 1, u"ＰＣのメモリ不足です。", u"エラー"},
        {{paths[1], paths[2]},
         4,
         u"一部の音声メッセージがコピーできませんでした\n(ＰＣのメモリ不足)。",
         u"コピー完了"},
    };
    for (const Case& c : cases) {
        calls = 0;
        auto copy =
            run(c.paths, Mode::Copy, "naisen/201", [&](const std::string&) -> std::optional<std::uint64_t> {
                return ++calls == c.failingCall ? 0 : needed;
            });
        EXPECT_EQ(copy.summary.text, c.text);
        EXPECT_EQ(copy.summary.caption, c.caption);
        fs::remove_all(box("naisen/201"));
        fs::create_directories(box("naisen/201"));
    }
}

TEST_F(MoveCopyTest, SummariesOfMessagesNotDownloaded) {
    const std::string whole = message(1);
    const std::string infoOnly = message(2, false);
    fs::remove(infoOnly);
    const std::string noInfo = message(3, false);
    fs::remove(naming::baseName(noInfo) + ".vminf");
    const std::string info = naming::baseName(infoOnly) + ".vminf";

    struct Case {
        std::vector<std::string> paths;
        Mode mode;
        std::u16string text;
        std::u16string caption;
    };
    const std::vector<Case> cases = {
        {{info, noInfo}, Mode::Move, u"音声ファイルがダウンロードされていません。", u"エラー"},
        {{infoOnly}, Mode::Copy, u"音声ファイルがダウンロードされていません。", u"エラー"},
        {{info, whole},
         Mode::Copy,
         u"一部の音声メッセージがコピーできませんでした\n(音声ファイルなし)。",
         u"コピー完了"},
        {{whole, noInfo},
         Mode::Move,
         u"一部の音声メッセージが移動ができませんでした\n(音声ファイルなし)。",
         u"移動完了"},
    };
    for (const Case& c : cases) {
        auto result = run(c.paths, c.mode, c.mode == Mode::Copy ? "naisen/201" : "rusuroku/102");
        EXPECT_EQ(result.summary.text, c.text);
        EXPECT_EQ(result.summary.caption, c.caption);
        EXPECT_FALSE(result.success);
    }
    EXPECT_EQ(names("rusuroku/102").size(), 3u);
    EXPECT_EQ(names("naisen/201").size(), 3u);
}

// The message's own box as the destination: a clash with itself would remove the only copy,
// and the user hears that nothing was done rather than a success.
TEST_F(MoveCopyTest, OwnBoxLeavesTheMessageAloneAndSaysSo) {
    const std::string path = message(1);
    const auto before = contents("rusuroku/101");
    answers = {Overwrite::All};
    for (Mode mode : {Mode::Move, Mode::Copy}) {
        auto result = run({path}, mode, "rusuroku/101");
        EXPECT_EQ(contents("rusuroku/101"), before);
        EXPECT_EQ(result.rows[0].outcome, RowOutcome::SameBox);
        EXPECT_TRUE(asked.empty());
        EXPECT_FALSE(result.success);
        EXPECT_EQ(result.summary.text, mode == Mode::Move ? u"移動元と移動先が同じボックスです。"
                                                          : u"コピー元とコピー先が同じボックスです。");
        EXPECT_EQ(result.summary.caption, u"エラー");
    }
}

TEST_F(MoveCopyTest, DestinationMustBeABoxOfTheFolder) {
    const std::string path = message(1);
    for (const char* to : {"outou/x", "rusuroku/..", "naisen/", "rusuroku", "rusuroku/a/b", "rusuroku/999"}) {
        auto result = run({path}, Mode::Move, to);
        EXPECT_EQ(result.rows[0].outcome, RowOutcome::Failed) << to;
        EXPECT_EQ(names("rusuroku/101").size(), 3u) << to;
    }
}

// Across file systems a move copies through a synced temporary file and then removes the source.
// Across file systems the last file cannot be renamed (EXDEV): its data goes through a copy.
TEST_F(MoveCopyTest, MovesAcrossFileSystems) {
    const std::string path = message(1);
    const auto before = contents("rusuroku/101");
    MoveCopyRequest request{{path}, office, "rusuroku/102", Mode::Move};
    request.freeSpace = {};
    request.renameNoReplace = [](const std::string&, const std::string&) { return EXDEV; };
    const auto result = move_copy::run(request, flags, Pump{}, &sink);
    EXPECT_EQ(result.done, 1);
    EXPECT_EQ(contents("rusuroku/102"), before);
    EXPECT_TRUE(names("rusuroku/101").empty());
}

// A box that is a link (to another file system or anywhere else) lies outside the data folder:
// nothing is moved into it or out of it.
TEST_F(MoveCopyTest, ALinkedBoxIsNeitherSourceNorDestination) {
    test::TempFolder other(test::TempFolder::Storage::Memory);
    fs::create_symlink(other.path(), box("naisen/202"));
    const std::string path = message(1);
    const auto before = contents("rusuroku/101");
    auto into = run({path}, Mode::Move, "naisen/202");
    EXPECT_EQ(into.done, 0);
    EXPECT_TRUE(other.names().empty());
    EXPECT_EQ(contents("rusuroku/101"), before);

    const std::string outside = tmp.path() + "/outside101";
    fs::rename(box("rusuroku/101"), outside);
    fs::create_symlink(outside, box("rusuroku/101"));
    auto outOf = run({path}, Mode::Copy, "rusuroku/102");
    EXPECT_EQ(outOf.done, 0);
    EXPECT_TRUE(names("rusuroku/102").empty());
}

// A move renames the last file of a message (its WAV file) instead of linking it; a file system
// that cannot rename without replacing answers EINVAL, and the run links from then on.
class RenamedLastFile : public MoveCopyTest {
protected:
    std::vector<std::string> renamed;
    int refusals = 0;  // EINVAL answers still to give

    MoveCopyResult move(std::vector<std::string> paths, std::function<bool()> interrupt = {}) {
        MoveCopyRequest request{std::move(paths), office, "rusuroku/102", Mode::Move};
        request.askOverwrite = [](const std::u16string&) { return Overwrite::All; };
        request.interrupt = std::move(interrupt);
        request.freeSpace = {};
        request.renameNoReplace = [this](const std::string& from, const std::string& to) {
            renamed.push_back(fs::path(to).filename().string());
            if (refusals > 0) {
                --refusals;
                return EINVAL;
            }
            return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0 ? 0
                                                                                                    : errno;
        };
        return move_copy::run(request, flags, Pump{}, nullptr);
    }
};

TEST_F(RenamedLastFile, OnlyTheWavIsRenamedAndARefusalLinksTheRest) {
    for (const int refused : {0, 1}) {
        SCOPED_TRACE(refused);
        fs::remove_all(box("rusuroku/102"));
        fs::create_directories(box("rusuroku/102"));
        renamed.clear();
        refusals = refused;
        const std::vector<std::string> paths = {message(1), message(2, false), message(3)};
        const auto before = contents("rusuroku/101");

        auto result = move(paths);

        EXPECT_EQ(result.done, 3);
        EXPECT_TRUE(result.success);
        EXPECT_EQ(contents("rusuroku/102"), before);
        EXPECT_TRUE(names("rusuroku/101").empty());
        // Refused once, never asked again in the run.
        const std::vector<std::string> wavs = {"202612061300_SUN_0101_00001.wav",
                                               "202612061300_SUN_0101_00003.wav"};
        EXPECT_EQ(renamed, refused == 0 ? wavs : std::vector<std::string>{wavs[0]});
    }
}

// A stop that comes after the renamed file takes the message back as a whole: the WAV file goes
// back under its source name, and an overwritten destination is as it was.
TEST_F(RenamedLastFile, StopAfterTheRenameTakesTheMessageBack) {
    for (const bool clash : {false, true}) {
        SCOPED_TRACE(clash);
        fs::remove_all(box("rusuroku/102"));
        fs::create_directories(box("rusuroku/102"));
        const std::string path = message(1);
        if (clash) {
            message(1, true, "rusuroku/102", u"old");
        }
        const auto source = contents("rusuroku/101");
        const auto old = contents("rusuroku/102");
        int files = 0;

        auto result = move({path}, [&files] { return ++files == 3; });

        EXPECT_TRUE(result.interrupted);
        EXPECT_EQ(result.rows[0].outcome, RowOutcome::Cancelled);
        EXPECT_FALSE(renamed.empty());
        EXPECT_EQ(contents("rusuroku/101"), source);
        EXPECT_EQ(contents("rusuroku/102"), old);
        renamed.clear();
    }
}

// A name another run makes in the destination after this run looked at the box is never
// replaced: the link, or the rename of the WAV file, meets it and the user is asked.
TEST_F(MoveCopyTest, NameMadeDuringTheRunIsAskedAbout) {
    const std::vector<std::pair<int, std::string>> cases = {{1, ".vminf"}, {2, ".vmdat"}, {3, ".wav"}};
    for (const auto& [position, ext] : cases) {
        SCOPED_TRACE(ext);
        fs::remove_all(box("rusuroku/102"));
        fs::create_directories(box("rusuroku/102"));
        const std::string path = message(1);
        const std::string made =
            box("rusuroku/102") + "/" + naming::baseName(fs::path(path).filename().string()) + ext;
        const auto source = contents("rusuroku/101");
        sink.onPosition = [&, p = position](int at) {
            if (at == p) {
                test::writeFile(made, "another run's");
            }
        };
        asked.clear();
        answers = {Overwrite::No};

        auto result = run({path}, Mode::Move);

        EXPECT_EQ(result.rows[0].outcome, RowOutcome::Declined);
        EXPECT_EQ(asked.size(), 1u);
        EXPECT_EQ(contents("rusuroku/101"), source);
        EXPECT_EQ(
            contents("rusuroku/102"),
            (std::map<std::string, std::string>{{fs::path(made).filename().string(), "another run's"}}));
    }
}

// What another run (or a killed one) left in the destination: names that are not this run's.
class LeftByAnotherRun : public MoveCopyTest {
protected:
    std::string path = message(1);
    std::string base = naming::baseName(fs::path(path).filename().string());
    std::map<std::string, std::string> source = contents("rusuroku/101");

    std::string in(const std::string& b, const std::string& ext) const { return box(b) + "/" + base + ext; }
    void linkIn(const std::string& ext) {
        fs::create_hard_link(in("rusuroku/101", ext), in("rusuroku/102", ext));
    }
};

TEST_F(LeftByAnotherRun, DeclinedMessageKeepsANameItFound) {
    linkIn(".vminf");  // another run's move of this message, half done
    test::writeFile(in("rusuroku/102", ".vmdat"), test::boxMessage(test::recordOf({.callerName = u"old"})));
    answers = {Overwrite::No};

    auto result = run({path}, Mode::Move);

    EXPECT_EQ(result.rows[0].outcome, RowOutcome::Declined);
    EXPECT_TRUE(fs::equivalent(in("rusuroku/101", ".vminf"), in("rusuroku/102", ".vminf")));
    EXPECT_EQ(contents("rusuroku/101"), source);
}

TEST_F(LeftByAnotherRun, MessageWholeInTheDestinationSurvivesARollBack) {
    for (const char* ext : {".vminf", ".vmdat", ".wav"}) {
        linkIn(ext);
    }
    int calls = 0;
    auto result =
        run({path}, Mode::Move, "rusuroku/102", [&](const std::string&) -> std::optional<std::uint64_t> {
            return ++calls == 3 ? 0 : 1u << 30;  // no room for the WAV file
        });

    EXPECT_EQ(result.rows[0].outcome, RowOutcome::NoSpace);
    EXPECT_EQ(contents("rusuroku/102"), source);
    EXPECT_EQ(contents("rusuroku/101"), source);
}

// The other run takes this run's recording info as its own and removes the source names; this
// run then fails: the name it made is now the message's only recording info.
TEST_F(LeftByAnotherRun, NameTakenOverByAnotherMoveSurvivesARollBack) {
    sink.onPosition = [this](int p) {
        if (p == 2) {
            linkIn(".vmdat");
            linkIn(".wav");
            fs::remove(in("rusuroku/101", ".vminf"));
        }
    };
    int calls = 0;
    auto result =
        run({path}, Mode::Move, "rusuroku/102",
            [&](const std::string&) -> std::optional<std::uint64_t> { return ++calls == 3 ? 0 : 1u << 30; });

    EXPECT_EQ(result.rows[0].outcome, RowOutcome::NoSpace);
    EXPECT_EQ(contents("rusuroku/102"), source);
}

// A move killed after it removed the source's recording info: the source box still lists the
// message by its voice data. Whether the next run finishes it depends on what the destination
// holds under the same names.
struct HalfDoneCase {
    const char* name;
    Mode mode;
    const char* destination;  // "links", "copies", "other voice", "no wav", "no info"
    RowOutcome outcome;
};

void PrintTo(const HalfDoneCase& c, std::ostream* os) {
    *os << c.name;
}

class HalfDoneMove : public LeftByAnotherRun, public ::testing::WithParamInterface<HalfDoneCase> {};

TEST_P(HalfDoneMove, IsFinishedOnlyWhenTheDestinationHoldsTheSameMessage) {
    const HalfDoneCase& c = GetParam();
    const std::string how = c.destination;
    for (const char* ext : {".vminf", ".vmdat", ".wav"}) {
        if ((how == "no wav" && std::string(ext) == ".wav") ||
            (how == "no info" && std::string(ext) == ".vminf")) {
            continue;
        }
        if (how == "links") {
            linkIn(ext);
        } else {
            fs::copy_file(in("rusuroku/101", ext), in("rusuroku/102", ext));
        }
    }
    if (how == "other voice") {
        test::writeFile(in("rusuroku/102", ".vmdat"),
                        test::boxMessage(test::recordOf({.callerName = u"old"})));
    }
    fs::remove(in("rusuroku/101", ".vminf"));
    const auto destBefore = contents("rusuroku/102");
    const auto sourceBefore = contents("rusuroku/101");

    auto result = run({path}, c.mode);

    EXPECT_EQ(result.rows[0].outcome, c.outcome);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(contents("rusuroku/102"), destBefore);
    if (c.outcome == RowOutcome::Done) {
        EXPECT_EQ(destBefore, source);
        EXPECT_TRUE(names("rusuroku/101").empty());
        EXPECT_EQ(result.summary.text, u"音声メッセージの移動が正常に完了しました。");
    } else {
        EXPECT_EQ(contents("rusuroku/101"), sourceBefore);
        EXPECT_EQ(result.summary.text, u"音声ファイルがダウンロードされていません。");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HalfDoneMove,
    ::testing::Values(HalfDoneCase{"SameFiles", Mode::Move, "links", RowOutcome::Done},
                      HalfDoneCase{"SameBytes", Mode::Move, "copies", RowOutcome::Done},
                      HalfDoneCase{"OtherVoiceData", Mode::Move, "other voice", RowOutcome::NotDownloaded},
                      HalfDoneCase{"WavMissing", Mode::Move, "no wav", RowOutcome::NotDownloaded},
                      HalfDoneCase{"InfoMissing", Mode::Move, "no info", RowOutcome::NotDownloaded},
                      HalfDoneCase{"CopyNeverFinishesAMove", Mode::Copy, "links", RowOutcome::NotDownloaded}),
    [](const auto& info) { return std::string(info.param.name); });

// What a killed copy leaves in the destination is no message: it is replaced without a question.
struct IncompleteCase {
    const char* name;
    Mode mode;
    const char* voice;  // the destination's voice data: absent, short, or without a length
};

void PrintTo(const IncompleteCase& c, std::ostream* os) {
    *os << c.name;
}

class IncompleteDestination : public MoveCopyTest, public ::testing::WithParamInterface<IncompleteCase> {};

TEST_P(IncompleteDestination, IsReplacedWithoutAQuestion) {
    const IncompleteCase& c = GetParam();
    const std::string path = message(1);
    message(1, false, "rusuroku/102", u"old");
    const std::string destVoice = box("rusuroku/102") + "/" + fs::path(path).filename().string();
    const std::string voice = c.voice;
    if (voice == "absent") {
        fs::remove(destVoice);
    } else if (voice == "short") {
        test::writeFile(destVoice, std::string(600, 'x'));
    } else {
        test::writeFile(destVoice, test::boxMessage(test::recordOf({.length = u""})));
    }
    const auto source = contents("rusuroku/101");

    auto result = run({path}, c.mode);

    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(result.rows[0].outcome, RowOutcome::Done);
    EXPECT_TRUE(result.success);
    EXPECT_EQ(contents("rusuroku/102"), source);
    EXPECT_EQ(names("rusuroku/101").size(), c.mode == Mode::Copy ? 3u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, IncompleteDestination,
                         ::testing::Values(IncompleteCase{"CopyOverInfoOnly", Mode::Copy, "absent"},
                                           IncompleteCase{"CopyOverShortVoice", Mode::Copy, "short"},
                                           IncompleteCase{"CopyOverVoiceWithoutLength", Mode::Copy,
                                                          "no length"},
                                           IncompleteCase{"MoveOverInfoOnly", Mode::Move, "absent"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Files a killed overwrite set aside, found when a later move or copy enters their box.
TEST_F(MoveCopyTest, LeftoversOfAKilledRunAreRestoredOrRemoved) {
    const std::string path = message(1);
    const std::string infoName = test::boxMessageName("0101", 7, 0, false);
    const std::string voiceName = test::boxMessageName("0101", 7);
    const auto old = test::boxMessage(test::recordOf({.callerName = u"set aside"}));
    const std::string destBox = box("rusuroku/102");
    // Its name is missing: it goes back. Its name holds a file: it is the stale one.
    test::writeFile(destBox + "/.voxmg-aside-Ab12Cd-" + "202612061300_SUN_0101_00007%2Evmdat", old);
    test::writeFile(destBox + "/.voxmg-aside-Xy34Zw-" + "202612061300_SUN_0101_00007%2Evminf", old);
    test::writeFile(destBox + "/" + infoName, "new");
    test::writeFile(destBox + "/.voxmg-copy-Qq11Rr", "half a copy");
    // In the source box as well.
    test::writeFile(box("rusuroku/101") + "/.voxmg-aside-Mm22Nn-" + "202612061300_SUN_0101_00009%2Ewav", old);
    // Not a file of a move or copy: not ours to judge.
    test::writeFile(destBox + "/.voxmg-Kk33Ll", "someone else's");

    auto result = run({path}, Mode::Copy);

    EXPECT_EQ(result.rows[0].outcome, RowOutcome::Done);
    EXPECT_EQ(readFile(destBox + "/" + voiceName), std::string(old.begin(), old.end()));
    EXPECT_EQ(readFile(destBox + "/" + infoName), "new");
    EXPECT_EQ(readFile(box("rusuroku/101") + "/202612061300_SUN_0101_00009.wav"),
              std::string(old.begin(), old.end()));
    std::vector<std::string> hidden;
    for (const char* b : {"rusuroku/101", "rusuroku/102"}) {
        for (const std::string& name : names(b)) {
            if (name.starts_with(".")) {
                hidden.push_back(name);
            }
        }
    }
    EXPECT_EQ(hidden, std::vector<std::string>{".voxmg-Kk33Ll"});
}

}  // namespace
}  // namespace voxmg::move_copy
