#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/lists/list_columns.h"

// Ordering of a list window's rows: by the text a column shows, compared as strings with
// ASCII letters folded, as the Windows list control compared its item texts.
namespace voxmg::list_sort {

// Shown text of a row (a record index) in a column.
using CellTextOf = std::function<std::u16string(int recordIndex, list_columns::Column column)>;

// Stable sort of `rows` (record indexes) by the column's text.
void sortRows(std::vector<int>& rows, list_columns::Column column, bool ascending, const CellTextOf& text);

// The order a box list opens in: newest first inside each box, boxes by number.
void applyDefaultOrder(std::vector<int>& rows, const CellTextOf& text);

// The header-click rules of a box list. After the default order the last sorted column is
// "BOX番号" ascending, so a first click on "BOX番号" turns it round, a click on another
// column sorts it ascending, and every click on the column last sorted reverses it.
class SortState {
public:
    // Back to the state of a freshly built list: default order, no column marked.
    void reset();
    // A header click on `column`: returns the direction to sort it in.
    bool click(list_columns::Column column);

    bool userSorted() const { return m_userSorted; }
    list_columns::Column column() const { return m_column; }
    bool ascending() const { return m_ascending; }

private:
    list_columns::Column m_column = list_columns::Column::BoxNumber;
    bool m_ascending = true;
    bool m_userSorted = false;
};

}  // namespace voxmg::list_sort
