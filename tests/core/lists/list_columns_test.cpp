#include <gtest/gtest.h>

#include "core/lists/list_columns.h"
#include "core/lists/list_sort.h"

using namespace voxmg;
using list_columns::Column;

namespace {

FILESTS_INFO sample() {
    FILESTS_INFO r;
    r.flags = 0x01;
    r.played = 1;
    r.state = 2;
    r.protect = 0;
    FILESTS_INFO::setText(r.boxNumber, u"0101");
    FILESTS_INFO::setText(r.callerName, u"山田");
    FILESTS_INFO::setText(r.length, u"00:01:05");
    FILESTS_INFO::setText(r.path, u"/data/本社/rusuroku/0101/202612061305_SUN_0101_00001.vmdat");
    return r;
}

struct CellCase {
    Column column;
    std::u16string text;
};
class CellText : public ::testing::TestWithParam<CellCase> {};

}  // namespace

TEST_P(CellText, ShowsTheRecord) {
    EXPECT_EQ(list_columns::cellText(sample(), GetParam().column, u"/data"), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, CellText,
    ::testing::Values(CellCase{Column::Flag, u" 1 "}, CellCase{Column::Played, u"再生済"},
                      CellCase{Column::State, u"   0   "}, CellCase{Column::Protect, u"非保護"},
                      CellCase{Column::Upload, u"済み"}, CellCase{Column::BoxNumber, u"0101"},
                      CellCase{Column::CallerName, u"山田"}, CellCase{Column::Length, u"00:01:05"},
                      CellCase{Column::FileName, u"本社/rusuroku/0101/202612061305_SUN_0101_00001.vmdat"}));

TEST(CellTexts, FlagOffUnplayedProtectedAndOtherStateCodes) {
    FILESTS_INFO r = sample();
    r.flags = 0x80;  // the transient selection mark is not the user's flag
    r.played = 0;
    r.protect = 1;
    EXPECT_EQ(list_columns::cellText(r, Column::Flag, u""), u" 0 ");
    EXPECT_EQ(list_columns::cellText(r, Column::Played, u""), u"未再生");
    EXPECT_EQ(list_columns::cellText(r, Column::Protect, u""), u"保護");
    EXPECT_EQ(list_columns::cellText(r, Column::Upload, u""), u"");
    for (auto [state, code] : {std::pair{0, 2}, {1, 1}, {2, 0}, {3, 3}, {9, 3}}) {
        r.state = static_cast<std::uint8_t>(state);
        EXPECT_EQ(list_columns::shownStateCode(r.state), code);
    }
    r.state = 0;
    EXPECT_EQ(list_columns::stateToolTip(r.state), u"録音情報のみを取込(ダウンロード)済");
    EXPECT_EQ(list_columns::stateShortText(r.state), u"情報のみ");
    r.state = 3;
    EXPECT_EQ(list_columns::stateShortText(r.state), u"主装置ﾃﾞｰﾀ消去済");
}

TEST(CellTexts, FileNameKeepsAPathOutsideTheRootAndTrimsBlanks) {
    FILESTS_INFO r = sample();
    FILESTS_INFO::setText(r.path, u"/other/x.vmdat");
    EXPECT_EQ(list_columns::cellText(r, Column::FileName, u"/data/"), u"/other/x.vmdat");
    FILESTS_INFO::setText(r.path, u"/data/  x.vminf");
    EXPECT_EQ(list_columns::cellText(r, Column::FileName, u"/data"), u"x.vminf");
}

TEST(CellTexts, EmptyResponseSlot) {
    FILESTS_INFO r;
    FILESTS_INFO::setText(r.boxNumber, u"042");
    EXPECT_EQ(list_columns::cellText(r, Column::MessageNumber, u"", true), u"042");
    EXPECT_EQ(list_columns::cellText(r, Column::Length, u"", true), u"--:--:--");
    EXPECT_EQ(list_columns::cellText(r, Column::Flag, u"", true), u" 0 ");
    EXPECT_EQ(list_columns::cellText(r, Column::ResponseName, u"", true), u"");
}

TEST(Columns, NamesMatchByContainmentUpToTheFirstEmpty) {
    const auto columns = list_columns::boxListColumns({u"日時", u"xﾌﾗｸﾞ", u"未知", u"メモ", u"", u"BOX番号"});
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].column, Column::Date);
    EXPECT_EQ(columns[1].column, Column::Flag);
    EXPECT_EQ(columns[1].align, list_columns::Align::Center);
    EXPECT_EQ(columns[1].width, 70);
    EXPECT_EQ(columns[2].column, Column::Memo);
    EXPECT_EQ(columns[2].align, list_columns::Align::Left);
    EXPECT_EQ(list_columns::boxListColumns(list_columns::defaultBoxColumnNames()).size(), 10u);
    EXPECT_EQ(list_columns::responseListColumns().front().column, Column::MessageNumber);
}

TEST(Sorting, ComparesTextsFoldingAsciiCaseAndStaysStable) {
    const std::vector<std::u16string> texts{u"b", u"A", u"a", u"C"};
    std::vector<int> rows{0, 1, 2, 3};
    auto text = [&](int i, Column) { return texts[static_cast<std::size_t>(i)]; };
    list_sort::sortRows(rows, Column::Title, true, text);
    EXPECT_EQ(rows, (std::vector<int>{1, 2, 0, 3}));
    list_sort::sortRows(rows, Column::Title, false, text);
    EXPECT_EQ(rows, (std::vector<int>{3, 0, 1, 2}));
}

TEST(Sorting, DefaultOrderGroupsBoxesNewestFirst) {
    struct Row {
        std::u16string box, date;
    };
    const std::vector<Row> data{{u"0102", u"2026/01/01 10:00"},
                                {u"0101", u"2026/01/01 09:00"},
                                {u"0101", u"2026/02/01 09:00"},
                                {u"0102", u"2026/03/01 10:00"}};
    std::vector<int> rows{0, 1, 2, 3};
    list_sort::applyDefaultOrder(rows, [&](int i, Column c) {
        return c == Column::BoxNumber ? data[static_cast<std::size_t>(i)].box
                                      : data[static_cast<std::size_t>(i)].date;
    });
    EXPECT_EQ(rows, (std::vector<int>{2, 1, 3, 0}));
}

TEST(Sorting, HeaderClickRules) {
    list_sort::SortState state;
    EXPECT_FALSE(state.userSorted());
    // "BOX番号" as the very first click turns the default ascending order round.
    EXPECT_FALSE(state.click(Column::BoxNumber));
    EXPECT_TRUE(state.userSorted());
    // Another column takes the direction shown now; a second click reverses it.
    EXPECT_FALSE(state.click(Column::Date));
    EXPECT_TRUE(state.click(Column::Date));
    state.reset();
    EXPECT_TRUE(state.click(Column::Date));
    EXPECT_FALSE(state.click(Column::Date));
}
