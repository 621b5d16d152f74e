#include "core/lists/list_rows.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <numeric>
#include <optional>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/lists/list_columns.h"
#include "core/store/file_mng.h"

namespace voxmg {

using list_columns::hasVoice;
using list_columns::isInfoOnly;

void ListRows::reset(bool response) {
    m_store.clear();
    m_slotUsed = {};
    m_shown = {};
    m_response = response;
    m_hasInfoOnly = false;
    m_boxTotal = 0;
}

int ListRows::buildBoxList(const std::string& boxFolder, const list_boxes::ListBoxes& title,
                           const ListBuildProgress& progress) {
    reset(false);
    try {
        return readBoxes(boxFolder, title, progress);
    } catch (const std::bad_alloc&) {
        // The rows of a large list did not fit: the list stays empty, the caller says so.
        reset(false);
        return -1;
    }
}

int ListRows::readBoxes(const std::string& boxFolder, const list_boxes::ListBoxes& title,
                        const ListBuildProgress& progress) {
    CFileMng files(m_cancelAll);
    const auto boxes = list_boxes::boxPaths(boxFolder, title);
    const auto cap = CFileMng::kMaxRecords;
    // Each box's listing is read once: it gives the count shown before the records are read
    // (and the room for them), then the names they are read from.
    std::vector<FolderListing> listings;
    listings.reserve(boxes.size());
    std::size_t total = 0;
    for (const auto& box : boxes) {
        listings.push_back(files.listBoxFolder(box.path));
        total += listings.back().messages;
    }
    total = std::min(total, cap);
    if (progress.begin) {
        progress.begin(static_cast<int>(total));
    }
    m_store.reserve(total);
    for (std::size_t b = 0; b < boxes.size() && m_store.size() < cap; ++b) {
        if (progress.pump) {
            progress.pump();
        }
        const std::string& path = boxes[b].path;
        const auto box = m_store.addBox(text::utf16FromUtf8(paths::withTrailingSeparator(path)));
        // A box that vanished or holds an unreadable file lists what could be read.
        files.loadListedFolder(path, listings[b], cap - m_store.size(),
                               [&](const FILESTS_INFO& record, std::u16string_view name) {
                                   m_store.add(record, box, name);
                                   return true;
                               });
        listings[b] = {};
        if (progress.step) {
            progress.step(static_cast<int>(m_store.size()));
        }
    }
    m_store.shrinkToFit();
    for (std::size_t i = 0; i < m_store.size() && !m_hasInfoOnly; ++i) {
        m_hasInfoOnly = isInfoOnly(m_store.view(i));
    }
    m_boxTotal = static_cast<int>(m_store.size());
    showAll();
    return m_boxTotal;
}

namespace {

// The slot a response message takes: the number its box number field begins with, as
// three digits ("007").
std::optional<int> slotOf(const FILESTS_INFO& record, int slots) {
    const std::u16string text = record.boxNumberText().substr(0, 3);
    if (text.size() != 3 ||
        !std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
        return std::nullopt;
    }
    const int n = (text[0] - u'0') * 100 + (text[1] - u'0') * 10 + (text[2] - u'0');
    return n >= 1 && n <= slots ? std::optional<int>(n) : std::nullopt;
}

}  // namespace

int ListRows::buildResponseList(const std::string& boxFolder, const ListBuildProgress& progress) {
    reset(true);
    CFileMng files(m_cancelAll);
    if (progress.begin) {
        progress.begin(kResponseSlots);
    }
    if (progress.pump) {
        progress.pump();
    }
    // The first message read for a number takes its slot.
    struct Found {
        FILESTS_INFO record;
        std::u16string name;
    };
    std::vector<std::optional<Found>> found(kResponseSlots);
    const std::string folder = list_boxes::responseFolder(boxFolder);
    files.loadListedFolder(
        folder, files.listBoxFolder(folder), CFileMng::kMaxRecords,
        [&](const FILESTS_INFO& record, std::u16string_view name) {
            const auto n = slotOf(record, kResponseSlots);
            if (n && !found[static_cast<std::size_t>(*n - 1)]) {
                found[static_cast<std::size_t>(*n - 1)] = Found{record, std::u16string(name)};
            }
            return true;
        });
    const auto box = m_store.addBox(text::utf16FromUtf8(paths::withTrailingSeparator(folder)));
    m_store.reserve(kResponseSlots);
    m_slotUsed.assign(kResponseSlots, false);
    for (int n = 1; n <= kResponseSlots; ++n) {
        auto& slot = found[static_cast<std::size_t>(n - 1)];
        if (slot) {
            slot->record.state = static_cast<std::uint8_t>(DownloadState::PlayedOnUnit);
            m_store.add(slot->record, box, slot->name);
            m_slotUsed[static_cast<std::size_t>(n - 1)] = true;
            ++m_boxTotal;
        } else {
            char number[8];
            std::snprintf(number, sizeof number, "%03d", n);
            FILESTS_INFO row;
            FILESTS_INFO::setText(row.boxNumber, std::u16string(number, number + 3));
            FILESTS_INFO::setText(row.length, u"--:--:--");
            m_store.add(row, RowStore::kNoBox, u"");
        }
    }
    if (progress.step) {
        progress.step(kResponseSlots);
    }
    showAll();
    return m_boxTotal;
}

void ListRows::showAll() {
    m_shown.resize(m_store.size());
    std::iota(m_shown.begin(), m_shown.end(), 0);
}

void ListRows::showNotDownloaded() {
    if (m_response) {
        return;
    }
    std::erase_if(m_shown, [this](int i) { return !isInfoOnly(view(i)); });
}

bool ListRows::emptySlot(int index) const {
    return m_response && !m_slotUsed[static_cast<std::size_t>(index)];
}

int ListRows::listTotal() const {
    if (!m_response) {
        return static_cast<int>(m_shown.size());
    }
    return static_cast<int>(
        std::count_if(m_shown.begin(), m_shown.end(), [this](int i) { return !emptySlot(i); }));
}

int ListRows::unplayed() const {
    return static_cast<int>(std::count_if(m_shown.begin(), m_shown.end(), [this](int i) {
        return view(i).state == static_cast<std::uint8_t>(DownloadState::UnplayedOnUnit);
    }));
}

int ListRows::played() const {
    return static_cast<int>(std::count_if(m_shown.begin(), m_shown.end(), [this](int i) {
        return !emptySlot(i) && view(i).state == static_cast<std::uint8_t>(DownloadState::PlayedOnUnit);
    }));
}

bool ListRows::setFlag(int index, bool on) {
    if (index < 0 || index >= recordCount() || emptySlot(index)) {
        return false;
    }
    const std::string path = text::utf8FromUtf16(view(index).path());
    CFileMng files(m_cancelAll);
    // The file's own record is what gets the new flag: an edit made through another window
    // since this list was built must not be overwritten by the copy shown here.
    FILESTS_INFO onDisk;
    if (!files.readRecord(path, onDisk)) {
        return false;
    }
    onDisk.flags = on ? static_cast<std::uint8_t>(onDisk.flags | FILESTS_INFO::kUserFlag)
                      : static_cast<std::uint8_t>(onDisk.flags & FILESTS_INFO::kSelectedMark);
    if (files.writeBackRecord(onDisk, path) != FileOp::Done) {
        return false;
    }
    m_store.setFlags(static_cast<std::size_t>(index), onDisk.flags);
    return true;
}

ListCommandState ListRows::commandState(const std::vector<int>& selected) const {
    ListCommandState state;
    bool anyFile = false;
    for (int i : selected) {
        if (emptySlot(i)) {
            continue;
        }
        anyFile = true;
        if (hasVoice(view(i))) {
            state.convert = true;
            (m_response ? state.upload : state.moveCopy) = true;
        }
    }
    if (selected.size() == 1) {
        const int i = selected.front();
        state.play = !emptySlot(i) && hasVoice(view(i));
        state.remove = !(m_response && (emptySlot(i) || isInfoOnly(view(i))));
        state.add = m_response;
    } else if (selected.size() > 1) {
        state.remove = !m_response || anyFile;
    }
    return state;
}

long long countFolderMessages(const std::string& boxFolder) {
    std::atomic<int> noCancel{0};
    CFileMng files(noCancel);
    long long total = 0;
    std::vector<std::string> kinds;
    files.listSubfolders(boxFolder, kinds);
    std::vector<std::string> boxes;
    for (const auto& kindFolder : kinds) {
        files.listSubfolders(kindFolder, boxes);
        for (const auto& box : boxes) {
            total += files.countMessages(box);
        }
    }
    return total;
}

}  // namespace voxmg
