#include "core/settings/settings.h"

#include <gtest/gtest.h>

#include "core/app/placement.h"
#include "core/base/text.h"

using namespace voxmg;

namespace {
ProfileFile ini(std::u16string_view content) {
    return ProfileFile::fromBytes(text::cp932FromUtf16(content));
}
}  // namespace

TEST(SettingsLoad, MissingFileGivesTheDefaults) {
    Settings s = loadSettings(ProfileFile{});
    EXPECT_EQ(s.retryCnt, 3);
    EXPECT_EQ(s.retryWait, 60000);
    EXPECT_EQ(s.hi, 1);
    EXPECT_EQ(s.num, 0);
    EXPECT_TRUE(s.ip.empty());
    EXPECT_EQ(s.port, 0);
}

TEST(SettingsLoad, AppliesEachKeysLowerBound) {
    Settings s = loadSettings(ini(
        u"[BACKUP]\r\nRETRYCNT=0\r\nRETRYWAIT=500\r\nHI=-3\r\nHINDO=-1\r\nZENKAIKA=-2\r\n"
        u"[CODEC]\r\nLEVELRVORWAV=-5\r\nLEVELRVWAVOR=-12\r\n[DISP]\r\nNUM=-4\r\n[LOGIN]\r\nCHECK=-1\r\n"));
    EXPECT_EQ(s.retryCnt, 1);
    EXPECT_EQ(s.retryWait, 10000);
    EXPECT_EQ(s.hi, 1);
    EXPECT_EQ(s.hindo, 0);
    EXPECT_EQ(s.zenkaiKa, 0);
    EXPECT_EQ(s.levelOrWav, -5);  // gains keep their sign
    EXPECT_EQ(s.levelWavOr, -12);
    EXPECT_EQ(s.num, 0);
    EXPECT_FALSE(s.check);
}

TEST(SettingsLoad, ReadsAllFourListSlotsWhateverNumSays) {
    Settings s = loadSettings(ini(u"[DISP]\r\nNUM=1\r\nDISP3=内線BOX：201\r\nFOLDERNAME4=本社\r\n"));
    EXPECT_EQ(s.disp[2].str(), u"内線BOX：201");
    EXPECT_EQ(s.folderNames[3].str(), u"本社");
}

TEST(SettingsLoad, OverlongTextsAreCutAtTheirFieldWidth) {
    Settings s =
        loadSettings(ini(u"[LOGIN]\r\nIP=192.168.100.200.300\r\nUSER=abcdefghijklmnopqrstuvwxyz\r\n"
                         u"[BACKUP]\r\nZENKAIBI=200612061305XYZ\r\n"));
    EXPECT_EQ(s.ip.str(), u"192.168.100.200");
    EXPECT_EQ(s.user.str().size(), 16u);
    EXPECT_EQ(s.zenkaiBi.str(), u"200612061305X");
    std::u16string longText(5000, u'あ');
    Settings t = loadSettings(ini(u"[DISP]\r\nDISP1=" + longText + u"\r\n"));
    EXPECT_EQ(t.disp[0].str().size(), 4095u);
}

class SettingsSave : public ::testing::Test {
protected:
    std::u16string saved(const Settings& s) {
        ProfileFile f;
        saveSettings(s, f);
        m_file = f;
        return text::utf16FromCp932(f.bytes());
    }
    ProfileFile m_file;
};

