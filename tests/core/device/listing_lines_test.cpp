// Listing lines as the main unit sends them, ugly ones included.
#include "core/device/listing_lines.h"

#include <gtest/gtest.h>

namespace voxmg::listing {
namespace {

constexpr const char* kVoice = "202612061305_SUN_0101_00001.vmdat";

TEST(ListingLines, DotsStarsAndLineFeedsAreDroppedAndTheExtensionRestored) {
    auto lines = messageLines(
        u"*101.\r\n202612061305_SUN_0101_00001.vmdat\r\n\r\n"
        u"202612061305_SUN_0101_00001.vminf\rnotes.txt\r\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], kVoice);
    EXPECT_EQ(lines[1], "202612061305_SUN_0101_00001.vminf");
}

TEST(ListingLines, LastLineWithoutCarriageReturnCounts) {
    EXPECT_EQ(messageLines(u"202612061305_SUN_0101_00001.vmdat").size(), 1u);
    EXPECT_TRUE(messageLines(u"").empty());
    EXPECT_TRUE(messageLines(u"\r\n\r\n").empty());
}

struct DetailedCase {
    const char* line;
    bool valid;
    std::uint64_t size;
    const char* name;
};

class DetailedLines : public ::testing::TestWithParam<DetailedCase> {};

TEST_P(DetailedLines, SizeFromColumn24AndNameFromTheEnd) {
    const DetailedCase& c = GetParam();
    auto entry = detailedEntry(c.line);
    ASSERT_EQ(entry.has_value(), c.valid) << c.line;
    if (c.valid) {
        EXPECT_EQ(entry->size, c.size);
        EXPECT_EQ(entry->name, c.name);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DetailedLines,
    ::testing::Values(
        DetailedCase{"-rw-r--r--   1 zu   zu      61440 Dec  6 13:05 202612061305_SUN_0101_00001.vmdat", true,
                     61440, kVoice},
        DetailedCase{"-rw-r--r--   1 zu   zu  123456789 Dec  6 13:05 202612061305_SUN_0101_00001.vminf", true,
                     123456789, "202612061305_SUN_0101_00001.vminf"},
        // A response message name is one character shorter.
        DetailedCase{"-rw-r--r--   1 zu   zu       2048 Dec  6 13:05 202612061305_SUN_A001_0000.vmdat", true,
                     2048, "202612061305_SUN_A001_0000.vmdat"},
        // Too short to hold the size column or the name.
        DetailedCase{"-rw-r--r-- 1 202612061305_SUN_0101_00001.vmdat", false, 0, ""},
        DetailedCase{"202612061305_SUN_0101_00001.vmdat", false, 0, ""},
        // No number where the size belongs.
        DetailedCase{"-rw-r--r--   1 zu   zu          x Dec  6 13:05 202612061305_SUN_0101_00001.vmdat",
                     false, 0, ""},
        // A name that would leave the folder, or is not a message name.
        DetailedCase{"-rw-r--r--   1 zu   zu        100 Dec  6 13:05 ../../../../etc/passwd_SUN_01.vmdat",
                     false, 0, ""},
        DetailedCase{"-rw-r--r--   1 zu   zu        100 Dec  6 13:05 2026120613/5_SUN_0101_00001.vmdat",
                     false, 0, ""}));

TEST(NameLines, OnlyPlainMessageNamesPass) {
    EXPECT_EQ(nameEntry(kVoice), kVoice);
    EXPECT_FALSE(nameEntry("..\\..\\202612061305_SUN_0101_1.vmdat"));
    EXPECT_FALSE(nameEntry("x.vmdat"));
}

TEST(SpaceRules, RoundToClustersAndWavSize) {
    EXPECT_EQ(retrievalSpace(0), 4096u);
    EXPECT_EQ(retrievalSpace(4096), 8192u);
    EXPECT_EQ(retrievalSpace(4095), 4096u);
    EXPECT_EQ(conversionSpace(255), 4096u);
    EXPECT_EQ(conversionSpace(12345), 49u * 4096u);
}

}  // namespace
}  // namespace voxmg::listing
