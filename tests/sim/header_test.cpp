#include <gtest/gtest.h>

#include <cstring>

#include "sim/main_unit_header.h"

namespace voxmg::sim {
namespace {

std::tm localTime(int year, int month, int day, int hour, int minute, int weekday) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_wday = weekday;
    return tm;
}

void place(HeaderBytes& bytes, std::size_t offset, std::string_view text) {
    std::memcpy(bytes.data() + offset, text.data(), text.size());
}

TEST(MainUnitHeaderTest, BoxMessageHeaderMatchesTheByteTable) {
    HeaderFields fields;
    fields.recorded = localTime(2026, 12, 6, 13, 5, 0);
    fields.callerName = "\x8e\x52\x93\x63";  // 山田
    fields.callerNumber = "0312345678";
    fields.played = true;
    fields.protect = true;
    fields.lengthTenths = 0x01020304;
    fields.boxNumber = "201";

    HeaderBytes expected{};
    place(expected, 0, "Zu-QX Voice-data");
    // Sunday 6 December 2026 13:05, every gap a zero byte.
    place(expected, 32,
          std::string_view("Sun,\0"
                           "06\0"
                           "Dec\0"
                           "2026\0"
                           "13:05\0"
                           "+0900",
                           28));
    place(expected, 64, "\x8e\x52\x93\x63");
    place(expected, 96, "0312345678");
    expected[129] = 0x03;
    expected[130] = 0x01;
    expected[131] = 0x02;
    expected[132] = 0x03;
    expected[133] = 0x04;
    place(expected, 138, "201");
    EXPECT_EQ(encodeHeader(fields), expected);
}

TEST(MainUnitHeaderTest, ResponseMessageCarriesItsNumberTwice) {
    HeaderFields fields;
    fields.recorded = localTime(2024, 1, 9, 8, 30, 2);
    fields.lengthTenths = 123;
    fields.responseNumber = 300;
    fields.boxNumber = "300";
    HeaderBytes header = encodeHeader(fields);
    EXPECT_EQ(header[129], 0);
    EXPECT_EQ(header[133], 123);
    EXPECT_EQ(header[134], 0x01);
    EXPECT_EQ(header[135], 0x2C);
    EXPECT_EQ(std::string(header.begin() + 138, header.begin() + 142), std::string("300\0", 4));
    EXPECT_EQ(std::string(header.begin() + 32, header.begin() + 37), std::string("Tue,\0", 5));
    EXPECT_EQ(std::string(header.begin() + 40, header.begin() + 43), "Jan");
}

TEST(MainUnitHeaderTest, TextFieldsAreCutWholeCharactersAt32Bytes) {
    HeaderFields fields;
    fields.callerName = std::string(32, 'N');
    fields.callerNumber = std::string(31, '1') + "\x8e\x52";  // a double-byte character at bytes 31-32
    HeaderBytes header = encodeHeader(fields);
    // Exactly 32 bytes fill the field with no terminator.
    EXPECT_EQ(std::string(header.begin() + 64, header.begin() + 96), std::string(32, 'N'));
    EXPECT_EQ(std::string(header.begin() + 96, header.begin() + 128), std::string(31, '1') + '\0');
    EXPECT_EQ(header[128], 0);
}

TEST(MainUnitHeaderTest, UnusedBytesStayZero) {
    HeaderFields fields;
    fields.callerName = "x";
    HeaderBytes header = encodeHeader(fields);
    for (std::size_t offset : {16u, 31u, 128u, 136u, 137u, 142u, 200u, 255u}) {
        EXPECT_EQ(header[offset], 0) << offset;
    }
}

TEST(MainUnitHeaderTest, FileNamesHaveTheMainUnitsShape) {
    std::tm monday = localTime(2024, 12, 2, 9, 0, 1);
    EXPECT_EQ(messageFileName(monday, "R001", "00001", ".vmdat"), "202412020900_MON_R001_00001.vmdat");
    EXPECT_EQ(messageFileName(monday, "201_", "00012", ".vminf"), "202412020900_MON_201__00012.vminf");
    std::string response = messageFileName(localTime(2024, 12, 3, 2, 40, 2), "A001", "0000", ".vmdat");
    EXPECT_EQ(response, "202412030240_TUE_A001_0000.vmdat");
    EXPECT_EQ(response.size(), 32u);
}

}  // namespace
}  // namespace voxmg::sim
