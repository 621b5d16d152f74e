#include <gtest/gtest.h>

#include <atomic>

#include "core/lists/column_choice.h"
#include "core/lists/list_filter.h"
#include "core/lists/list_rows.h"
#include "core/settings/settings.h"
#include "support/message_files.h"

using namespace voxmg;
using namespace voxmg::list_filter;

namespace {

struct MatchCase {
    std::u16string pattern;
    std::u16string field;
    bool match;
};
class TextMatch : public ::testing::TestWithParam<MatchCase> {};

FILESTS_INFO recordWith(const test::ListedMessage& m) {
    return *decodeRecord(test::recordBytes(test::recordOf(m)));
}

}  // namespace

TEST_P(TextMatch, WalksThePatternAsTheListsDo) {
    const auto& c = GetParam();
    EXPECT_EQ(matchText(c.pattern, c.field), c.match) << text::u8(c.pattern) << " / " << text::u8(c.field);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, TextMatch,
    ::testing::Values(
        // An empty pattern matches only an empty field.
        MatchCase{u"", u"", true}, MatchCase{u"", u"a", false},
        // Without "%": a prefix; "_" any one character that is there.
        MatchCase{u"営業", u"営業部", true}, MatchCase{u"営業", u"営", false},
        MatchCase{u"業", u"営業", false}, MatchCase{u"営業_", u"営業部", true},
        MatchCase{u"営業_", u"営業", false}, MatchCase{u"_業", u"営業", true}, MatchCase{u"ab", u"AB", false},
        // "%" alone, and "%" with the last letter of a name.
        MatchCase{u"%", u"", true}, MatchCase{u"%", u"何でも", true}, MatchCase{u"%部", u"営業部", true},
        MatchCase{u"%部", u"営業", false}, MatchCase{u"営%", u"営業部", true},
        MatchCase{u"%業%", u"営業部", true}, MatchCase{u"%_部", u"営業部", true},
        MatchCase{u"%x", u"", false},
        // A literal run that breaks off is tried again from its start where it broke; positions
        // inside the broken run are not, so "%aab" misses "aaab" as it always did.
        MatchCase{u"%abc", u"abxabc", true}, MatchCase{u"%aab", u"aaab", false},
        MatchCase{u"%ab", u"aab", true}, MatchCase{u"%ab", u"xaab", true}, MatchCase{u"a%c", u"abc", true},
        // The rest of the field after a matched pattern does not matter.
        MatchCase{u"%山田", u"山田太郎", true}));

