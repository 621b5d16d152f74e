#pragma once

#include "gui/base/list_counts.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "core/lists/list_filter.h"
#include "core/lists/list_rows.h"
#include "core/lists/list_sort.h"

struct AppContext;
class ListModel;
class QTableView;

// One list window: the messages of the boxes named by list slot n (folder name and list title
// in the settings block), in a table over the records, or the 300 response message slots.
class CListDispView : public QWidget {
    Q_OBJECT
public:
    enum class Mode { All = 0, Filter = 1, NotDownloaded = 2 };

    CListDispView(AppContext& context, int listNumber, QWidget* parent = nullptr);
    ~CListDispView() override;

    // Reads the list for the first time, with the "一覧表を開く" progress. False when the slot
    // holds no list or its rows did not fit in memory (the view then stays empty).
    bool open();

    int listNumber() const { return m_number; }
    void setListNumber(int n) { m_number = n; }
    bool isResponseList() const { return m_rows.response(); }
    QString listTitle() const;
    std::string boxFolder() const;
    Mode mode() const { return m_mode; }
    QTableView* table() const { return m_table; }
    ListModel* model() const { return m_model; }
    const voxmg::ListRows& rows() const { return m_rows; }

    // "全表示": every message of the boxes again, in the default order.
    void showAll();
    // "未ﾀﾞｳﾝﾛｰﾄﾞ表示": only the messages whose voice is not downloaded.
    void showNotDownloaded();
    // "選択表示": shows the rows that pass `filter` (kept for later refreshes), a box list in
    // the default order. When none passes, "該当するメッセージがありません。" and every row.
    void applyFilter(const voxmg::list_filter::ListFilter& filter);
    // Reads the list again after an operation changed the files.
    void refresh(bool rebuildColumns, bool keepUserSort, bool keepSelection);
    // While an export reads the rows they must stay as they are: rebuilds wait, and a refresh
    // asked for meanwhile (a download finished) runs when the hold ends.
    void holdRebuilds(bool on);
    // A header click (box lists; the response list keeps its slot order).
    void sortBySection(int section);

    // The record index of the first selected row and its path; -1 when nothing is selected,
    // -2 while the list is being read.
    int firstSelectedFile(std::string* path = nullptr) const;
    std::vector<int> selectedRecords() const;
    // Sets or clears the user flag of the message in `row` and writes it at once, as a click on
    // the flag column does; false when the row holds no message or the file cannot be written.
    bool toggleFlag(int row);
    // Selects the next row below the current one (from the top again after the last) whose
    // message has its voice here and was not played on the PC; false when there is none (or in
    // the response list).
    bool selectNextUnplayed();
    voxmg::ListCommandState commandState() const { return m_commands; }
    bool hasUndownloaded() const { return m_rows.hasInfoOnly(); }
    ListCounts counts() const;
    // A new list window opens 490 pixels high, wide enough for the usual columns.
    QSize sizeHint() const override { return {820, 490}; }

    // Disables the main window while the list is read; set by the frame.
    void setFrameEnabler(std::function<void(bool)> enable) { m_enableFrame = std::move(enable); }

signals:
    void commandStateChanged();
    void countsChanged();
    // A double click on a row: recording info editing.
    void editRequested(int record);
    void closed(int listNumber);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool build(bool partOfRefresh);
    void setUpColumns();
    void measureFileNames();
    int widestFileName() const;
    void fitLastColumn();
    void applySort();
    void runMissedRefresh();
    // The selection a refresh puts back: files by path, response slots by row.
    struct KeptSelection {
        std::set<std::u16string> paths;
        std::set<int> responseRows;
    };
    KeptSelection keptSelection() const;
    void restoreSelection(const KeptSelection& kept);
    void showSortIndicator();
    void publishCommandState();
    void onClicked(const QModelIndex& index);
    void showFiltered();

    AppContext& m_context;
    int m_number;
    voxmg::ListRows m_rows;
    voxmg::list_sort::SortState m_sort;
    ListModel* m_model;
    QTableView* m_table;
    std::function<void(bool)> m_enableFrame;
    voxmg::ListCommandState m_commands;
    voxmg::list_filter::ListFilter m_filter;
    Mode m_mode = Mode::All;
    long long m_folderTotal = 0;
    bool m_keepUserSort = false;
    bool m_building = false;
    bool m_refreshing = false;
    bool m_opened = false;
    bool m_failed = false;
    bool m_held = false;
    bool m_refreshMissed = false;
    int m_fileNameWidth = 0;    // the widest file name the rows show, with the cell's margins
    int m_lastColumnWidth = 0;  // what the last column needs before it takes the room left
};