TEST_F(SettingsSave, WritesKeysInTheFileOrderWithCrlf) {
    Settings s;
    std::u16string out = saved(s);
    const char16_t* order[] = {u"[LOGIN]",         u"IP=",
                               u"USER=",           u"PASS=",
                               u"CHECK=0",         u"[FOLDER]",
                               u"FOLDER=",         u"INIT=0",
                               u"NEXTFOLDER=",     u"NEXTFOLDERNAME=",
                               u"CHANGE=0",        u"[DISP]",
                               u"FOLDERNAME=",     u"NUM=0",
                               u"DISP1=",          u"FOLDERNAME1=",
                               u"DISP4=",          u"FOLDERNAME4=",
                               u"[CONVERT]",       u"DOWNCONV=0",
                               u"CONVDEL=0",       u"[EXPORT]",
                               u"PATH=",           u"Name=",
                               u"[IMPORT]",        u"[CODEC]",
                               u"SYSADDFOLDER=",   u"LEVELRVWAVOR=0",
                               u"LEVELRVWMAOR=0",  u"LEVELRVORWAV=0",
                               u"[BACKUP]",        u"HINDO=0",
                               u"YOUBI=0",         u"HI=1",
                               u"JIKOKUHH=0",      u"JIKOKUMM=0",
                               u"ZENKAIBI=",       u"ZENKAIKA=0",
                               u"YOTEIBI=",        u"RETRYCNT=3",
                               u"RETRYWAIT=60000", u"[Download]",
                               u"Always=0",        u"[WavSave]",
                               u"Enable=0",        u"Path="};
    std::size_t at = 0;
    for (const char16_t* key : order) {
        std::size_t found = out.find(key, at);
        ASSERT_NE(found, std::u16string::npos) << text::u8(key);
        at = found;
    }
    EXPECT_EQ(out.find(u"COLUM"), std::u16string::npos);    // display columns are written elsewhere
    EXPECT_EQ(out.find(u"\nPORT="), std::u16string::npos);  // only written when set
    EXPECT_EQ(out.find(u"\n"), out.find(u"\r\n") + 1);
}

TEST_F(SettingsSave, RootFolderGetsItsTrailingSeparator) {
    Settings s;
    s.folder = u"/srv/voxmg/data";
    s.folderName = u"本社";
    s.num = 2;
    s.disp[0] = u"留守録BOX：101";
    saved(s);
    EXPECT_EQ(m_file.readString(u"FOLDER", u"FOLDER", u"-"), u"/srv/voxmg/data/");
    EXPECT_EQ(m_file.readString(u"DISP", u"FOLDERNAME", u"-"), u"本社");
    EXPECT_EQ(m_file.readInt(u"DISP", u"NUM", -1), 2);
    EXPECT_EQ(m_file.readString(u"DISP", u"DISP1", u"-"), u"留守録BOX：101");
    s.folder = u"/srv/voxmg/data/";
    saved(s);
    EXPECT_EQ(m_file.readString(u"FOLDER", u"FOLDER", u"-"), u"/srv/voxmg/data/");
}

TEST_F(SettingsSave, ChangedStartupFolderTakesOverAtTheNextStart) {
    Settings s;
    s.folder = u"/srv/voxmg/data";
    s.folderName = u"本社";
    s.nextFolder = u"/mnt/other/";
    s.nextFolderName = u"支店";
    s.change = 1;
    s.num = 3;
    for (auto& d : s.disp) {
        d = u"留守録BOX：101";
    }
    s.folderNames[0] = u"本社";
    saved(s);
    EXPECT_EQ(m_file.readString(u"FOLDER", u"FOLDER", u"-"), u"");
    EXPECT_EQ(m_file.readString(u"FOLDER", u"NEXTFOLDER", u"-"), u"/mnt/other/");
    EXPECT_EQ(m_file.readInt(u"FOLDER", u"CHANGE", -1), 1);
    EXPECT_EQ(m_file.readString(u"DISP", u"FOLDERNAME", u"-"), u"支店");
    EXPECT_EQ(m_file.readInt(u"DISP", u"NUM", -1), 0);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(m_file.readString(u"DISP", u"DISP" + text::u16(std::to_string(n)), u"-"), u"");
    }
    EXPECT_EQ(m_file.readString(u"DISP", u"FOLDERNAME1", u"-"), u"本社");
}

TEST_F(SettingsSave, UnrememberedLoginIsSavedEmptyAndPortOnlyWhenSet) {
    Settings s;  // the login dialog ran with CHECK 0: the persistent copy stayed empty
    s.port = 2121;
    saved(s);
    EXPECT_EQ(m_file.readString(u"LOGIN", u"IP", u"-"), u"");
    EXPECT_EQ(m_file.readString(u"LOGIN", u"PASS", u"-"), u"");
    EXPECT_EQ(m_file.readInt(u"LOGIN", u"CHECK", -1), 0);
    EXPECT_EQ(m_file.readInt(u"LOGIN", u"PORT", -1), 2121);
}

