#include "core/base/text.h"

#include <gtest/gtest.h>

#include <string>

using namespace voxmg::text;

namespace {
std::string bytes(std::initializer_list<int> list) {
    std::string out;
    for (int b : list) {
        out.push_back(static_cast<char>(b));
    }
    return out;
}
}  // namespace

TEST(Cp932, EncodesKanaKanjiAndFullWidthForms) {
    EXPECT_EQ(cp932FromUtf16(u"留守録"), bytes({0x97, 0xAF, 0x8E, 0xE7, 0x98, 0x5E}));
    EXPECT_EQ(cp932FromUtf16(u"ｼｽﾃﾑ"), bytes({0xBC, 0xBD, 0xC3, 0xD1}));
    EXPECT_EQ(cp932FromUtf16(u"　"), bytes({0x81, 0x40}));
    // CP932 maps 0x5C to the backslash and the wave dash to the full-width tilde.
    EXPECT_EQ(cp932FromUtf16(u"\\"), "\\");
    EXPECT_EQ(cp932FromUtf16(u"\uFF5E"), bytes({0x81, 0x60}));
}

TEST(Cp932, UnmappableCharacterBecomesOneQuestionMark) {
    EXPECT_EQ(cp932FromUtf16(u"a\u00E9b"), "a?b");      // é has no CP932 form
    EXPECT_EQ(cp932FromUtf16(u"x\U0001F600y"), "x?y");  // a surrogate pair is one character
    EXPECT_EQ(cp932FromUtf16(u"\xD800z"), "?z");        // a lone surrogate too
}

// What an edit would lose is named before it is stored: the NEC and IBM extensions of CP932
// (①, 髙) are kept, Hangul and astral characters are not, each named once.
TEST(Cp932, NamesTheCharactersItCannotHold) {
    EXPECT_EQ(charactersLostInCp932(u16("髙橋様①ｶﾅ abc")), u"");
    EXPECT_EQ(charactersLostInCp932(u16("髙橋様①한글한")), u16("한글"));
    EXPECT_EQ(charactersLostInCp932(u16("𠮷野家?")), u16("𠮷"));
}

TEST(Cp932, InvalidBytesAreReplacedOneByOneAndDoNotSwallowTheRest) {
    EXPECT_EQ(utf16FromCp932(bytes({'a', 0xA0, 'b'})), u"a\uFFFDb");
    // A lead byte followed by a byte that cannot trail it.
    std::u16string s = utf16FromCp932(bytes({0x82, 0x0A, 'c', 'd'}));
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ(s.substr(s.size() - 2), u"cd");
    // A lead byte cut off at the end of the text.
    EXPECT_EQ(utf16FromCp932(bytes({'x', 0x82})), u"x\uFFFD");
}

TEST(Cp932, ByteLengthCountsDoubleByteCharacters) {
    EXPECT_EQ(cp932Length(u""), 0u);
    EXPECT_EQ(cp932Length(u"abc"), 3u);
    EXPECT_EQ(cp932Length(u"内線1"), 5u);
    EXPECT_EQ(cp932Length(u"ｱｲ"), 2u);  // half-width kana take one byte each
}

TEST(Cp932, CutToBytesStopsOnACharacterBoundary) {
    EXPECT_EQ(cutToCp932Bytes(u"ab内線", 3), u"ab");
    EXPECT_EQ(cutToCp932Bytes(u"ab内線", 4), u"ab内");
    EXPECT_EQ(cutToCp932Bytes(u"abc", 10), u"abc");
}

TEST(Utf, RoundTripsThroughUtf8IncludingAstralCharacters) {
    std::u16string s = u"内線BOX：\U0001F600 end";
    EXPECT_EQ(utf16FromUtf8(utf8FromUtf16(s)), s);
    EXPECT_EQ(utf8FromUtf16(u"é"), "\xC3\xA9");
}

TEST(Utf, BrokenUtf8BecomesReplacementWithoutLosingTheRest) {
    std::u16string cut = utf16FromUtf8("a\xE3\x81z");
    EXPECT_EQ(cut.front(), u'a');
    EXPECT_EQ(cut.back(), u'z');
    EXPECT_EQ(cut.find(u'\uFFFD'), 1u);
    // The overlong form of "/" must not turn into a separator.
    EXPECT_EQ(utf16FromUtf8("\xC0\xAFq"), u"\uFFFDq");
}

TEST(LeadByteRule, ChecksTheLowEightBitsOfTheCharacter) {
    EXPECT_TRUE(hasLeadByteLowBits(u'\u3082'));  // も: low byte 0x82
    EXPECT_TRUE(hasLeadByteLowBits(u'\u00E0'));
    EXPECT_TRUE(hasLeadByteLowBits(u'\u30FC'));  // ー: low byte 0xFC
    EXPECT_FALSE(hasLeadByteLowBits(u'\u30FD'));
    EXPECT_FALSE(hasLeadByteLowBits(u'\u3080'));
    EXPECT_FALSE(hasLeadByteLowBits(u'a'));
    EXPECT_TRUE(containsLeadByteLowBits(u"hozen\u3082"));
    EXPECT_FALSE(containsLeadByteLowBits(u"hozen"));
}

TEST(Width, CutNeverSplitsASurrogatePair) {
    std::u16string s = u"ab\U0001F600";
    EXPECT_EQ(cutToWidth(s, 3), u"ab");
    EXPECT_EQ(cutToWidth(s, 4), s);
    EXPECT_EQ(cutToWidth(u"abcdef", 2), u"ab");
}

TEST(Names, CompareIgnoringAsciiCaseOnly) {
    EXPECT_TRUE(equalsIgnoreAsciiCase(u"Window1", u"WINDOW1"));
    EXPECT_FALSE(equalsIgnoreAsciiCase(u"Ａ", u"ａ"));
    EXPECT_FALSE(equalsIgnoreAsciiCase(u"ab", u"abc"));
}
