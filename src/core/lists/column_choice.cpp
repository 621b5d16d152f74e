#include "core/lists/column_choice.h"

#include <utility>

#include "core/lists/list_columns.h"

namespace voxmg::list_columns {
namespace {

std::vector<std::u16string> names(const std::array<FixedText<6>, 13>& keys) {
    std::vector<std::u16string> out;
    for (const auto& key : keys) {
        if (key.str().empty()) {
            break;
        }
        out.push_back(key.str());
    }
    return out;
}

bool valid(const std::vector<std::u16string>& list, int index) {
    return index >= 0 && index < static_cast<int>(list.size());
}

int moveToEnd(std::vector<std::u16string>& from, std::vector<std::u16string>& to, int index) {
    if (!valid(from, index)) {
        return -1;
    }
    to.push_back(std::move(from[static_cast<std::size_t>(index)]));
    from.erase(from.begin() + index);
    return static_cast<int>(to.size()) - 1;
}

}  // namespace

ColumnChoice ColumnChoice::defaults() {
    return {defaultBoxColumnNames(), {u"BOX名称", u"タイトル", u"メモ"}};
}

ColumnChoice ColumnChoice::fromSettings(const std::array<FixedText<6>, 13>& shown,
                                        const std::array<FixedText<6>, 13>& hidden) {
    ColumnChoice choice{names(shown), names(hidden)};
    return choice.shown.empty() ? defaults() : choice;
}

int ColumnChoice::add(int hiddenIndex) {
    return moveToEnd(hidden, shown, hiddenIndex);
}

int ColumnChoice::remove(int shownIndex) {
    return moveToEnd(shown, hidden, shownIndex);
}

int ColumnChoice::moveUp(int i) {
    if (!valid(shown, i) || i == 0) {
        return -1;
    }
    std::swap(shown[static_cast<std::size_t>(i)], shown[static_cast<std::size_t>(i - 1)]);
    return i - 1;
}

int ColumnChoice::moveDown(int i) {
    if (!valid(shown, i) || i + 1 >= static_cast<int>(shown.size())) {
        return -1;
    }
    std::swap(shown[static_cast<std::size_t>(i)], shown[static_cast<std::size_t>(i + 1)]);
    return i + 1;
}

}  // namespace voxmg::list_columns
