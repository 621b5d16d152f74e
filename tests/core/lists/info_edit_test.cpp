#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "core/lists/info_edit.h"
#include "support/message_files.h"

using namespace voxmg;
using namespace voxmg::test;
using info_edit::EditResult;

namespace {

struct BoxCase {
    const char* what;
    info_edit::BoxEdit edit;
    EditResult expected;
};

std::u16string repeat(std::u16string_view s, int n) {
    std::u16string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

// Monday 7 December 2026, 09:05 local time.
std::tm monday0905() {
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 11;
    tm.tm_mday = 7;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_wday = 1;
    return tm;
}

std::u16string utf16At(const Bytes& b, std::size_t at, std::size_t units) {
    std::u16string out;
    for (std::size_t i = 0; i < units; ++i) {
        char16_t c = static_cast<char16_t>(b[at + 2 * i] | (b[at + 2 * i + 1] << 8));
        if (c == 0) {
            break;
        }
        out.push_back(c);
    }
    return out;
}

class InfoEditTest : public ::testing::Test {
protected:
    std::atomic<int> m_cancel{0};
    TempFolder m_root;
    std::string m_folder = m_root.file("本社");
};

}  // namespace

TEST(InfoEditCheck, LimitsAreCp932BytesAndCommasAreRefused) {
    const std::u16string kanji20 = repeat(u"録", 20);
    const BoxCase cases[] = {
        {"empty", {}, EditResult::Done},
        {"title 20 double-byte", {.title = kanji20}, EditResult::Done},
        {"title 21 double-byte", {.title = kanji20 + u"録"}, EditResult::TitleTooLong},
        {"title 41 single-byte", {.title = repeat(u"a", 41)}, EditResult::TitleTooLong},
        {"title 40 half-width kana", {.title = repeat(u"ｱ", 40)}, EditResult::Done},
        {"caller number 32", {.callerNumber = repeat(u"0", 32)}, EditResult::Done},
        {"caller number 33", {.callerNumber = repeat(u"0", 33)}, EditResult::CallerNumberTooLong},
        {"caller name 17 double-byte", {.callerName = repeat(u"山", 17)}, EditResult::CallerNameTooLong},
        {"memo 80", {.memo = repeat(u"m", 80)}, EditResult::Done},
        {"memo 81", {.memo = repeat(u"m", 81)}, EditResult::MemoTooLong},
        // A line break takes two bytes, as CR LF.
        {"memo 79 and a line break", {.memo = repeat(u"m", 78) + u"\nm"}, EditResult::MemoTooLong},
        {"comma in title", {.title = u"a,b"}, EditResult::HasComma},
        {"comma in caller number", {.callerNumber = u"03,1"}, EditResult::HasComma},
        {"comma in caller name", {.callerName = u"山,田"}, EditResult::HasComma},
        {"comma in memo", {.memo = u"x,"}, EditResult::HasComma},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(info_edit::check(c.edit), c.expected) << c.what;
    }
    EXPECT_EQ(info_edit::check(info_edit::ResponseEdit{.name = repeat(u"夜", 10)}), EditResult::Done);
    EXPECT_EQ(info_edit::check(info_edit::ResponseEdit{.name = repeat(u"夜", 10) + u"a"}),
              EditResult::NameTooLong);
    EXPECT_EQ(info_edit::check(info_edit::ResponseEdit{.name = u"夜,間"}), EditResult::HasComma);
}

TEST_F(InfoEditTest, BoxEditRewritesOnlyTheRecordFields) {
    const std::string path = writeBoxMessage(m_folder, "rusuroku", "0101", 1,
                                             {.flags = 0x81, .played = 1, .callerNumber = u"0312345678"});
    const Bytes before = readBytes(path);
    auto out = info_edit::editBoxMessage(path,
                                         {.title = u"至急",
                                          .callerNumber = u"0311112222",
                                          .callerName = u"山田\u00e9",  // é has no CP932 form
                                          .memo = u"一行目\n二行目",
                                          .protect = true,
                                          .flag = false},
                                         m_cancel);
    ASSERT_EQ(out.result, EditResult::Done);
    EXPECT_EQ(out.path, path);
    const Bytes after = readBytes(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(std::equal(before.begin() + 990, before.end(), after.begin() + 990));
    EXPECT_EQ(after[0], 0x80);  // the flag cleared, the selection mark kept
    EXPECT_EQ(after[1], 1);
    EXPECT_EQ(after[3], 1);
    EXPECT_EQ(utf16At(after, 226, 41), u"至急");
    EXPECT_EQ(utf16At(after, 36, 33), u"0311112222");
    EXPECT_EQ(utf16At(after, 102, 33), u"山田?");
    EXPECT_EQ(utf16At(after, 308, 81), u"一行目\r\n二行目");
    EXPECT_EQ(utf16At(after, 208, 9), u"00:00:05");

    // Setting the flag and clearing protection.
    ASSERT_EQ(info_edit::editBoxMessage(path, {.flag = true}, m_cancel).result, EditResult::Done);
    const Bytes again = readBytes(path);
    EXPECT_EQ(again[0], 0x81);
    EXPECT_EQ(again[3], 0);
    EXPECT_EQ(utf16At(again, 226, 41), u"");
}

TEST_F(InfoEditTest, RefusedOrImpossibleEditsChangeNothing) {
    const std::string path = writeBoxMessage(m_folder, "rusuroku", "0101", 1, {.title = u"元"});
    const Bytes before = readBytes(path);
    EXPECT_EQ(info_edit::editBoxMessage(path, {.title = repeat(u"録", 21)}, m_cancel).result,
              EditResult::TitleTooLong);
    EXPECT_EQ(info_edit::editBoxMessage(path, {.memo = u"a,b"}, m_cancel).result, EditResult::HasComma);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(info_edit::editBoxMessage(m_folder + "/rusuroku/0101/gone.vmdat", {}, m_cancel).result,
              EditResult::CannotRead);
}

TEST_F(InfoEditTest, ResponseEditStampsHeaderAndRenamesEveryFileOfTheMessage) {
    const std::string path = writeResponse(m_folder, 7, {.callerName = u"旧名"});
    const std::string outou = m_folder + "/outou/";
    writeFile(outou + "202612061305_SUN_A007_0000.WAV", "wav");
    writeFile(outou + "202612061305_SUN_A007_0000.vminf", "inf");
    writeFile(outou + "202612061305_SUN_A008_0000.wav", "other");
    const Bytes before = readBytes(path);

    auto out =
        info_edit::editResponseMessage(path, {.name = u"夜間案内", .flag = true}, monday0905(), m_cancel);
    ASSERT_EQ(out.result, EditResult::Done);
    EXPECT_EQ(out.path, outou + "202612070905_MON_A007_0000.vmdat");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(readFile(outou + "202612070905_MON_A007_0000.WAV"), "wav");
    EXPECT_EQ(readFile(outou + "202612070905_MON_A007_0000.vminf"), "inf");
    EXPECT_EQ(readFile(outou + "202612061305_SUN_A008_0000.wav"), "other");

    const Bytes after = readBytes(out.path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[0], 0x01);
    EXPECT_EQ(utf16At(after, 102, 33), u"夜間案内");
    // Header: the name in CP932 at 64, the date text at 32; frames untouched.
    EXPECT_EQ(std::string(after.begin() + 990 + 64, after.begin() + 990 + 72),
              "\x96\xe9\x8a\xd4\x88\xc4\x93\xe0");
    EXPECT_EQ(after[990 + 72], 0);
    EXPECT_EQ(std::string(after.begin() + 990 + 32, after.begin() + 990 + 36), "Mon,");
    EXPECT_EQ(std::string(after.begin() + 990 + 49, after.begin() + 990 + 54), "09:05");
    EXPECT_TRUE(std::equal(before.begin() + 1246, before.end(), after.begin() + 1246));
}

TEST_F(InfoEditTest, ResponseEditThatCannotRenameLeavesEverythingAsItWas) {
    const std::string path = writeResponse(m_folder, 7, {.callerName = u"旧名"});
    const std::string outou = m_folder + "/outou/";
    writeFile(outou + "202612061305_SUN_A007_0000.wav", "wav");
    // A stray file already holds the new name of the WAV file: it must not be replaced.
    writeFile(outou + "202612070905_MON_A007_0000.wav", "stray");
    const Bytes before = readBytes(path);

    auto out = info_edit::editResponseMessage(path, {.name = u"新名"}, monday0905(), m_cancel);
    EXPECT_EQ(out.result, EditResult::RenameFailed);
    EXPECT_EQ(out.path, path);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(outou + "202612070905_MON_A007_0000.vmdat"));
    EXPECT_EQ(readFile(outou + "202612061305_SUN_A007_0000.wav"), "wav");
    EXPECT_EQ(readFile(outou + "202612070905_MON_A007_0000.wav"), "stray");
}

// A message downloaded info first and voice later has both files; the lists show the voice
// file's record. An edit named by either file lands there, and the info file's record follows
// it, so it still agrees should the voice file be deleted on its own.
class BothFilesEdit : public InfoEditTest, public ::testing::WithParamInterface<bool> {
protected:
    std::string m_voice = writeBoxMessage(m_folder, "rusuroku", "0101", 1, {.title = u"録音", .memo = u"旧"});
    std::string m_info = writeBoxMessage(m_folder, "rusuroku", "0101", 1,
                                         {.title = u"情報だけの頃", .memo = u"古い"}, 0, false);
};

TEST_P(BothFilesEdit, LandsInTheShownRecordAndKeepsBothEqual) {
    const std::string named = GetParam() ? m_info : m_voice;
    const Bytes voiceBefore = readBytes(m_voice);
    const Bytes infoBefore = readBytes(m_info);
    auto out =
        info_edit::editBoxMessage(named, {.title = u"新しい題", .memo = u"メモ", .flag = true}, m_cancel);
    ASSERT_EQ(out.result, EditResult::Done);
    EXPECT_EQ(out.path, m_voice);

    const Bytes voice = readBytes(m_voice);
    const Bytes info = readBytes(m_info);
    EXPECT_EQ(utf16At(voice, 226, 41), u"新しい題");
    EXPECT_EQ(utf16At(voice, 308, 81), u"メモ");
    EXPECT_EQ(voice[0], 0x01);
    // The same record, but for the download state each file keeps: 2 voice, 0 info only.
    EXPECT_EQ(voice[2], 2);
    EXPECT_EQ(info[2], 0);
    for (std::size_t i = 0; i < 470; ++i) {
        if (i != 2) {
            ASSERT_EQ(info[i], voice[i]) << "record byte " << i;
        }
    }
    // Only the records changed.
    EXPECT_TRUE(std::equal(voiceBefore.begin() + 990, voiceBefore.end(), voice.begin() + 990));
    EXPECT_TRUE(std::equal(infoBefore.begin() + 990, infoBefore.end(), info.begin() + 990));
}

INSTANTIATE_TEST_SUITE_P(NamedBy, BothFilesEdit, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "InfoFile" : "VoiceFile"); });

