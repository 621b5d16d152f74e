#include "core/lists/list_sort.h"

#include <algorithm>
#include <numeric>

namespace voxmg::list_sort {
namespace {

// The folded keys of all rows back to back in one buffer: fifty thousand separate strings
// were as many allocations, and left the heap of a list window fragmented after each sort.
class KeyTable {
public:
    explicit KeyTable(std::size_t rows) { m_ends.reserve(rows); }
    void add(const std::u16string& key) {
        for (char16_t c : key) {
            m_text += c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
        }
        m_ends.push_back(m_text.size());
    }
    std::u16string_view operator[](std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
        return std::u16string_view(m_text).substr(begin, m_ends[i] - begin);
    }

private:
    std::u16string m_text;
    std::vector<std::size_t> m_ends;
};

// Record indexes in the order of `order` (positions in `rows`).
void reorder(std::vector<int>& rows, const std::vector<std::size_t>& order) {
    std::vector<int> sorted(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        sorted[i] = rows[order[i]];
    }
    rows = std::move(sorted);
}

}  // namespace

void sortRows(std::vector<int>& rows, list_columns::Column column, bool ascending, const CellTextOf& text) {
    // Keys first: the texts are built from the records, far too slow to build per comparison.
    KeyTable keys(rows.size());
    for (int row : rows) {
        keys.add(text(row, column));
    }
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return ascending ? keys[a] < keys[b] : keys[b] < keys[a];
    });
    reorder(rows, order);
}

void applyDefaultOrder(std::vector<int>& rows, const CellTextOf& text) {
    // One stable sort by (box number ascending, date descending) orders the rows exactly as a
    // stable sort by date descending followed by one by box number: ties keep reading order.
    KeyTable boxes(rows.size());
    KeyTable dates(rows.size());
    for (int row : rows) {
        boxes.add(text(row, list_columns::Column::BoxNumber));
        dates.add(text(row, list_columns::Column::Date));
    }
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int box = boxes[a].compare(boxes[b]);
        return box != 0 ? box < 0 : dates[b] < dates[a];
    });
    reorder(rows, order);
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
