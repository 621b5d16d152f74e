#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/lists/row_view.h"
#include "core/store/filests_info.h"

namespace voxmg {

// The rows of one list, kept small: per row the four state bytes, its box and the texts of its
// fields back to back in large blocks, with no room for the empty rest of each field. A list of
// 50,000 messages takes some 10 MB instead of 50 MB of whole records. The box name and folder
// are kept once per box. Nothing is shared between lists.
class RowStore {
public:
    static constexpr std::uint32_t kNoBox = 0xFFFFFFFF;

    // A box the next rows belong to, by its folder with its "/" (the rows' path head).
    std::uint32_t addBox(std::u16string folder);
    // A row from a record; its path is the box folder + `fileName` (no box: `fileName` alone).
    // The record's own path field is not kept; its box name is, once per box: the loader
    // gives every record of a box the same one.
    void add(const FILESTS_INFO& record, std::uint32_t box, std::u16string_view fileName);

    void clear();
    void reserve(std::size_t rows) { m_rows.reserve(rows); }
    void shrinkToFit() { m_rows.shrink_to_fit(); }
    std::size_t size() const { return m_rows.size(); }

    RowView view(std::size_t row) const;
    // The record as it was added, with the row's path and box name in their fields.
    FILESTS_INFO record(std::size_t row) const;
    void setFlags(std::size_t row, std::uint8_t flags) { m_rows[row].flags = flags; }

private:
    enum Field { BoxNumber, CallerNumber, CallerName, Date, Length, Title, Memo, FileName, kFields };
    struct Row {
        std::uint8_t flags;
        std::uint8_t played;
        std::uint8_t state;
        std::uint8_t protect;
        std::uint32_t box;
        std::uint32_t text;  // block number * kBlockUnits + offset of the first text
        std::array<std::uint16_t, kFields> lengths;
    };
    struct Box {
        std::u16string folder;  // with its "/"
        std::u16string name;
        bool named = false;
    };
    // A row's texts never straddle two blocks; a block holds a few hundred rows.
    static constexpr std::size_t kBlockUnits = 32768;

    const char16_t* textOf(const Row& row) const;

    std::vector<Row> m_rows;
    std::vector<Box> m_boxes;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    std::size_t m_used = kBlockUnits;  // units used in the last block
};

}  // namespace voxmg
