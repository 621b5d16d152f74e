#include "core/base/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "core/base/text.h"
#include "support/temp_folder.h"

using voxmg::ProfileFile;

namespace {

// A file as the Windows routines write it: CP932, CRLF, no quoting.
std::string windowsFile() {
    return voxmg::text::cp932FromUtf16(
        u"[LOGIN]\r\nIP=192.168.1.10\r\nUSER=hozen\r\n\r\n[DISP]\r\nDISP1=留守録BOX：101,102\r\n"
        u"NUM=2\r\n\r\n[rusuroku]\r\n101=1\r\n");
}

class ProfileFileDisk : public ::testing::Test {
protected:
    std::string path(const char* name) const { return m_folder.file(name); }
    voxmg::test::TempFolder m_folder;
};

}  // namespace

TEST(ProfileRead, FollowsTheWindowsRules) {
    ProfileFile f = ProfileFile::fromBytes(
        "[Login]\r\n  ip =  10.0.0.1  \r\nUSER=\"quoted value\"\r\nuser=second\r\nNAME=\"\"\r\n"
        "HALF=\"open\r\n[login]\r\nPASS=hidden\r\n");
    EXPECT_EQ(f.readString(u"LOGIN", u"IP", u"-"), u"10.0.0.1");
    EXPECT_EQ(f.readString(u"LOGIN", u"USER", u"-"), u"quoted value");  // first match, quotes off
    EXPECT_EQ(f.readString(u"LOGIN", u"NAME", u"-"), u"");
    EXPECT_EQ(f.readString(u"LOGIN", u"HALF", u"-"), u"\"open");  // one quote is kept
    // Keys of a duplicate section are not seen: the first section wins.
    EXPECT_EQ(f.readString(u"LOGIN", u"PASS", u"def"), u"def");
    EXPECT_EQ(f.readString(u"NOPE", u"IP", u"def"), u"def");
}

TEST(ProfileRead, IntegersTakeSignAndLeadingDigits) {
    ProfileFile f = ProfileFile::fromBytes("[B]\nA=-3\nB=12abc\nC=abc\nD=\nE=+7\nF=4294967295\n");
    EXPECT_EQ(f.readInt(u"B", u"A", 9), -3);
    EXPECT_EQ(f.readInt(u"B", u"B", 9), 12);
    EXPECT_EQ(f.readInt(u"B", u"C", 9), 0);
    EXPECT_EQ(f.readInt(u"B", u"D", 9), 0);
    EXPECT_EQ(f.readInt(u"B", u"E", 9), 7);
    EXPECT_EQ(f.readInt(u"B", u"F", 9), -1);
    EXPECT_EQ(f.readInt(u"B", u"missing", 9), 9);
}

TEST(ProfileRead, GarbageNulBytesAndMissingFinalNewlineDoNotHurt) {
    static const char raw[] =
        "\xFF\xFE\x00junk\r\n[X]\x00\r\n=novalue\r\n\x81\r\nK=va\x00lue\r\n[broken\r\nZ=1";
    std::string junk(raw, sizeof raw - 1);
    ProfileFile f = ProfileFile::fromBytes(junk);
    EXPECT_EQ(f.readString(u"X", u"K", u"-"), u"va");  // a value stops at NUL
    EXPECT_EQ(f.readInt(u"broken", u"Z", 0), 1);       // a header without "]" still names a section
    ProfileFile g = ProfileFile::fromBytes("[S]\r\nlast=tail");
    EXPECT_EQ(g.readString(u"S", u"last", u""), u"tail");
    g.writeString(u"S", u"next", u"1");
    EXPECT_EQ(g.bytes(), "[S]\r\nlast=tail\r\nnext=1\r\n");
}

// Whatever stands under the settings file's name, loading it never throws or blocks: a file
// reads, a missing one is empty, anything else is empty and says why.
TEST(ProfileRead, WhatCannotBeReadIsToldNotThrown) {
    voxmg::test::TempFolder folder;
    voxmg::test::writeFile(folder.file("plain.ini"), "[S]\r\nK=1\r\n");
    std::filesystem::create_directory(folder.file("folder.ini"));
    ::mkfifo(folder.file("fifo.ini").c_str(), 0600);
    struct Case {
        const char* name;
        int error;
        int value;
    };
    for (const Case& c : {Case{"plain.ini", 0, 1}, Case{"missing.ini", 0, 0}, Case{"folder.ini", EISDIR, 0},
                          Case{"fifo.ini", EINVAL, 0}}) {
        const ProfileFile f = ProfileFile::load(folder.file(c.name));
        EXPECT_EQ(f.loadError(), c.error) << c.name;
        EXPECT_EQ(f.readInt(u"S", u"K", 0), c.value) << c.name;
    }
}