TEST(ListFilter, CriteriaOfBoxAndResponseLists) {
    const FILESTS_INFO r = recordWith({.flags = 1,
                                       .played = 0,
                                       .state = 3,
                                       .protect = 1,
                                       .boxNumber = u"0101",
                                       .callerNumber = u"0312345678",
                                       .callerName = u"山田",
                                       .date = u"2026/12/06 13:05",
                                       .title = u"見積",
                                       .memo = u"折返し"});
    struct Case {
        ListFilter filter;
        bool passes;
    };
    const Case cases[] = {
        {{}, true},
        {{.flag = Choice::Yes}, true},
        {{.flag = Choice::No}, false},
        {{.played = Choice::Yes}, false},
        {{.state = StateCriterion::PlayedDeleted}, true},
        {{.state = StateCriterion::PlayedUnplayed}, false},
        {{.state = StateCriterion::InfoOnly}, false},
        {{.protect = Choice::No}, false},
        {{.dateOn = true, .dateFrom = u"2026/12/06", .dateTo = u"2026/12/06"}, true},
        {{.dateOn = true, .dateFrom = u"2026/12/07", .dateTo = u"2026/12/31"}, false},
        {{.boxNumberOn = true, .boxNumber = u"01"}, true},
        {{.boxNumberOn = true, .boxNumber = u"1"}, false},
        {{.boxNumberOn = true, .boxNumber = u""}, false},
        {{.callerNumberOn = true, .callerNumber = u"03"}, true},
        {{.callerNameOn = true, .callerName = u"%田"}, true},
        {{.titleOn = true, .title = u"見_"}, true},
        {{.memoOn = true, .memo = u"%返"}, true},
        {{.boxNameOn = true, .boxName = u"a"}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(passes(c.filter, r, false), c.passes) << &c - cases;
    }
    // A response list checks flag, uploaded and name only.
    EXPECT_TRUE(passes({.state = StateCriterion::InfoOnly, .protect = Choice::No}, r, true));
    EXPECT_FALSE(passes({.callerNameOn = true, .callerName = u"佐藤"}, r, true));
}

TEST(ListFilter, StateTicksAndCodes) {
    // No tick under a ticked "取込" is "録音情報のみ"; "録音情報のみ" wins over the others.
    EXPECT_EQ(stateFromTicks({}), StateCriterion::InfoOnly);
    EXPECT_EQ(stateFromTicks({.played = true, .infoOnly = true}), StateCriterion::InfoOnly);
    EXPECT_EQ(stateFromTicks({.played = true, .unplayed = true, .deleted = true}),
              StateCriterion::PlayedUnplayedDeleted);
    EXPECT_EQ(stateFromTicks({.unplayed = true, .deleted = true}), StateCriterion::UnplayedDeleted);
    EXPECT_EQ(stateFromTicks({.deleted = true}), StateCriterion::Deleted);
    // Each value passes the codes of its ticks, and round-trips through them.
    const char* passing[] = {"123", "12", "13", "23", "1", "2", "3", "0", "0123"};
    for (int v = 0; v <= 8; ++v) {
        const auto state = static_cast<StateCriterion>(v);
        std::string codes;
        for (std::uint8_t code = 0; code <= 3; ++code) {
            if (statePasses(state, code)) {
                codes += static_cast<char>('0' + code);
            }
        }
        EXPECT_EQ(codes, passing[v]) << v;
        if (state != StateCriterion::Any) {
            EXPECT_EQ(stateFromTicks(ticksOf(state)), state);
        }
    }
}

TEST(ListFilter, DialogChecks) {
    struct Case {
        ListFilter filter;
        FilterCheck box;
    };
    const Case cases[] = {
        {{}, FilterCheck::NothingTicked},
        {{.flag = Choice::No}, FilterCheck::Ok},
        {{.state = StateCriterion::InfoOnly}, FilterCheck::Ok},
        {{.dateOn = true, .dateFrom = u"2026/12/07", .dateTo = u"2026/12/06"}, FilterCheck::DateRange},
        {{.dateOn = true, .dateFrom = u"2026/12/06", .dateTo = u"2026/12/06"}, FilterCheck::Ok},
        // Byte limits in CP932: 20 kanji are 40 bytes, 21 are too many.
        {{.titleOn = true, .title = std::u16string(20, u'題')}, FilterCheck::Ok},
        {{.titleOn = true, .title = std::u16string(21, u'題')}, FilterCheck::InputError},
        {{.boxNameOn = true, .boxName = u"ｱｲｳｴｵｶｷｸｹｺ"}, FilterCheck::Ok},
        {{.boxNameOn = true, .boxName = u"営業部営業部"}, FilterCheck::InputError},
        {{.boxNumberOn = true, .boxNumber = u"0101"}, FilterCheck::Ok},
        {{.boxNumberOn = true, .boxNumber = u"０１"}, FilterCheck::InputError},
        {{.callerNameOn = true, .callerName = std::u16string(17, u'名')}, FilterCheck::InputError},
        // An unticked criterion is not checked.
        {{.flag = Choice::Yes, .memoOn = false, .memo = std::u16string(99, u'x')}, FilterCheck::Ok},
        // A length error is reported before a date error.
        {{.dateOn = true,
          .dateFrom = u"2027/01/01",
          .dateTo = u"2026/01/01",
          .memoOn = true,
          .memo = std::u16string(41, u'x')},
         FilterCheck::InputError},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkBoxFilter(c.filter), c.box) << &c - cases;
    }
    EXPECT_EQ(checkResponseFilter({}), FilterCheck::NothingTicked);
    EXPECT_EQ(checkResponseFilter({.callerNameOn = true, .callerName = std::u16string(10, u'名')}),
              FilterCheck::Ok);
    EXPECT_EQ(checkResponseFilter({.callerNameOn = true, .callerName = std::u16string(11, u'名')}),
              FilterCheck::InputError);
    EXPECT_EQ(refusalText(FilterCheck::DateRange), u"日付範囲指定に異常があります。");
    ListFilter odd{.callerNameOn = true, .callerName = u"山田😀"};
    normalizeTexts(odd);
    EXPECT_EQ(odd.callerName, u"山田?");
}

