#include "core/lists/row_store.h"

#include <algorithm>

namespace voxmg {
namespace {

template <std::size_t N>
std::u16string_view fieldText(const std::array<char16_t, N>& field) {
    const auto end = std::find(field.begin(), field.end(), u'\0');
    return {field.data(), static_cast<std::size_t>(end - field.begin())};
}

// Unlike FILESTS_INFO::setText, a text that fills the whole field stays whole: a record read
// from a file may hold one without its NUL, and the row gives it back as it was read.
template <std::size_t N>
void fill(std::array<char16_t, N>& field, std::u16string_view value) {
    field.fill(u'\0');
    value.substr(0, N).copy(field.data(), std::min(N, value.size()));
}

// Every field fits its record buffer; a file name is bounded by the record's path field.
constexpr std::size_t kMaxFileNameUnits = 260;

}  // namespace

RowView RowView::of(const FILESTS_INFO& r) {
    RowView v;
    v.flags = r.flags;
    v.played = r.played;
    v.state = r.state;
    v.protect = r.protect;
    v.boxNumber = fieldText(r.boxNumber);
    v.boxName = fieldText(r.boxName);
    v.callerNumber = fieldText(r.callerNumber);
    v.callerName = fieldText(r.callerName);
    v.date = fieldText(r.date);
    v.length = fieldText(r.length);
    v.title = fieldText(r.title);
    v.memo = fieldText(r.memo);
    v.pathHead = fieldText(r.path);
    return v;
}

std::u16string RowView::path() const {
    std::u16string out;
    out.reserve(pathHead.size() + pathTail.size());
    out.append(pathHead);
    out.append(pathTail);
    return out;
}

std::uint32_t RowStore::addBox(std::u16string folder) {
    m_boxes.push_back({std::move(folder), {}, false});
    return static_cast<std::uint32_t>(m_boxes.size() - 1);
}

void RowStore::add(const FILESTS_INFO& record, std::uint32_t box, std::u16string_view fileName) {
    fileName = fileName.substr(0, kMaxFileNameUnits);
    if (box != kNoBox && !m_boxes[box].named) {
        m_boxes[box].name = fieldText(record.boxName);
        m_boxes[box].named = true;
    }
    const std::array<std::u16string_view, kFields> texts{
        fieldText(record.boxNumber),  fieldText(record.callerNumber),
        fieldText(record.callerName), fieldText(record.date),
        fieldText(record.length),     fieldText(record.title),
        fieldText(record.memo),       fileName};
    std::size_t units = 0;
    for (const auto& t : texts) {
        units += t.size();
    }
    if (m_blocks.empty() || m_used + units > kBlockUnits) {
        // Allocated without zero-filling: only the units written are ever read.
        m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(kBlockUnits));
        m_used = 0;
    }
    Row row{record.flags,
            record.played,
            record.state,
            record.protect,
            box,
            static_cast<std::uint32_t>((m_blocks.size() - 1) * kBlockUnits + m_used),
            {}};
    char16_t* out = m_blocks.back().get() + m_used;
    for (std::size_t f = 0; f < kFields; ++f) {
        out = std::copy(texts[f].begin(), texts[f].end(), out);
        row.lengths[f] = static_cast<std::uint16_t>(texts[f].size());
    }
    m_used += units;
    m_rows.push_back(row);
}

void RowStore::clear() {
    m_rows = {};
    m_boxes = {};
    std::vector<std::unique_ptr<char16_t[]>>().swap(m_blocks);
    m_used = kBlockUnits;
}

const char16_t* RowStore::textOf(const Row& row) const {
    return m_blocks[row.text / kBlockUnits].get() + row.text % kBlockUnits;
}

RowView RowStore::view(std::size_t index) const {
    const Row& row = m_rows[index];
    RowView v;
    v.flags = row.flags;
    v.played = row.played;
    v.state = row.state;
    v.protect = row.protect;
    const char16_t* at = textOf(row);
    std::array<std::u16string_view, kFields> texts;
    for (std::size_t f = 0; f < kFields; ++f) {
        texts[f] = {at, row.lengths[f]};
        at += row.lengths[f];
    }
    v.boxNumber = texts[BoxNumber];
    v.callerNumber = texts[CallerNumber];
    v.callerName = texts[CallerName];
    v.date = texts[Date];
    v.length = texts[Length];
    v.title = texts[Title];
    v.memo = texts[Memo];
    v.pathTail = texts[FileName];
    if (row.box != kNoBox) {
        const Box& box = m_boxes[row.box];
        v.boxName = box.name;
        v.pathHead = box.folder;
    }
    return v;
}

FILESTS_INFO RowStore::record(std::size_t index) const {
    const RowView v = view(index);
    FILESTS_INFO r;
    r.flags = v.flags;
    r.played = v.played;
    r.state = v.state;
    r.protect = v.protect;
    fill(r.boxNumber, v.boxNumber);
    fill(r.boxName, v.boxName);
    fill(r.callerNumber, v.callerNumber);
    fill(r.callerName, v.callerName);
    fill(r.date, v.date);
    fill(r.length, v.length);
    fill(r.title, v.title);
    fill(r.memo, v.memo);
    fill(r.path, v.path());
    return r;
}

}  // namespace voxmg
