#include <gtest/gtest.h>

#include "core/lists/list_spec.h"

using namespace voxmg;
using list_spec::ListSpec;

namespace {

struct SpecCase {
    std::vector<std::u16string> answer;
    std::vector<std::u16string> extension;
    std::u16string text;
};

class SpecText : public ::testing::TestWithParam<SpecCase> {};

}  // namespace

TEST_P(SpecText, BuildsTheStoredTextAndReadsItBack) {
    const auto& c = GetParam();
    EXPECT_EQ(list_spec::build(c.answer, c.extension), c.text);
    const ListSpec parsed = list_spec::parse(c.text);
    EXPECT_FALSE(parsed.response);
    EXPECT_EQ(parsed.answerBoxes, c.answer);
    EXPECT_EQ(parsed.extensionBoxes, c.extension);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SpecText,
    ::testing::Values(SpecCase{{u"0101", u"0102"}, {}, u"留守録BOX：0101,0102"},
                      // Extension boxes alone: no leading blanks.
                      SpecCase{{}, {u"201"}, u"内線BOX：201"},
                      SpecCase{{u"0101"}, {u"201", u"202"}, u"留守録BOX：0101  内線BOX：201,202"},
                      // "," inside a name travels as "?".
                      SpecCase{{u"a,b"}, {u"c,d,e", u"f"}, u"留守録BOX：a?b  内線BOX：c?d?e,f"},
                      SpecCase{{u"営業 1"}, {}, u"留守録BOX：営業 1"}));

TEST(ListSpecParse, AcceptsTheHalfWidthColonAndDropsEmptyNames) {
    const ListSpec spec = list_spec::parse(u"留守録BOX:0101,,0102  内線BOX:201,");
    EXPECT_EQ(spec.answerBoxes, (std::vector<std::u16string>{u"0101", u"0102"}));
    EXPECT_EQ(spec.extensionBoxes, (std::vector<std::u16string>{u"201"}));
}

TEST(ListSpecParse, ResponseListAndNothingChosen) {
    EXPECT_TRUE(list_spec::parse(list_spec::kResponse).response);
    EXPECT_EQ(list_spec::build({}, {}), u"");
    const ListSpec none = list_spec::parse(u"");
    EXPECT_TRUE(none.answerBoxes.empty());
    EXPECT_TRUE(none.extensionBoxes.empty());
}

TEST(ListSpecPaths, KindFoldersInSpecOrderAndNoEscapingNames) {
    ListSpec spec;
    spec.answerBoxes = {u"0101", u"..", u"a/b"};
    spec.extensionBoxes = {u"201"};
    const auto paths = list_spec::boxPaths("/data/本社", spec);
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0].path, "/data/本社/rusuroku/0101");
    EXPECT_FALSE(paths[0].extension);
    EXPECT_EQ(paths[1].path, "/data/本社/naisen/201");
    EXPECT_TRUE(paths[1].extension);
}

TEST(ListSpecDisplay, ShowsCommasAgain) {
    EXPECT_EQ(list_spec::displayText(u"留守録BOX：a?b,c"), u"留守録BOX：a,b,c");
}
