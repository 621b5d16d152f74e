#include "core/audio/gain.h"

#include <gtest/gtest.h>

#include <array>

namespace voxmg::audio {
namespace {

struct GainCase {
    int setting;
    std::int16_t in;
    std::int16_t out;
};

class GainTest : public ::testing::TestWithParam<GainCase> {};

TEST_P(GainTest, ScalesTruncatesAndClamps) {
    std::array<std::int16_t, 1> s{GetParam().in};
    applyGain(s, gainFromSetting(GetParam().setting));
    EXPECT_EQ(s[0], GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Table, GainTest,
                         ::testing::Values(GainCase{0, 12345, 12345},    // untouched
                                           GainCase{6, 20000, 32767},    // 39905 clamps
                                           GainCase{6, -20000, -32768},  // and at the bottom
                                           GainCase{6, 1000, 1995},      // 1995.26 truncated
                                           GainCase{-6, -1000, -501},    // toward zero
                                           GainCase{250, 20000, 10023},  // low byte -6
                                           GainCase{256, 777, 777},      // low byte 0
                                           GainCase{-250, 1000, 1995},   // low byte 6
                                           GainCase{20, 1000, 10000},    // factor 10
                                           GainCase{127, 1, 32767},      // factor 2.2e6
                                           GainCase{-128, 32767, 0}));   // 32767 * 4e-7

TEST(GainSettingTest, OnlyTheLowByteCountsAsSigned) {
    EXPECT_EQ(gainFromSetting(250), -6);
    EXPECT_EQ(gainFromSetting(127), 127);
    EXPECT_EQ(gainFromSetting(128), -128);
    EXPECT_EQ(gainFromSetting(-5), -5);
    EXPECT_EQ(gainFromSetting(0x1234), 0x34);
}

}  // namespace
}  // namespace voxmg::audio