TEST(ListFilter, NoMatchLeavesTheFullList) {
    test::TempFolder root;
    const std::string folder = root.file("本社");
    test::writeBoxMessage(folder, "rusuroku", "0101", 1, {.callerName = u"山田"});
    test::writeBoxMessage(folder, "rusuroku", "0101", 2, {.callerName = u"佐藤"});
    test::writeBoxMessage(folder, "rusuroku", "0101", 3, {.callerName = u"山本"});
    std::atomic<int> cancel{0};
    ListRows rows(cancel);
    rows.buildBoxList(folder, list_boxes::parse(u"留守録BOX：0101"), {});
    EXPECT_EQ(apply(rows, {.callerNameOn = true, .callerName = u"山%"}), 2);
    EXPECT_EQ(rows.listTotal(), 2);
    EXPECT_EQ(rows.boxTotal(), 3);
    EXPECT_EQ(apply(rows, {.callerNameOn = true, .callerName = u"鈴木"}), 0);
    EXPECT_EQ(rows.listTotal(), 3);
    // Empty response slots pass a "なし" flag criterion: the 299 empty ones and the unflagged one.
    test::writeResponse(folder, 5, {.flags = 1});
    test::writeResponse(folder, 6);
    rows.buildResponseList(folder, {});
    EXPECT_EQ(apply(rows, {.flag = Choice::No}), 299);
    EXPECT_EQ(apply(rows, {.flag = Choice::Yes}), 1);
    EXPECT_EQ(rows.shown().front(), 4);
}

TEST(ColumnChoice, EditsAndResetsTheDisplaySetting) {
    Settings settings;
    auto choice = list_columns::ColumnChoice::fromSettings(settings.columns, settings.delColumns);
    // A new settings file shows what the lists show then: the defaults.
    EXPECT_EQ(choice, list_columns::ColumnChoice::defaults());
    EXPECT_EQ(choice.shown.size(), 10u);
    EXPECT_EQ(choice.hidden, (std::vector<std::u16string>{u"BOX名称", u"タイトル", u"メモ"}));
    EXPECT_EQ(choice.add(1), 10);
    EXPECT_EQ(choice.shown.back(), u"タイトル");
    EXPECT_EQ(choice.remove(0), 2);
    EXPECT_EQ(choice.hidden.back(), u"ﾌﾗｸﾞ");
    EXPECT_EQ(choice.moveUp(0), -1);
    EXPECT_EQ(choice.moveDown(0), 1);
    EXPECT_EQ(choice.shown[1], u"取込");
    EXPECT_EQ(choice.moveDown(9), -1);
    EXPECT_EQ(choice.add(7), -1);

    // Written at once: 26 keys emptied, then the names in order.
    ProfileFile file = ProfileFile::fromBytes("[DISP]\r\nCOLUM12=x\r\nDELCOLUM13=y\r\n");
    writeDisplayColumns(file, settings, {u"メモ", u"日時"}, {u"ﾌﾗｸﾞ"});
    EXPECT_EQ(file.readString(u"DISP", u"COLUM2", u"?"), u"日時");
    EXPECT_EQ(file.readString(u"DISP", u"COLUM12", u"?"), u"");
    EXPECT_EQ(file.readString(u"DISP", u"DELCOLUM1", u"?"), u"ﾌﾗｸﾞ");
    EXPECT_EQ(file.readString(u"DISP", u"DELCOLUM13", u"?"), u"");
    const auto back = list_columns::ColumnChoice::fromSettings(settings.columns, settings.delColumns);
    EXPECT_EQ(back.shown, (std::vector<std::u16string>{u"メモ", u"日時"}));
}
