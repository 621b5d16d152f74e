#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "core/app/box_rows.h"
#include "core/app/frame_texts.h"
#include "core/app/liveness.h"
#include "core/app/login_input.h"
#include "core/app/network_folder.h"
#include "core/app/single_instance.h"
#include "core/app/startup.h"
#include "core/base/text.h"
#include "core/base/trace.h"
#include "support/temp_folder.h"

namespace voxmg {
namespace {

using test::TempFolder;
using text::u16;

// ---- command bar fields, status line and window menu

TEST(FrameTexts, StatusCountsSwitchToPlusesAtOneHundredThousand) {
    EXPECT_EQ(frame_texts::count(99999), u"99999");
    EXPECT_EQ(frame_texts::count(100000), u"+++++");
    EXPECT_EQ(frame_texts::boxListStatus(99999, 100000, 0, 12, 3),
              u"件数: ﾌｫﾙﾀﾞﾄｰﾀﾙ 99999  ﾎﾞｯｸｽﾄｰﾀﾙ +++++  一覧表ﾄｰﾀﾙ 0  未再生 12  再生済 3");
    EXPECT_EQ(frame_texts::responseListStatus(100000, 7),
              u"件数: ﾌｫﾙﾀﾞﾄｰﾀﾙ +++++  ｼｽﾃﾑ応答ﾒｯｾｰｼﾞﾄｰﾀﾙ 300  一覧表ﾄｰﾀﾙ 7");
}

TEST(FrameTexts, WindowMenuCutsTitlesLongerThanThirtyCharacters) {
    const std::u16string thirty(30, u'留');
    EXPECT_EQ(frame_texts::windowMenuItem(thirty), thirty);
    EXPECT_EQ(frame_texts::windowMenuItem(thirty + u"X"), thirty + u"...");
    EXPECT_EQ(frame_texts::windowMenuItem(u"留守録BOX：1?2"), u"留守録BOX：1,2");
}

TEST(FrameTexts, BoxFieldPutsTheExtensionBoxesOnTheirOwnLine) {
    EXPECT_EQ(frame_texts::boxField(u"留守録BOX:01?02内線BOX:200"), u" 留守録BOX：01,02\r\n 内線BOX：200");
    // At the start there is nothing to break away from.
    EXPECT_EQ(frame_texts::boxField(u"内線BOX:200"), u" 内線BOX：200");
}

TEST(FrameTexts, FolderFieldReadsBackAsTheBoxFolderName) {
    const auto field = frame_texts::folderField(u"/srv/vox:data", u"office");
    EXPECT_EQ(field, u" /srv/vox：data/office");
    EXPECT_EQ(frame_texts::boxFolderNameFromField(field), u"office");
    // No box folder: the trailing separator is not shown and the name reads back empty.
    EXPECT_EQ(frame_texts::folderField(u"/srv/data/", u""), u" /srv/data");
    EXPECT_EQ(frame_texts::boxFolderNameFromField(u"   /a/b:c"), u"b:c");
}

// ---- login input

struct LoginCase {
    const char* name;
    bool addressBlank;
    std::u16string user;
    std::u16string pass;
    LoginInputError expected;
};

class LoginInput : public testing::TestWithParam<LoginCase> {};

TEST_P(LoginInput, ChecksInTheOrderTheUserMeetsThem) {
    const auto& c = GetParam();
    EXPECT_EQ(checkLoginInput(c.addressBlank, c.user, c.pass), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoginInput,
    testing::Values(LoginCase{"blank_address_first", true, u"", u"", LoginInputError::NoAddress},
                    LoginCase{"no_user", false, u"", u"x", LoginInputError::NoUser},
                    LoginCase{"no_password", false, u"hozen", u"", LoginInputError::NoPassword},
                    LoginCase{"case_differs", false, u"Hozen", u"pw", LoginInputError::UnknownAccount},
                    // U+3082 has the low byte 0x82: refused before the account check.
                    LoginCase{"lead_byte_user", false, u"ho\u3082zen", u"pw", LoginInputError::UserCharacter},
                    LoginCase{"lead_byte_password", false, u"kansei", u"p\u00E0",
                              LoginInputError::PasswordCharacter},
                    LoginCase{"accepted", false, u"kansei", u"secret", LoginInputError::None}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- liveness timer decisions

class Liveness : public testing::Test {
protected:
    LivenessTicker::Tick tick(bool probeOk, bool errorOpen = false) {
        LivenessTicker::Tick t;
        t.hasConnection = true;
        t.loggedIn = true;
        t.drainAndProbe = [this, probeOk] {
            ++probes;
            return probeOk;
        };
        t.errorWindowOpen = [errorOpen] { return errorOpen; };
        return t;
    }
    LivenessTicker ticker;
    int probes = 0;
};

TEST_F(Liveness, HundredQuietTicksLogOut) {
    for (int i = 1; i < LivenessTicker::kIdleLimit; ++i) {
        ASSERT_EQ(ticker.tick(tick(true)), LivenessTicker::Outcome::Nothing) << i;
    }
    EXPECT_EQ(ticker.tick(tick(true)), LivenessTicker::Outcome::IdleLogout);
    EXPECT_EQ(ticker.idle(), 0);
}

TEST_F(Liveness, AnOperationInBetweenStartsTheCountAgain) {
    for (int i = 0; i < 99; ++i) {
        ticker.tick(tick(true));
    }
    ticker.reset();
    for (int i = 0; i < 99; ++i) {
        ASSERT_EQ(ticker.tick(tick(true)), LivenessTicker::Outcome::Nothing);
    }
}

TEST_F(Liveness, FailedProbeWaitsWhileAnErrorBoxIsOpen) {
    EXPECT_EQ(ticker.tick(tick(false, true)), LivenessTicker::Outcome::ProbeFailedWait);
    EXPECT_EQ(ticker.tick(tick(false, false)), LivenessTicker::Outcome::ProbeFailedReconnect);
    EXPECT_EQ(probes, 2);
}

TEST_F(Liveness, NoProbeWithoutConnectionOrDuringBackup) {
    auto t = tick(false);
    t.hasConnection = false;
    EXPECT_EQ(ticker.tick(t), LivenessTicker::Outcome::Nothing);
    t.hasConnection = true;
    t.backupRunning = true;
    EXPECT_EQ(ticker.tick(t), LivenessTicker::Outcome::Nothing);
    EXPECT_EQ(probes, 0);
}

// ---- start-up folder and list restore

class RecordingHost : public ListWindowHost {
public:
    void setOpenListCount(int count) override { log.push_back("count" + std::to_string(count)); }
    void setListsOpenMaximized() override { log.push_back("maximized"); }
    bool openList(int n) override {
        log.push_back("open" + std::to_string(n));
        return n != failAt;
    }
    void placeList(int n, const Rect& r, int showCmd) override {
        log.push_back("place" + std::to_string(n) + ":" + std::to_string(r.left) + "," +
                      std::to_string(showCmd));
    }
    void closeAllLists() override { log.push_back("closeAll"); }
    void activateList(int n) override { log.push_back("activate" + std::to_string(n)); }

    std::vector<std::string> log;
    int failAt = 0;
};

class StartupFolder : public testing::Test {
protected:
    void SetUp() override {
        s.folder = u16(root.path() + "/");
        s.folderName = u"office";
        root.folder("office");
        s.num = 2;
        s.disp[0] = u"留守録BOX:01";
        placements.writeInt(u"Window1", u"Left", 10);
        placements.writeInt(u"Window1", u"showCmd", 1);
        placements.writeInt(u"Window1", u"ZOrder", 2);
        placements.writeInt(u"Window2", u"Left", 20);
        placements.writeInt(u"Window2", u"showCmd", 1);
        placements.writeInt(u"Window2", u"ZOrder", 1);
    }
    TempFolder root;
    Settings s;
    ProfileFile placements;
    RecordingHost host;
};

TEST_F(StartupFolder, RestoresListsAndLeavesTheFrontOneActiveLast) {
    s.change = 0;
    EXPECT_EQ(checkStartupFolder(s, placements, true, host), StartupFolderOutcome::Restored);
    const std::vector<std::string> expected{"count1", "open1",       "place1:10,1", "count2",
                                            "open2",  "place2:20,1", "activate1",   "activate2"};
    EXPECT_EQ(host.log, expected);
}

TEST_F(StartupFolder, AListThatCannotOpenEndsTheRestoreAndKeepsChange) {
    host.failAt = 1;
    s.num = 3;
    s.change = 2;  // not 1: restore allowed, and must survive the failure
    EXPECT_EQ(checkStartupFolder(s, placements, true, host), StartupFolderOutcome::RestoreFailed);
    EXPECT_EQ(host.log, (std::vector<std::string>{"count1", "open1", "closeAll"}));
    EXPECT_EQ(s.change, 2);
}

TEST_F(StartupFolder, MissingFolderClearsTheFolderValuesSilently) {
    s.folderName = u"gone";
    EXPECT_EQ(checkStartupFolder(s, placements, true, host), StartupFolderOutcome::FolderMissing);
    EXPECT_TRUE(s.folder.empty());
    EXPECT_TRUE(s.folderName.empty());
    EXPECT_TRUE(s.disp[0].empty());
    EXPECT_EQ(s.num, 0);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(StartupFolder, SpecifiedStartFolderOpensNoLists) {
    s.init = 1;
    s.nextFolder = u16(root.path() + "/");
    s.nextFolderName = u"office";
    s.folderNames[0] = u"other";
    s.folderName = u"other";
    EXPECT_FALSE(applyStartupFolder(s));
    EXPECT_EQ(s.folderName.str(), u"office");
    s.change = 1;
    EXPECT_EQ(checkStartupFolder(s, placements, false, host), StartupFolderOutcome::Restored);
    EXPECT_EQ(s.change, 0);
    EXPECT_TRUE(host.log.empty());
}

TEST(FolderChoice, SplitsTheSpecifiedFolderAndMarksAChange) {
    Settings s;
    EXPECT_FALSE(applyFolderChoice(s, true, u""));
    ASSERT_TRUE(applyFolderChoice(s, true, u"/data/vox/office"));
    EXPECT_EQ(s.nextFolder.str(), u"/data/vox/");
    EXPECT_EQ(s.nextFolderName.str(), u"office");
    EXPECT_EQ(s.init, 1);
    EXPECT_EQ(s.change, 1);
    // The same choice again changes nothing.
    ASSERT_TRUE(applyFolderChoice(s, true, u"/data/vox/office"));
    EXPECT_EQ(s.change, 0);
    ASSERT_TRUE(applyFolderChoice(s, false, u"ignored"));
    EXPECT_EQ(s.init, 0);
    EXPECT_TRUE(s.nextFolder.empty());
}

// ---- single instance

TEST(InstanceLockTest, SecondLockOnTheSameFileIsRefusedUntilTheFirstGoes) {
    TempFolder dir;
    const std::string path = dir.path() + "/VOXMG-Zu.lock";
    auto first = InstanceLock::acquire(path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(InstanceLock::acquire(path), nullptr);
    first.reset();
    EXPECT_NE(InstanceLock::acquire(path), nullptr);
}

// ---- network folder

class NetworkFolder : public testing::Test {
protected:
    void SetUp() override {
        setTraceSink([this](std::string_view line) { traces.emplace_back(line); });
    }
    void TearDown() override { setTraceSink(nullptr); }
    NetworkFolderProbe probe(bool network, int code) {
        NetworkFolderProbe p;
        p.isNetworkPath = [network](const std::string&) { return network; };
        p.remoteName = [this](const std::string&) -> std::optional<std::string> {
            ++remoteQueries;
            return std::string("//server/share");
        };
        p.connect = [this, code](const std::string&, const std::string&) {
            ++connects;
            return code;
        };
        return p;
    }
    std::vector<std::string> traces;
    int remoteQueries = 0;
    int connects = 0;
};

TEST_F(NetworkFolder, LocalFolderMakesNoNetworkCall) {
    const auto result = connectNetworkFolder("/home/u/data/", probe(false, 0));
    EXPECT_FALSE(result.networkCallMade);
    EXPECT_EQ(remoteQueries + connects, 0);
    EXPECT_EQ(traces, (std::vector<std::string>{"ローカルフォルダ設定(/home/u/data/)"}));
}

TEST_F(NetworkFolder, AlreadyConnectedIsNoFailure) {
    const auto result = connectNetworkFolder("/mnt/nas/", probe(true, 85));
    EXPECT_FALSE(result.showFailure);
    EXPECT_EQ(traces.back(), "既にネットワーク資源に接続されています。");
    for (const auto& line : traces) {
        EXPECT_EQ(line.find("接続失敗"), std::string::npos);
    }
}

TEST_F(NetworkFolder, ListedFailureOnlyTraces) {
    const auto result = connectNetworkFolder("/mnt/nas/", probe(true, 1222));
    EXPECT_FALSE(result.showFailure);
    ASSERT_GE(traces.size(), 2u);
    EXPECT_EQ(traces[traces.size() - 2], "ネットワークドライブ接続失敗！！");
    EXPECT_EQ(traces.back(), "ERROR_NO_NETWORK(ネットワークに接続されていません。)");
}

TEST_F(NetworkFolder, UnlistedCodeAsksForTheMessageOnce) {
    const auto result = connectNetworkFolder("/mnt/nas/", probe(true, 4321));
    EXPECT_TRUE(result.showFailure);
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(traces.back(), "その他エラー:4321");
}

// ---- box rows and the automatic deletion selection

TEST(BoxRows, LeavesOutBoxesMadeOnThePcAndWritesTheSelection) {
    TempFolder dir;
    const std::string box = dir.folder("office");
    dir.folder("office/rusuroku/02");
    dir.folder("office/rusuroku/01");
    dir.folder("office/naisen/200");
    dir.folder("office/naisen/mine");
    test::writeFile(box + "/naisen/mine/inf.ini", "[INF]\r\nMAKE=1\r\n");
    EXPECT_TRUE(box_rows::isBoxFolder(box));
    EXPECT_FALSE(box_rows::isBoxFolder(dir.path()));
    EXPECT_EQ(box_rows::mainUnitBoxes(box, box_rows::kRusuroku), (std::vector<std::u16string>{u"01", u"02"}));
    EXPECT_EQ(box_rows::mainUnitBoxes(box, box_rows::kNaisen), (std::vector<std::u16string>{u"200"}));

    ProfileFile file;
    box_rows::writeAutoDeleteSelection(file, box_rows::kRusuroku, {{u"01", true}, {u"02", false}});
    EXPECT_EQ(file.readString(u"rusuroku", u"01", u""), u"1");
    EXPECT_EQ(file.readString(u"rusuroku", u"02", u""), u"0");
}

}  // namespace
}  // namespace voxmg
