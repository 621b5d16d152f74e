#include <gtest/gtest.h>

#include "sim/remote_tree.h"

namespace voxmg::sim {
namespace {

struct ResolveCase {
    const char* cwd;
    const char* argument;
    const char* expected;  // nullptr: refused
};

class ResolveTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveTest, StaysUnderTheRoot) {
    RemoteTree tree("/srv/unit");
    auto resolved = tree.resolve(GetParam().cwd, GetParam().argument);
    if (GetParam().expected == nullptr) {
        EXPECT_FALSE(resolved.has_value()) << *resolved;
    } else {
        ASSERT_TRUE(resolved.has_value());
        EXPECT_EQ(*resolved, GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ResolveTest,
    ::testing::Values(ResolveCase{"/", "/rusuroku", "/rusuroku"},
                      ResolveCase{"/", "rusuroku/001/", "/rusuroku/001"},
                      ResolveCase{"/rusuroku/001", "../", "/rusuroku"},
                      ResolveCase{"/rusuroku/001", "../..", "/"},
                      ResolveCase{"/rusuroku", "./001//x.vmdat", "/rusuroku/001/x.vmdat"},
                      ResolveCase{"/rusuroku", "/naisen/../outou", "/outou"}, ResolveCase{"/", "", "/"},
                      ResolveCase{"/", "..", nullptr}, ResolveCase{"/rusuroku", "../../etc", nullptr},
                      ResolveCase{"/", "/outou/../../x", nullptr}, ResolveCase{"/", "..\\etc", nullptr},
                      ResolveCase{"/", "a\x01", nullptr}, ResolveCase{"/", "a\x7f", nullptr}));

TEST(ResolveTest, RefusesEmbeddedNul) {
    RemoteTree tree("/srv/unit");
    EXPECT_FALSE(tree.resolve("/", std::string_view("outou\0/../..", 12)).has_value());
}

TEST(ListingLineTest, DetailedLinePutsSizeAt24AndNameLast) {
    for (std::uint64_t size : {0ull, 256ull, 1246ull, 123456789ull, 999999999ull}) {
        RemoteTree::Entry entry{"202412020900_MON_R001_00001.vmdat", false, size, 1733130000};
        std::string line = RemoteTree::detailLine(entry);
        std::string column = line.substr(24, 9);
        EXPECT_EQ(std::stoull(column), size) << line;
        EXPECT_EQ(column.back(), std::to_string(size).back()) << "right-aligned: " << line;
        EXPECT_EQ(line.substr(line.size() - 33), entry.name) << line;
        EXPECT_EQ(line.find('\r'), std::string::npos);
    }
}

TEST(ListingLineTest, NameLineMarksFolders) {
    EXPECT_EQ(RemoteTree::nameLine({"0001", true, 0, 0}), "*0001.");
    EXPECT_EQ(RemoteTree::nameLine({"a.vmdat", false, 10, 0}), "a.vmdat");
}

TEST(PartnerNameTest, SwapsTheMessageExtensions) {
    EXPECT_EQ(partnerName("x_00001.vmdat"), "x_00001.vminf");
    EXPECT_EQ(partnerName("x_00001.vminf"), "x_00001.vmdat");
    EXPECT_EQ(partnerName("inf.ini"), "");
    EXPECT_EQ(partnerName(".vmdat"), "");
}

}  // namespace
}  // namespace voxmg::sim
