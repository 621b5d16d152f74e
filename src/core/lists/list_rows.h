#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "core/base/pump.h"
#include "core/lists/list_boxes.h"
#include "core/lists/row_store.h"
#include "core/store/filests_info.h"

namespace voxmg {

// What a build reports while it reads: the number of messages it will read, then the count
// read so far after each box. `pump` runs between boxes so the windows stay live.
struct ListBuildProgress {
    std::function<void(int total)> begin;
    std::function<void(int position)> step;
    Pump pump;
};

// The command bar buttons a list's selection enables.
struct ListCommandState {
    bool convert = false;
    bool play = false;
    bool moveCopy = false;
    bool add = false;
    bool remove = false;
    bool upload = false;
    bool operator==(const ListCommandState&) const = default;
};

// The rows of one list window: the messages read from its box folders, and the ones shown, in
// display order. Each box folder is read once; a row keeps the fields of its message's record
// in little room (RowStore). A list never holds more than CFileMng::kMaxRecords of them.
class ListRows {
public:
    static constexpr int kResponseSlots = 300;

    explicit ListRows(std::atomic<int>& cancelAll) : m_cancelAll(cancelAll) {}

    // Reads every box the title names under `boxFolder`, in title order, up to the cap. Shows
    // them all. Returns the number read, or -1 (and no rows) when they do not fit in memory.
    int buildBoxList(const std::string& boxFolder, const list_boxes::ListBoxes& title,
                     const ListBuildProgress& progress);
    // Fills the 300 slots "001".."300" from the response folder of `boxFolder`.
    int buildResponseList(const std::string& boxFolder, const ListBuildProgress& progress);
    // Keeps only the messages whose voice is not downloaded, in their current order.
    void showNotDownloaded();
    // Shows every record read again, in reading order.
    void showAll();

    bool response() const { return m_response; }
    int recordCount() const { return static_cast<int>(m_store.size()); }
    // The fields of a row as the columns, sort and filter read them; valid until the next build.
    RowView view(int index) const { return m_store.view(static_cast<std::size_t>(index)); }
    // The record of a row as read, with its path and box name (built on each call).
    FILESTS_INFO record(int index) const { return m_store.record(static_cast<std::size_t>(index)); }
    // An unused slot of a response list.
    bool emptySlot(int index) const;
    // Record indexes of the rows shown, top to bottom; callers sort it.
    std::vector<int>& shown() { return m_shown; }
    const std::vector<int>& shown() const { return m_shown; }

    // Counters of the status line.
    int boxTotal() const { return m_boxTotal; }
    int listTotal() const;
    int unplayed() const;
    int played() const;
    // Whether any record read is info-only: drives "未ﾀﾞｳﾝﾛｰﾄﾞ表示" and the voice download.
    bool hasInfoOnly() const { return m_hasInfoOnly; }

    // Sets or clears the user flag of a record and writes it to its file at once. False, with
    // the row unchanged, when the file cannot be written.
    bool setFlag(int index, bool on);

    // The buttons enabled by a selection of record indexes.
    ListCommandState commandState(const std::vector<int>& selected) const;

private:
    void reset(bool response);
    int readBoxes(const std::string& boxFolder, const list_boxes::ListBoxes& title,
                  const ListBuildProgress& progress);

    std::atomic<int>& m_cancelAll;
    RowStore m_store;
    std::vector<bool> m_slotUsed;  // response lists: slot holds a message
    std::vector<int> m_shown;
    bool m_response = false;
    bool m_hasInfoOnly = false;
    int m_boxTotal = 0;
};

// The status line's folder total: the messages in every box subfolder of every kind
// subfolder of a box folder.
long long countFolderMessages(const std::string& boxFolder);

}  // namespace voxmg