TEST(ProfileRead, ReadsJapaneseNamesAndValuesInCp932) {
    ProfileFile f = ProfileFile::fromBytes(windowsFile());
    EXPECT_EQ(f.readString(u"DISP", u"DISP1", u""), u"留守録BOX：101,102");
    // A trail byte in the range of ASCII letters must not be case-folded ("ア" is 0x83 0x41).
    ProfileFile g = ProfileFile::fromBytes(voxmg::text::cp932FromUtf16(u"[naisen]\r\nア=1\r\n"));
    EXPECT_EQ(g.readInt(u"naisen", u"ア", 0), 1);
    EXPECT_EQ(g.readInt(u"naisen", u"\u30c3", 0), 0);  // ッ is 0x83 0x62: 'b', not 'B'
}

TEST(ProfileWrite, ChangesOnlyTheLineItConcerns) {
    ProfileFile f = ProfileFile::fromBytes(windowsFile());
    f.writeString(u"login", u"user", u"kansei");
    f.writeString(u"DISP", u"NUM", u"3");
    std::string expected = windowsFile();
    expected.replace(expected.find("USER=hozen"), 10, "user=kansei");
    expected.replace(expected.find("NUM=2"), 5, "NUM=3");
    EXPECT_EQ(f.bytes(), expected);
}

TEST(ProfileWrite, NewKeyGoesAfterTheSectionsLastLineAndNewSectionAtTheEnd) {
    ProfileFile f = ProfileFile::fromBytes(windowsFile());
    f.writeString(u"LOGIN", u"PASS", u"pw");
    f.writeString(u"CODEC", u"LEVELRVORWAV", u"-5");
    std::string s = f.bytes();
    EXPECT_NE(s.find("USER=hozen\r\nPASS=pw\r\n\r\n[DISP]"), std::string::npos);
    EXPECT_TRUE(s.ends_with("101=1\r\n[CODEC]\r\nLEVELRVORWAV=-5\r\n"));
}

TEST(ProfileWrite, RemovesKeysAndSectionsAndListsThem) {
    ProfileFile f = ProfileFile::fromBytes(windowsFile());
    EXPECT_EQ(f.sections(), (std::vector<std::u16string>{u"LOGIN", u"DISP", u"rusuroku"}));
    EXPECT_EQ(f.keys(u"login"), (std::vector<std::u16string>{u"IP", u"USER"}));
    f.removeKey(u"LOGIN", u"IP");
    f.removeSection(u"DISP");
    EXPECT_EQ(f.bytes(), "[LOGIN]\r\nUSER=hozen\r\n\r\n[rusuroku]\r\n101=1\r\n");
    EXPECT_TRUE(f.keys(u"DISP").empty());
}

TEST_F(ProfileFileDisk, SaveReplacesTheFileWholeAndNeverWidensItsMode) {
    std::string p = path("VOXMG.ini");
    ProfileFile f = ProfileFile::load(p);  // missing file reads as empty
    EXPECT_EQ(f.readInt(u"A", u"B", 5), 5);
    f.writeString(u"LOGIN", u"PASS", u"secret");
    ASSERT_TRUE(f.save(0600));
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(voxmg::test::readFile(p), "[LOGIN]\r\nPASS=secret\r\n");

    // A file the password goes into loses the group and world bits it had; a file saved
    // without that demand keeps its narrower mode.
    ::chmod(p.c_str(), 0644);
    ProfileFile again = ProfileFile::load(p);
    again.writeString(u"LOGIN", u"PASS", u"other");
    ASSERT_TRUE(again.save(0600));
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_TRUE(ProfileFile::load(p).save(0644));
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // No temporary file is left beside it.
    EXPECT_EQ(m_folder.names(), std::vector<std::string>{"VOXMG.ini"});
}

TEST_F(ProfileFileDisk, SaveIntoAMissingFolderFailsAndCreatesNothing) {
    ProfileFile f(path("no/such/dir/x.ini"));
    f.writeString(u"A", u"B", u"C");
    EXPECT_FALSE(f.save());
    EXPECT_FALSE(std::filesystem::exists(path("no")));
}

TEST_F(ProfileFileDisk, OneCallFormsReadAndWriteThroughTheFile) {
    std::string p = path("inf.ini");
    ASSERT_TRUE(voxmg::profile::writeString(p, u"INF", u"NAME", u"\"営業部\""));
    ASSERT_TRUE(voxmg::profile::writeString(p, u"INF", u"MAKE", u"0"));
    EXPECT_EQ(voxmg::profile::readString(p, u"INF", u"NAME", u""), u"営業部");
    EXPECT_EQ(voxmg::profile::readInt(p, u"INF", u"MAKE", 9), 0);
    EXPECT_EQ(voxmg::test::readFile(p),
              voxmg::text::cp932FromUtf16(u"[INF]\r\nNAME=\"営業部\"\r\nMAKE=0\r\n"));
}
