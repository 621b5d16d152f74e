#include <gtest/gtest.h>

#include "core/store/filests_info.h"
#include "core/store/unit_header.h"
#include "store_fixtures.h"

using namespace voxmg;
using namespace voxmg::test;

TEST(RecordFormat, DecodesEveryFieldAtItsOffset) {
    Bytes bytes = recordBytes({.flags = 0x81,
                               .played = 1,
                               .state = 2,
                               .protect = 1,
                               .boxNumber = u"0123",
                               .boxName = u"営業部",
                               .callerNumber = u"0312345678",
                               .callerName = u"山田　太郎",
                               .date = u"2026/12/06 13:05",
                               .length = u"01:00:00",
                               .title = u"見積",
                               .memo = u"折り返し",
                               .path = u"/data/x.vmdat"});
    auto record = decodeRecord(bytes);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->flags, 0x81);
    EXPECT_EQ(record->played, 1);
    EXPECT_EQ(record->state, 2);
    EXPECT_EQ(record->protect, 1);
    EXPECT_EQ(record->boxNumberText(), u"0123");
    EXPECT_EQ(record->boxNameText(), u"営業部");
    EXPECT_EQ(record->callerNumberText(), u"0312345678");
    EXPECT_EQ(record->callerNameText(), u"山田　太郎");
    EXPECT_EQ(record->dateText(), u"2026/12/06 13:05");
    EXPECT_EQ(record->lengthText(), u"01:00:00");
    EXPECT_EQ(record->titleText(), u"見積");
    EXPECT_EQ(record->memoText(), u"折り返し");
    EXPECT_EQ(record->pathText(), u"/data/x.vmdat");
    auto encoded = encodeRecord(*record);
    EXPECT_EQ(Bytes(encoded.begin(), encoded.end()), bytes);
}

TEST(RecordFormat, EncodesLittleEndianTextsWithZeroFill) {
    FILESTS_INFO record;
    FILESTS_INFO::setText(record.boxNumber, u"A\u3042");  // 'A' 0x0041, 'あ' 0x3042
    auto bytes = encodeRecord(record);
    EXPECT_EQ(bytes[4], 0x41);
    EXPECT_EQ(bytes[5], 0x00);
    EXPECT_EQ(bytes[6], 0x42);
    EXPECT_EQ(bytes[7], 0x30);
    for (std::size_t i = 8; i < 14; ++i) {
        EXPECT_EQ(bytes[i], 0) << i;
    }
}

TEST(RecordFormat, ShortInputIsNoRecord) {
    for (std::size_t n = 0; n < kRecordSize; ++n) {
        Bytes bytes(n, 0x41);
        EXPECT_FALSE(decodeRecord(bytes)) << n;
    }
}

TEST(RecordFormat, SetTextLeavesRoomForTheTerminator) {
    FILESTS_INFO record;
    FILESTS_INFO::setText(record.boxName, u"ABCDEFGHIJKL");
    EXPECT_EQ(record.boxNameText(), u"ABCDEFGHIJ");
    FILESTS_INFO::setText(record.boxName, u"ABCDEFGHI\U0001F600");  // pair would straddle the end
    EXPECT_EQ(record.boxNameText(), u"ABCDEFGHI");
}

