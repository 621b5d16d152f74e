#include <gtest/gtest.h>

#include "core/lists/list_slots.h"

using namespace voxmg;

TEST(ListSlots, FillsSlotsInOrderUpToFour) {
    Settings s;
    EXPECT_EQ(list_slots::storeNewList(s, 0, u"本社", u"留守録BOX：0101"), 1);
    EXPECT_EQ(list_slots::storeNewList(s, 1, u"本社", u"ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ"), 2);
    EXPECT_EQ(list_slots::storeNewList(s, 2, u"支店", u"内線BOX：201"), 3);
    EXPECT_EQ(list_slots::storeNewList(s, 3, u"支店", u"内線BOX：202"), 4);
    EXPECT_EQ(list_slots::storeNewList(s, 4, u"支店", u"内線BOX：203"), 0);
    EXPECT_EQ(s.disp[3].str(), u"内線BOX：202");
    EXPECT_EQ(s.folderNames[2].str(), u"支店");
}

TEST(ListSlots, ClosingAMiddleListMovesTheLaterOnesDown) {
    Settings s;
    list_slots::storeNewList(s, 0, u"本社", u"留守録BOX：0101");
    list_slots::storeNewList(s, 1, u"本社", u"留守録BOX：0102");
    list_slots::storeNewList(s, 2, u"支店", u"内線BOX：201");
    const auto moves = list_slots::releaseSlot(s, 3, 2);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], std::make_pair(3, 2));
    EXPECT_EQ(s.disp[1].str(), u"内線BOX：201");
    EXPECT_EQ(s.folderNames[1].str(), u"支店");
    EXPECT_TRUE(s.disp[2].empty());
    EXPECT_TRUE(s.folderNames[2].empty());

    EXPECT_TRUE(list_slots::releaseSlot(s, 2, 2).empty());
    EXPECT_TRUE(s.disp[1].empty());
    EXPECT_EQ(s.disp[0].str(), u"留守録BOX：0101");
    EXPECT_TRUE(list_slots::releaseSlot(s, 1, 5).empty());
}

TEST(ListSlots, ShownBoxesOnlyOfTheSameFolder) {
    Settings s;
    list_slots::storeNewList(s, 0, u"本社", u"留守録BOX：0101,a?b  内線BOX：201");
    list_slots::storeNewList(s, 1, u"支店", u"留守録BOX：0102");
    const auto shown = list_slots::shownBoxes(s, 2, u"本社");
    EXPECT_EQ(shown.answer, (std::set<std::u16string>{u"0101", u"a,b"}));
    EXPECT_EQ(shown.extension, (std::set<std::u16string>{u"201"}));
    // A slot behind the open count is stale and does not count.
    EXPECT_TRUE(list_slots::shownBoxes(s, 0, u"本社").answer.empty());
}

TEST(ListSlots, OneResponseListAtATime) {
    Settings s;
    list_slots::storeNewList(s, 0, u"本社", u"留守録BOX：0101");
    EXPECT_FALSE(list_slots::responseListOpen(s, 1));
    list_slots::storeNewList(s, 1, u"支店", u"ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ");
    EXPECT_TRUE(list_slots::responseListOpen(s, 2));
    EXPECT_FALSE(list_slots::responseListOpen(s, 1));
}
