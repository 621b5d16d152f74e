#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/base/fixed_text.h"

namespace voxmg::list_columns {

// The display setting as "録音情報表示設定" edits it: the box list's shown column names in
// order and the removed ones. Moves return the new position of the moved name, -1 when the
// index names nothing or the name cannot move further.
struct ColumnChoice {
    std::vector<std::u16string> shown;
    std::vector<std::u16string> hidden;

    // "リセット": ten shown, three removed.
    static ColumnChoice defaults();
    // From the settings block, each list up to its first empty name. A setting that shows
    // nothing (a new settings file) gives the defaults, as the lists show them then.
    static ColumnChoice fromSettings(const std::array<FixedText<6>, 13>& shown,
                                     const std::array<FixedText<6>, 13>& hidden);

    int add(int hiddenIndex);    // "追加": to the end of the shown names
    int remove(int shownIndex);  // to the end of the removed names
    int moveUp(int shownIndex);
    int moveDown(int shownIndex);

    bool operator==(const ColumnChoice&) const = default;
};

}  // namespace voxmg::list_columns