struct LengthCase {
    std::uint32_t tenths;
    const char16_t* text;
};
class LengthText : public ::testing::TestWithParam<LengthCase> {};
TEST_P(LengthText, Formats) {
    EXPECT_EQ(formatLength(GetParam().tenths), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Units, LengthText,
                         ::testing::Values(LengthCase{36000, u"01:00:00"}, LengthCase{599, u"00:00:59"},
                                           LengthCase{0, u"00:00:00"}, LengthCase{123, u"00:00:12"},
                                           LengthCase{36610, u"01:01:01"},
                                           LengthCase{3600000, u"100:00:00"}));

TEST(StateCode, ListShowsTheSwappedCodes) {
    EXPECT_EQ(stateCodeText(0), u"   2   ");
    EXPECT_EQ(stateCodeText(1), u"   1   ");
    EXPECT_EQ(stateCodeText(2), u"   0   ");
    EXPECT_EQ(stateCodeText(3), u"   3   ");
    EXPECT_EQ(stateCodeText(200), u"   3   ");
}

TEST(UnitHeaderFormat, ReadsFieldsFromTheTable) {
    Bytes bytes = headerBytes({.date = dateBytes("Sun", "06", "Dec", "2026", "13:05"),
                               .name = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345",  // 32 bytes, no terminator
                               .number = "0312345678",
                               .status = 0x03,
                               .length = 0x01020304,
                               .messageNumber = 0x012C,
                               .boxNumber = "12345"});
    auto header = UnitHeader::fromBytes(bytes);
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->hasModelText());
    EXPECT_EQ(header->callerName(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    EXPECT_EQ(header->callerNumber(), "0312345678");
    EXPECT_TRUE(header->playedOnUnit());
    EXPECT_TRUE(header->protectedOnUnit());
    EXPECT_EQ(header->lengthUnits(), 0x01020304u);
    EXPECT_EQ(header->messageNumber(), 300);
    EXPECT_EQ(header->boxNumber(), "1234");
    EXPECT_EQ(header->dateText(), std::string("Sun, 06 Dec 2026 13:05 +0900    "));
    EXPECT_EQ(header->recordDate(), u"2026/12/06 13:05");
}

TEST(UnitHeaderFormat, ShortInputIsNoHeader) {
    for (std::size_t n = 0; n < kUnitHeaderSize; ++n) {
        EXPECT_FALSE(UnitHeader::fromBytes(Bytes(n, 0x5A))) << n;
    }
}

TEST(UnitHeaderFormat, ModelTextMustMatchExactly) {
    auto header = UnitHeader::fromBytes(headerBytes({.model = "Zu-QX Voice-dat"}));
    EXPECT_FALSE(header->hasModelText());
}

TEST(UnitHeaderFormat, DateTextWrittenForSunday6December2026) {
    std::tm t = localTime(2026, 12, 6, 13, 5, 0);
    const std::uint8_t expected[32] = {'S', 'u', 'n', ',', 0,   '0', '6', 0,   'D', 'e', 'c',
                                       0,   '2', '0', '2', '6', 0,   '1', '3', ':', '0', '5',
                                       0,   '+', '0', '9', '0', '0', 0,   0,   0,   0};
    auto text = formatHeaderDate(t);
    EXPECT_EQ(Bytes(text.begin(), text.end()), Bytes(std::begin(expected), std::end(expected)));
}

TEST(UnitHeaderFormat, UnitSpaceBecomesIdeographicSpace) {
    EXPECT_EQ(fixUnitIdeographicSpace("\x80\xF0"), "\x81\x40");
    EXPECT_EQ(fixUnitIdeographicSpace("A\x80\xF0\x80\xF0Z"), "A\x81\x40\x81\x40Z");
    // The pair is consumed whole: 0x80 0x80 0xF0 changes only the second and third byte.
    EXPECT_EQ(fixUnitIdeographicSpace("\x80\x80\xF0"), "\x80\x81\x40");
    EXPECT_EQ(fixUnitIdeographicSpace("\x80"), "\x80");
}

struct DateCase {
    const char* text;
    bool ok;
    RecordingDate date;
};
class InternetDate : public ::testing::TestWithParam<DateCase> {};
TEST_P(InternetDate, Parses) {
    auto d = parseInternetDate(GetParam().text);
    ASSERT_EQ(d.has_value(), GetParam().ok);
    if (d) {
        EXPECT_EQ(d->year, GetParam().date.year);
        EXPECT_EQ(d->month, GetParam().date.month);
        EXPECT_EQ(d->day, GetParam().date.day);
        EXPECT_EQ(d->hour, GetParam().date.hour);
        EXPECT_EQ(d->minute, GetParam().date.minute);
    }
}
INSTANTIATE_TEST_SUITE_P(Forms, InternetDate,
                         ::testing::Values(DateCase{"Sun, 06 Dec 2026 13:05 +09", true, {2026, 12, 6, 13, 5}},
                                           DateCase{"Mon, 1 jan 2024 00:00", true, {2024, 1, 1, 0, 0}},
                                           DateCase{"29 Feb 2024 23:59:30 GMT", true, {2024, 2, 29, 23, 59}},
                                           DateCase{"Thu, 29 Feb 2023 10:00", false, {}},
                                           DateCase{"Sun, 06 Dex 2026 13:05", false, {}},
                                           DateCase{"Sun, 06 Dec 2026 24:00", false, {}},
                                           DateCase{"Sun, 06 Dec 2026", false, {}}, DateCase{"", false, {}},
                                           DateCase{"                           ", false, {}}));

TEST(UnitHeaderFormat, ResponseHeaderLayout) {
    std::tm t = localTime(2026, 12, 6, 13, 5, 0);
    auto header = makeResponseHeader(7, 123, t);
    Bytes expected = headerBytes({.date = dateBytes("Sun", "06", "Dec", "2026", "13:05"),
                                  .length = 123,
                                  .messageNumber = 7,
                                  .boxNumber = "007"});
    EXPECT_EQ(Bytes(header.bytes().begin(), header.bytes().end()), expected);
}
