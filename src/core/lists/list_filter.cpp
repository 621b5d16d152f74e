#include "core/lists/list_filter.h"

#include <vector>

#include "core/base/text.h"
#include "core/lists/list_rows.h"

namespace voxmg::list_filter {
namespace {

// Byte limits of the text criteria in CP932: what the record's fields can hold as the main
// unit sends them.
constexpr std::size_t kTitleBytes = 40;
constexpr std::size_t kBoxNumberBytes = 4;
constexpr std::size_t kBoxNameBytes = 10;
constexpr std::size_t kCallerBytes = 32;
constexpr std::size_t kMemoBytes = 40;
constexpr std::size_t kResponseNameBytes = 20;

bool fits(bool on, std::u16string_view text, std::size_t bytes) {
    return !on || text::cp932Length(text) <= bytes;
}

bool choicePasses(Choice choice, bool value) {
    return choice == Choice::Any || (choice == Choice::Yes) == value;
}

// Box and caller numbers: the field begins with the text; no wildcards.
bool beginsWith(std::u16string_view given, std::u16string_view field) {
    return given.empty() ? field.empty() : field.starts_with(given);
}

bool isLiteral(char16_t c) {
    return c != u'%' && c != u'_';
}

// A pattern with "%": literals are matched in runs; a run that breaks off part-way is tried
// again from its first character at the field position where it broke, and positions inside
// the broken run are not tried again. Lists filtered on Windows showed exactly these rows.
bool matchWildcard(std::u16string_view pattern, std::u16string_view field) {
    std::size_t p = 0;
    std::size_t f = 0;
    bool wildcard = false;
    while (p < pattern.size()) {
        const char16_t c = pattern[p];
        if (c == u'%') {
            wildcard = true;
            ++p;
            continue;
        }
        if (f >= field.size()) {
            return false;
        }
        if (c == u'_') {
            ++p;
            ++f;
            continue;
        }
        if (field[f] != c) {
            if (!wildcard) {
                return false;
            }
            ++f;
            continue;
        }
        const std::size_t runStart = p;
        ++p;
        ++f;
        while (p < pattern.size() && isLiteral(pattern[p])) {
            if (f >= field.size() || field[f] != pattern[p]) {
                break;
            }
            ++p;
            ++f;
        }
        if (p < pattern.size() && isLiteral(pattern[p])) {
            if (!wildcard) {
                return false;
            }
            p = runStart;  // retried where the difference occurred
        }
    }
    return true;
}

}  // namespace

StateCriterion stateFromTicks(const StateTicks& t) {
    if (t.infoOnly || (!t.played && !t.unplayed && !t.deleted)) {
        return StateCriterion::InfoOnly;
    }
    if (t.played && t.unplayed && t.deleted) {
        return StateCriterion::PlayedUnplayedDeleted;
    }
    if (t.played && t.unplayed) {
        return StateCriterion::PlayedUnplayed;
    }
    if (t.played && t.deleted) {
        return StateCriterion::PlayedDeleted;
    }
    if (t.unplayed && t.deleted) {
        return StateCriterion::UnplayedDeleted;
    }
    return t.played     ? StateCriterion::Played
           : t.unplayed ? StateCriterion::Unplayed
                        : StateCriterion::Deleted;
}

StateTicks ticksOf(StateCriterion state) {
    switch (state) {
        case StateCriterion::PlayedUnplayedDeleted:
            return {true, true, true, false};
        case StateCriterion::PlayedUnplayed:
            return {true, true, false, false};
        case StateCriterion::PlayedDeleted:
            return {true, false, true, false};
        case StateCriterion::UnplayedDeleted:
            return {false, true, true, false};
        case StateCriterion::Played:
            return {true, false, false, false};
        case StateCriterion::Unplayed:
            return {false, true, false, false};
        case StateCriterion::Deleted:
            return {false, false, true, false};
        case StateCriterion::InfoOnly:
            return {false, false, false, true};
        case StateCriterion::Any:
            break;
    }
    return {};
}

bool statePasses(StateCriterion state, std::uint8_t code) {
    const bool played = code == static_cast<std::uint8_t>(DownloadState::PlayedOnUnit);
    const bool unplayed = code == static_cast<std::uint8_t>(DownloadState::UnplayedOnUnit);
    const bool deleted = code == static_cast<std::uint8_t>(DownloadState::DeletedOnUnit);
    switch (state) {
        case StateCriterion::Any:
            return true;
        case StateCriterion::InfoOnly:
            return code == static_cast<std::uint8_t>(DownloadState::InfoOnly);
        default: {
            const StateTicks t = ticksOf(state);
            return (t.played && played) || (t.unplayed && unplayed) || (t.deleted && deleted);
        }
    }
}

std::u16string_view refusalText(FilterCheck check) {
    switch (check) {
        case FilterCheck::InputError:
            return u"入力値エラーです。";
        case FilterCheck::DateRange:
            return u"日付範囲指定に異常があります。";
        case FilterCheck::NothingTicked:
            return u"選択されていません。";
        case FilterCheck::Ok:
            break;
    }
    return {};
}

FilterCheck checkBoxFilter(const ListFilter& f) {
    const bool boxNumberSingleBytes = !f.boxNumberOn || text::cp932Length(f.boxNumber) == f.boxNumber.size();
    if (!fits(f.titleOn, f.title, kTitleBytes) || !fits(f.boxNumberOn, f.boxNumber, kBoxNumberBytes) ||
        !boxNumberSingleBytes || !fits(f.boxNameOn, f.boxName, kBoxNameBytes) ||
        !fits(f.callerNumberOn, f.callerNumber, kCallerBytes) ||
        !fits(f.callerNameOn, f.callerName, kCallerBytes) || !fits(f.memoOn, f.memo, kMemoBytes)) {
        return FilterCheck::InputError;
    }
    // The dates are "YYYY/MM/DD", so their text order is their calendar order.
    if (f.dateOn && f.dateFrom > f.dateTo) {
        return FilterCheck::DateRange;
    }
    const bool anyText = f.dateOn || f.titleOn || f.boxNumberOn || f.boxNameOn || f.callerNumberOn ||
                         f.callerNameOn || f.memoOn;
    const bool anyChoice = f.flag != Choice::Any || f.played != Choice::Any || f.protect != Choice::Any ||
                           f.state != StateCriterion::Any;
    return anyText || anyChoice ? FilterCheck::Ok : FilterCheck::NothingTicked;
}

FilterCheck checkResponseFilter(const ListFilter& f) {
    if (!fits(f.callerNameOn, f.callerName, kResponseNameBytes)) {
        return FilterCheck::InputError;
    }
    const bool any = f.callerNameOn || f.flag != Choice::Any || f.played != Choice::Any;
    return any ? FilterCheck::Ok : FilterCheck::NothingTicked;
}

void normalizeTexts(ListFilter& f) {
    for (std::u16string* t : {&f.title, &f.boxNumber, &f.boxName, &f.callerNumber, &f.callerName, &f.memo}) {
        *t = text::utf16FromCp932(text::cp932FromUtf16(*t));
    }
}

bool matchText(std::u16string_view pattern, std::u16string_view field) {
    if (pattern.empty()) {
        return field.empty();
    }
    if (pattern == u"%") {
        return true;
    }
    if (pattern.find(u'%') != std::u16string_view::npos) {
        return matchWildcard(pattern, field);
    }
    // No "%": a prefix, "_" taking any one character that is there.
    if (field.size() < pattern.size()) {
        return false;
    }
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != u'_' && pattern[i] != field[i]) {
            return false;
        }
    }
    return true;
}