TEST_F(SettingsSave, LoadSaveLoadKeepsEveryValue) {
    Settings s;
    s.ip = u"10.1.2.3";
    s.user = u"hozen";
    s.pass = u"p@ss";
    s.check = true;
    s.levelOrWav = -6;
    s.wavSaveEnable = true;
    s.wavSavePath = u"/home/u/wav/";
    s.zenkaiBi = u"200612061305";
    s.retryWait = 12345;
    saved(s);
    Settings back = loadSettings(m_file);
    EXPECT_EQ(back.ip, s.ip);
    EXPECT_EQ(back.pass, s.pass);
    EXPECT_EQ(back.levelOrWav, -6);
    EXPECT_EQ(back.wavSavePath, s.wavSavePath);
    EXPECT_EQ(back.zenkaiBi, s.zenkaiBi);
    EXPECT_EQ(back.retryWait, 12345);
}

TEST(DisplayColumns, EmptiesAllTwentySixThenWritesTheNewOrder) {
    ProfileFile f = ini(u"[DISP]\r\nCOLUM1=ﾌﾗｸﾞ\r\nCOLUM5=old\r\nDELCOLUM2=old\r\n");
    Settings s = loadSettings(f);
    writeDisplayColumns(f, s, {u"日時", u"ﾌﾗｸﾞ"}, {u"ﾒﾓ"});
    EXPECT_EQ(f.readString(u"DISP", u"COLUM1", u"-"), u"日時");
    EXPECT_EQ(f.readString(u"DISP", u"COLUM2", u"-"), u"ﾌﾗｸﾞ");
    EXPECT_EQ(f.readString(u"DISP", u"COLUM5", u"-"), u"");
    EXPECT_EQ(f.readString(u"DISP", u"COLUM13", u"-"), u"");
    EXPECT_EQ(f.readString(u"DISP", u"DELCOLUM1", u"-"), u"ﾒﾓ");
    EXPECT_EQ(f.readString(u"DISP", u"DELCOLUM2", u"-"), u"");
    EXPECT_EQ(s.columns[1].str(), u"ﾌﾗｸﾞ");
    EXPECT_TRUE(s.columns[4].empty());
}

TEST(AutoDelete, ReadsWithDefaultZeroAndWritesOneOrZero) {
    ProfileFile f;
    EXPECT_FALSE(readAutoDelete(f, u"rusuroku", u"101"));
    writeAutoDelete(f, u"rusuroku", u"101", true);
    writeAutoDelete(f, u"naisen", u"201", false);
    EXPECT_TRUE(readAutoDelete(f, u"rusuroku", u"101"));
    EXPECT_EQ(f.readString(u"naisen", u"201", u"-"), u"0");
}

TEST(Placement, FrameIsMovedBackOntoTheScreen) {
    EXPECT_EQ(fitFrameToScreen({1500, 100, 2100, 700}, 1920, 1080), (Rect{1321, 100, 1921, 700}));
    EXPECT_EQ(fitFrameToScreen({-50, -20, 600, 400}, 1920, 1080), (Rect{1, 1, 651, 421}));
    EXPECT_EQ(fitFrameToScreen({100, 900, 500, 1300}, 1920, 1080), (Rect{100, 681, 500, 1081}));
    EXPECT_EQ(fitFrameToScreen({10, 10, 500, 400}, 1920, 1080), (Rect{10, 10, 500, 400}));
}

TEST(Placement, NeverSavedFrameKeepsItsOwnPlacement) {
    EXPECT_FALSE(readFramePlacement(ProfileFile{}).has_value());
    auto r = readFramePlacement(ini(u"[Window]\r\nLeft=1\r\nTop=2\r\nRight=3\r\nBottom=4\r\n"));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(*r, (Rect{1, 2, 3, 4}));
}