TEST_F(InfoEditTest, InfoOnlyMessageIsEditedInItsInfoFile) {
    const std::string info = writeBoxMessage(m_folder, "rusuroku", "0101", 2, {}, 0, false);
    auto out = info_edit::editBoxMessage(info, {.title = u"題"}, m_cancel);
    ASSERT_EQ(out.result, EditResult::Done);
    EXPECT_EQ(out.path, info);
    EXPECT_EQ(utf16At(readBytes(info), 226, 41), u"題");
    EXPECT_FALSE(std::filesystem::exists(m_folder + "/rusuroku/0101/" + boxMessageName("0101", 2)));
}

TEST_F(InfoEditTest, ResponseEditThroughTheInfoFileRenamesAndUpdatesBoth) {
    const std::string voice = writeResponse(m_folder, 7, {.callerName = u"旧名"});
    const std::string outou = m_folder + "/outou/";
    writeFile(outou + "202612061305_SUN_A007_0000.vminf",
              boxMessage(recordOf({.state = 0, .callerName = u"旧名"})));

    auto out = info_edit::editResponseMessage(outou + "202612061305_SUN_A007_0000.vminf", {.name = u"夜間"},
                                              monday0905(), m_cancel);
    ASSERT_EQ(out.result, EditResult::Done);
    EXPECT_EQ(out.path, outou + "202612070905_MON_A007_0000.vmdat");
    EXPECT_FALSE(std::filesystem::exists(voice));
    EXPECT_EQ(utf16At(readBytes(out.path), 102, 33), u"夜間");
    const Bytes info = readBytes(outou + "202612070905_MON_A007_0000.vminf");
    EXPECT_EQ(utf16At(info, 102, 33), u"夜間");
    EXPECT_EQ(info[2], 0);
}
