#include <gtest/gtest.h>

#include "core/lists/list_boxes.h"

using namespace voxmg;
using list_boxes::ListBoxes;

namespace {

struct TitleCase {
    std::vector<std::u16string> answer;
    std::vector<std::u16string> extension;
    std::u16string text;
};

class TitleText : public ::testing::TestWithParam<TitleCase> {};

}  // namespace

TEST_P(TitleText, BuildsTheStoredTextAndReadsItBack) {
    const auto& c = GetParam();
    EXPECT_EQ(list_boxes::build(c.answer, c.extension), c.text);
    const ListBoxes parsed = list_boxes::parse(c.text);
    EXPECT_FALSE(parsed.response);
    EXPECT_EQ(parsed.answerBoxes, c.answer);
    EXPECT_EQ(parsed.extensionBoxes, c.extension);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TitleText,
    ::testing::Values(TitleCase{{u"0101", u"0102"}, {}, u"留守録BOX：0101,0102"},
                      // Extension boxes alone: no leading blanks.
                      TitleCase{{}, {u"201"}, u"内線BOX：201"},
                      TitleCase{{u"0101"}, {u"201", u"202"}, u"留守録BOX：0101  内線BOX：201,202"},
                      // "," inside a name travels as "?".
                      TitleCase{{u"a,b"}, {u"c,d,e", u"f"}, u"留守録BOX：a?b  内線BOX：c?d?e,f"},
                      TitleCase{{u"営業 1"}, {}, u"留守録BOX：営業 1"}));

TEST(ListBoxesParse, AcceptsTheHalfWidthColonAndDropsEmptyNames) {
    const ListBoxes title = list_boxes::parse(u"留守録BOX:0101,,0102  内線BOX:201,");
    EXPECT_EQ(title.answerBoxes, (std::vector<std::u16string>{u"0101", u"0102"}));
    EXPECT_EQ(title.extensionBoxes, (std::vector<std::u16string>{u"201"}));
}

TEST(ListBoxesParse, ResponseListAndNothingChosen) {
    EXPECT_TRUE(list_boxes::parse(u"ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ").response);
    EXPECT_EQ(list_boxes::build({}, {}), u"");
    const ListBoxes none = list_boxes::parse(u"");
    EXPECT_TRUE(none.answerBoxes.empty());
    EXPECT_TRUE(none.extensionBoxes.empty());
}

TEST(ListBoxesPaths, KindFoldersInTitleOrderAndNoEscapingNames) {
    ListBoxes title;
    title.answerBoxes = {u"0101", u"..", u"a/b"};
    title.extensionBoxes = {u"201"};
    const auto paths = list_boxes::boxPaths("/data/本社", title);
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0].path, "/data/本社/rusuroku/0101");
    EXPECT_FALSE(paths[0].extension);
    EXPECT_EQ(paths[1].path, "/data/本社/naisen/201");
    EXPECT_TRUE(paths[1].extension);
}

TEST(ListBoxesDisplay, ShowsCommasAgain) {
    EXPECT_EQ(list_boxes::displayText(u"留守録BOX：a?b,c"), u"留守録BOX：a,b,c");
}