TEST(Placement, ListWindowsAreSavedFrontToBackWithZerosForEmptySlots) {
    ProfileFile f;
    saveWindowPlacement(f, {0, 0, 800, 600},
                        {{2, {10, 20, 300, 200}, kShowNormal}, {1, {0, 0, 250, 150}, kShowMinimized}});
    SavedListPlacement w2 = readListPlacement(f, 2);
    EXPECT_EQ(w2.rect, (Rect{10, 20, 300, 200}));
    EXPECT_EQ(w2.zOrder, 1);
    SavedListPlacement w1 = readListPlacement(f, 1);
    EXPECT_EQ(w1.showCmd, kShowMinimized);
    EXPECT_EQ(w1.zOrder, 2);
    for (int n : {3, 4}) {
        SavedListPlacement w = readListPlacement(f, n);
        EXPECT_EQ(w.rect, (Rect{0, 0, 0, 0}));
        EXPECT_EQ(w.showCmd, 0);
        EXPECT_EQ(w.zOrder, n);
    }
    EXPECT_EQ(readListPlacement(ProfileFile{}, 1).zOrder, kPlacementUnset);
}

TEST(Placement, OneMaximizedListMakesThemAllMaximized) {
    ProfileFile f;
    saveWindowPlacement(f, {0, 0, 800, 600},
                        {{2, {0, 0, 700, 500}, kShowMaximized}, {1, {5, 5, 50, 50}, kShowNormal}});
    EXPECT_EQ(readListPlacement(f, 1).showCmd, kShowMaximized);
    EXPECT_EQ(readListPlacement(f, 1).rect, (Rect{0, 0, 700, 500}));
    EXPECT_EQ(readListPlacement(f, 2).zOrder, 1);
    EXPECT_EQ(readListPlacement(f, 3).showCmd, 0);
}

TEST(Placement, AnEmptySlotNeverOverwritesAnOpenWindowsSection) {
    ProfileFile f;
    saveWindowPlacement(f, {0, 0, 800, 600}, {{3, {1, 2, 3, 4}, kShowNormal}});
    EXPECT_EQ(readListPlacement(f, 3).rect, (Rect{1, 2, 3, 4}));
    EXPECT_EQ(readListPlacement(f, 3).zOrder, 1);
}

TEST(SettingsExtensions, PlayerAndNoticeSwitchesAreWrittenOnlyAwayFromTheirDefaults) {
    ProfileFile f;
    Settings s;
    saveSettings(s, f);
    const std::u16string plain = text::utf16FromCp932(f.bytes());
    EXPECT_EQ(plain.find(u"[PLAYER]"), std::u16string::npos);
    EXPECT_EQ(plain.find(u"Notice="), std::u16string::npos);

    s.playerPane = true;
    s.playerButton = true;
    s.newMessageNotice = false;
    saveSettings(s, f);
    Settings back = loadSettings(f);
    EXPECT_TRUE(back.playerPane);
    EXPECT_TRUE(back.playerButton);
    EXPECT_FALSE(back.newMessageNotice);

    // Switched back: the file must not keep the old value.
    saveSettings(Settings{}, f);
    back = loadSettings(f);
    EXPECT_FALSE(back.playerPane);
    EXPECT_FALSE(back.playerButton);
    EXPECT_TRUE(back.newMessageNotice);

    // A value the program never writes counts as the default.
    back = loadSettings(ini(u"[PLAYER]\r\nPANE=7\r\nBUTTON=-1\r\n[Download]\r\nNotice=5\r\n"));
    EXPECT_FALSE(back.playerPane);
    EXPECT_FALSE(back.playerButton);
    EXPECT_TRUE(back.newMessageNotice);
}

// One on/off key of VOXMG.ini as a hand or another program may have left it.
struct SwitchCase {
    const char16_t* section;
    const char16_t* key;
    bool Settings::*member;
    const char16_t* held;       // the value in the file before the run
    bool on;                    // what the program makes of it
    const char16_t* unchanged;  // the value after saving the block as it was loaded
    const char16_t* flipped;    // the value after saving it with the switch flipped
};