bool passes(const ListFilter& f, const FILESTS_INFO& r, bool responseList) {
    return passes(f, RowView::of(r), responseList);
}

bool passes(const ListFilter& f, const RowView& r, bool responseList) {
    if (!choicePasses(f.flag, (r.flags & FILESTS_INFO::kUserFlag) != 0) ||
        !choicePasses(f.played, r.played != 0)) {
        return false;
    }
    if (f.callerNameOn && !matchText(f.callerName, r.callerName)) {
        return false;
    }
    if (responseList) {
        return true;
    }
    if (!choicePasses(f.protect, r.protect != 0) || !statePasses(f.state, r.state)) {
        return false;
    }
    if (f.dateOn) {
        const std::u16string_view day = r.date.substr(0, 10);
        if (day < f.dateFrom || day > f.dateTo) {
            return false;
        }
    }
    return (!f.titleOn || matchText(f.title, r.title)) &&
           (!f.boxNumberOn || beginsWith(f.boxNumber, r.boxNumber)) &&
           (!f.boxNameOn || matchText(f.boxName, r.boxName)) &&
           (!f.callerNumberOn || beginsWith(f.callerNumber, r.callerNumber)) &&
           (!f.memoOn || matchText(f.memo, r.memo));
}

int apply(ListRows& rows, const ListFilter& filter) {
    rows.showAll();
    std::vector<int> kept;
    for (int i : rows.shown()) {
        if (passes(filter, rows.view(i), rows.response())) {
            kept.push_back(i);
        }
    }
    const int count = static_cast<int>(kept.size());
    if (count > 0) {
        rows.shown() = std::move(kept);
    }
    return count;
}

}  // namespace voxmg::list_filter
