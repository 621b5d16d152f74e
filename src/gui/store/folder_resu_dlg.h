#pragma once

#include <QDialog>
#include <vector>

#include "core/store/recycle.h"

struct AppContext;
class QPushButton;
class QTreeWidget;

// "復活フォルダの選択": the recycled folders with a check each; OK moves the checked ones
// back where they were and renumbers the recycle list.
class CFolderResuDlg : public QDialog {
    Q_OBJECT
public:
    CFolderResuDlg(AppContext& context, voxmg::RecycleList& recycle, QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }
    QPushButton* okButton() const { return m_ok; }
    void setChecked(int row, bool on);
    // Folders moved back by the last OK.
    int restored() const { return m_restored; }

private:
    void onOk();

    AppContext& m_context;
    voxmg::RecycleList& m_recycle;
    std::vector<voxmg::FLDLIST_RECYCLE> m_entries;
    QTreeWidget* m_list;
    QPushButton* m_ok;
    int m_restored = 0;
};
