#include "core/lists/list_sort.h"

#include <algorithm>
#include <numeric>

namespace voxmg::list_sort {
namespace {

std::u16string foldAscii(std::u16string text) {
    for (auto& c : text) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return text;
}

}  // namespace

void sortRows(std::vector<int>& rows, list_columns::Column column, bool ascending, const CellTextOf& text) {
    // Keys first: the texts are built from the records, far too slow to build per comparison.
    std::vector<std::u16string> keys(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        keys[i] = foldAscii(text(rows[i], column));
    }
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return ascending ? keys[a] < keys[b] : keys[b] < keys[a];
    });
    std::vector<int> sorted(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        sorted[i] = rows[order[i]];
    }
    rows = std::move(sorted);
}

void applyDefaultOrder(std::vector<int>& rows, const CellTextOf& text) {
    // One stable sort by (box number ascending, date descending) orders the rows exactly as a
    // stable sort by date descending followed by one by box number: ties keep reading order.
    struct Keys {
        std::u16string box;
        std::u16string date;
    };
    std::vector<Keys> keys(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        keys[i] = {foldAscii(text(rows[i], list_columns::Column::BoxNumber)),
                   foldAscii(text(rows[i], list_columns::Column::Date))};
    }
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int box = keys[a].box.compare(keys[b].box);
        return box != 0 ? box < 0 : keys[b].date < keys[a].date;
    });
    std::vector<int> sorted(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        sorted[i] = rows[order[i]];
    }
    rows = std::move(sorted);
}

void SortState::reset() {
    *this = SortState();
}

bool SortState::click(list_columns::Column column) {
    if (column == m_column) {
        m_ascending = !m_ascending;
    }
    m_column = column;
    m_userSorted = true;
    return m_ascending;
}

}  // namespace voxmg::list_sort
