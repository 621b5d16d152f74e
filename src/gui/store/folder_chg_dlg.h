#pragma once

#include <QDialog>

struct AppContext;
class CFolderListCtrl;
class DialogScheduleCheck;
class QPushButton;

// "フォルダ変更": pick another box folder under the data root folder as the current one, or
// rename one. On OK the document's current box folder name is the chosen folder's.
class CFolderChgDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFolderChgDlg(AppContext& context, QWidget* parent = nullptr);

    CFolderListCtrl* list() const { return m_list; }
    QPushButton* changeButton() const { return m_change; }
    QPushButton* renameButton() const { return m_rename; }

    void onChange();
    void onRename();

private:
    void refreshList();
    void updateButtons();

    AppContext& m_context;
    CFolderListCtrl* m_list;
    QPushButton* m_change;
    QPushButton* m_rename;
    DialogScheduleCheck* m_schedule;
};
