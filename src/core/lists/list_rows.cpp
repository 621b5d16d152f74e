#include "core/lists/list_rows.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <numeric>

#include "core/lists/list_columns.h"
#include "core/store/file_mng.h"

namespace voxmg {

using list_columns::hasVoice;
using list_columns::isInfoOnly;

void ListRows::reset(bool response) {
    m_records = {};
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
    // Counted first so the records are allocated once, for what the boxes hold.
    std::size_t total = 0;
    for (const auto& box : boxes) {
        total += static_cast<std::size_t>(std::max(files.countMessages(box.path), 0));
    }
    total = std::min(total, cap);
    if (progress.begin) {
        progress.begin(static_cast<int>(total));
    }
    m_records.reserve(total);
    std::vector<FILESTS_INFO> box;
    for (const auto& entry : boxes) {
        if (m_records.size() >= cap) {
            break;
        }
        if (progress.pump) {
            progress.pump();
        }
        // A box that vanished or holds an unreadable file lists what could be read.
        files.loadBoxFolder(entry.path, box);
        const std::size_t take = std::min(box.size(), cap - m_records.size());
        m_records.insert(m_records.end(), box.begin(), box.begin() + static_cast<std::ptrdiff_t>(take));
        box = {};
        if (progress.step) {
            progress.step(static_cast<int>(m_records.size()));
        }
    }
    m_records.shrink_to_fit();
    m_hasInfoOnly = std::any_of(m_records.begin(), m_records.end(), isInfoOnly);
    m_boxTotal = static_cast<int>(m_records.size());
    showAll();
    return m_boxTotal;
}

int ListRows::buildResponseList(const std::string& boxFolder, const ListBuildProgress& progress) {
    reset(true);
    CFileMng files(m_cancelAll);
    std::vector<FILESTS_INFO> read;
    if (progress.begin) {
        progress.begin(kResponseSlots);
    }
    if (progress.pump) {
        progress.pump();
    }
    files.loadBoxFolder(list_boxes::responseFolder(boxFolder), read);
    m_records.resize(kResponseSlots);
    m_slotUsed.assign(kResponseSlots, false);
    for (int n = 1; n <= kResponseSlots; ++n) {
        char number[8];
        std::snprintf(number, sizeof number, "%03d", n);
        const std::u16string text(number, number + 3);
        auto& row = m_records[static_cast<std::size_t>(n - 1)];
        auto found = std::find_if(read.begin(), read.end(), [&](const FILESTS_INFO& r) {
            return r.boxNumberText().substr(0, 3) == text;
        });
        if (found != read.end()) {
            row = *found;
            row.state = static_cast<std::uint8_t>(DownloadState::PlayedOnUnit);
            m_slotUsed[static_cast<std::size_t>(n - 1)] = true;
            ++m_boxTotal;
        } else {
            FILESTS_INFO::setText(row.boxNumber, text);
            FILESTS_INFO::setText(row.length, u"--:--:--");
        }
    }
    if (progress.step) {
        progress.step(kResponseSlots);
    }
    showAll();
    return m_boxTotal;
}

void ListRows::showAll() {
    m_shown.resize(m_records.size());
    std::iota(m_shown.begin(), m_shown.end(), 0);
}

void ListRows::showNotDownloaded() {
    if (m_response) {
        return;
    }
    std::erase_if(m_shown, [this](int i) { return !isInfoOnly(record(i)); });
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
        return record(i).state == static_cast<std::uint8_t>(DownloadState::UnplayedOnUnit);
    }));
}

int ListRows::played() const {
    return static_cast<int>(std::count_if(m_shown.begin(), m_shown.end(), [this](int i) {
        return !emptySlot(i) && record(i).state == static_cast<std::uint8_t>(DownloadState::PlayedOnUnit);
    }));
}

bool ListRows::setFlag(int index, bool on) {
    if (index < 0 || index >= recordCount() || emptySlot(index)) {
        return false;
    }
    auto& row = m_records[static_cast<std::size_t>(index)];
    const std::string path = row.pathUtf8();
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
    row.flags = onDisk.flags;
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
        if (hasVoice(record(i))) {
            state.convert = true;
            (m_response ? state.upload : state.moveCopy) = true;
        }
    }
    if (selected.size() == 1) {
        const int i = selected.front();
        state.play = !emptySlot(i) && hasVoice(record(i));
        state.remove = !(m_response && (emptySlot(i) || isInfoOnly(record(i))));
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
