#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/lists/row_view.h"
#include "core/store/filests_info.h"

namespace voxmg {
class ListRows;
}

// "選択表示": the criteria that pick the rows a list window shows. One filter is kept for box
// lists and one for response lists for the run of the program; a list copies the one of its
// kind when the filter is applied.
namespace voxmg::list_filter {

// A yes/no criterion: the first choice of the dialog ("再生済", "保護", "あり", "済み"), the
// second one, or not ticked.
enum class Choice : std::uint8_t { No = 0, Yes = 1, Any = 2 };

// Which download-state codes pass: the dialog's "取込" ticks folded into one value.
enum class StateCriterion : std::uint8_t {
    PlayedUnplayedDeleted = 0,
    PlayedUnplayed = 1,
    PlayedDeleted = 2,
    UnplayedDeleted = 3,
    Played = 4,
    Unplayed = 5,
    Deleted = 6,
    InfoOnly = 7,  // also what a ticked "取込" without any of its boxes means
    Any = 8,
};

// The "取込" check boxes: three under "録音情報+音声データ", and "録音情報のみ".
struct StateTicks {
    bool played = false;
    bool unplayed = false;
    bool deleted = false;
    bool infoOnly = false;
    bool operator==(const StateTicks&) const = default;
};
StateCriterion stateFromTicks(const StateTicks& ticks);
StateTicks ticksOf(StateCriterion state);
// Whether a stored download-state code passes.
bool statePasses(StateCriterion state, std::uint8_t code);

struct ListFilter {
    Choice flag = Choice::Any;
    Choice played = Choice::Any;  // uploaded, in response lists
    StateCriterion state = StateCriterion::Any;
    Choice protect = Choice::Any;
    bool dateOn = false;
    std::u16string dateFrom{};  // "YYYY/MM/DD"
    std::u16string dateTo{};
    bool titleOn = false;
    std::u16string title{};
    bool boxNumberOn = false;
    std::u16string boxNumber{};
    bool boxNameOn = false;
    std::u16string boxName{};
    bool callerNumberOn = false;
    std::u16string callerNumber{};
    bool callerNameOn = false;
    std::u16string callerName{};  // the message name, in response lists
    bool memoOn = false;
    std::u16string memo{};

    bool operator==(const ListFilter&) const = default;
};

// Why the dialog's OK is refused.
enum class FilterCheck {
    Ok = 0,
    InputError,    // "入力値エラーです。": a text too long in CP932, a double-byte box number
    DateRange,     // "日付範囲指定に異常があります。": "from" after "to"
    NothingTicked  // "選択されていません。"
};

// The message a refusal shows; empty for Ok.
std::u16string_view refusalText(FilterCheck check);
// What a list shows instead of filtered rows when none passes.
inline constexpr std::u16string_view kNoMatchText = u"該当するメッセージがありません。";

// The checks of the box-list dialog, in its order; only ticked criteria are checked.
FilterCheck checkBoxFilter(const ListFilter& filter);
// The response-list dialog: the message name at most 20 bytes.
FilterCheck checkResponseFilter(const ListFilter& filter);
// The texts as the filter keeps them: through CP932 and back, so a character the code page
// lacks becomes "?" as it does in the message files.
void normalizeTexts(ListFilter& filter);

// The pattern match of the text criteria: "%" any run of characters, "_" one character,
// the pattern a prefix of the field; an empty pattern matches only an empty field.
bool matchText(std::u16string_view pattern, std::u16string_view field);

// Whether a record passes every criterion. Response lists check flag, uploaded and name only.
bool passes(const ListFilter& filter, const FILESTS_INFO& record, bool responseList);
bool passes(const ListFilter& filter, const RowView& row, bool responseList);

// Shows the records that pass, in reading order (callers sort them). When none passes, every
// record is shown and 0 is returned: the list stays as it was built.
int apply(ListRows& rows, const ListFilter& filter);

}  // namespace voxmg::list_filter
