#include "core/base/text.h"

#include <gtest/gtest.h>

using namespace voxmg::text;

TEST(Text, RoundTripsJapaneseThroughCp932) {
    std::u16string s = u"留守録BOX：内線";
    EXPECT_EQ(utf16FromCp932(cp932FromUtf16(s)), s);
}