class SwitchRoundTrip : public ::testing::TestWithParam<SwitchCase> {
protected:
    // A complete file as the program writes it, with the key set to the case's value.
    static ProfileFile fileHolding(const SwitchCase& c) {
        ProfileFile f;
        saveSettings(Settings{}, f);
        f.writeString(c.section, c.key, c.held);
        return f;
    }
};

TEST_P(SwitchRoundTrip, UnchangedBlockKeepsTheBytesAndAFlipWritesOneOrZero) {
    const SwitchCase& c = GetParam();
    ProfileFile f = fileHolding(c);
    const std::string before = f.bytes();
    Settings s = loadSettings(f);
    EXPECT_EQ(s.*c.member, c.on);

    saveSettings(s, f);
    EXPECT_EQ(f.readString(c.section, c.key, u"-"), c.unchanged);
    if (std::u16string_view(c.unchanged) == c.held) {
        EXPECT_EQ(f.bytes(), before);
    }
    saveSettings(s, f);
    EXPECT_EQ(f.readString(c.section, c.key, u"-"), c.unchanged) << "a second save must not drift";

    ProfileFile g = fileHolding(c);
    s.*c.member = !c.on;
    saveSettings(s, g);
    EXPECT_EQ(g.readString(c.section, c.key, u"-"), c.flipped);
    EXPECT_EQ(loadSettings(g).*c.member, !c.on);
}

// Switches from the Windows program's file: only 1 is on, any other value is kept while the
// switch is not flipped (a negative one reads as 0, so it is written as 0).
std::vector<SwitchCase> fileSwitches() {
    struct Key {
        const char16_t* section;
        const char16_t* key;
        bool Settings::*member;
    };
    const Key keys[] = {{u"LOGIN", u"CHECK", &Settings::check},
                        {u"CONVERT", u"DOWNCONV", &Settings::downConv},
                        {u"CONVERT", u"CONVDEL", &Settings::convDel},
                        {u"Download", u"Always", &Settings::always},
                        {u"WavSave", u"Enable", &Settings::wavSaveEnable}};
    std::vector<SwitchCase> cases;
    for (const Key& k : keys) {
        cases.push_back({k.section, k.key, k.member, u"0", false, u"0", u"1"});
        cases.push_back({k.section, k.key, k.member, u"1", true, u"1", u"0"});
        cases.push_back({k.section, k.key, k.member, u"2", false, u"2", u"1"});
        cases.push_back({k.section, k.key, k.member, u"-1", false, u"0", u"1"});
    }
    return cases;
}
INSTANTIATE_TEST_SUITE_P(FileSwitches, SwitchRoundTrip, ::testing::ValuesIn(fileSwitches()));

// Our own switches are written 1 or 0 only; a value the program never writes counts as the
// default and is replaced by it.
INSTANTIATE_TEST_SUITE_P(
    OwnSwitches, SwitchRoundTrip,
    ::testing::Values(
        SwitchCase{u"PLAYER", u"PANE", &Settings::playerPane, u"0", false, u"0", u"1"},
        SwitchCase{u"PLAYER", u"PANE", &Settings::playerPane, u"1", true, u"1", u"0"},
        SwitchCase{u"PLAYER", u"PANE", &Settings::playerPane, u"7", false, u"0", u"1"},
        SwitchCase{u"PLAYER", u"BUTTON", &Settings::playerButton, u"1", true, u"1", u"0"},
        SwitchCase{u"PLAYER", u"BUTTON", &Settings::playerButton, u"-1", false, u"0", u"1"},
        SwitchCase{u"Download", u"Notice", &Settings::newMessageNotice, u"0", false, u"0", u"1"},
        SwitchCase{u"Download", u"Notice", &Settings::newMessageNotice, u"1", true, u"1", u"0"},
        SwitchCase{u"Download", u"Notice", &Settings::newMessageNotice, u"5", true, u"1", u"0"}));
