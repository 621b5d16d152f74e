#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "core/store/box_management.h"

struct AppContext;
class BoxEditListCtrl;
class QPushButton;

// "ボックスフォルダ名称変更": renames the box subfolders made on the PC (MAKE 1); the boxes of
// the main unit keep the names the main unit gave them. A row's "選択" reads "1" while its
// name differs from the one on disk.
class CBoxFldNameChgDlg : public QDialog {
    Q_OBJECT
public:
    CBoxFldNameChgDlg(AppContext& context, QWidget* parent = nullptr);

    // The error and Rejected when the box folder has no box subfolder at all.
    int exec() override;

    BoxEditListCtrl* rusurokuList() const { return m_rusuroku; }
    BoxEditListCtrl* naisenList() const { return m_naisen; }
    QPushButton* okButton() const { return m_ok; }

private:
    void onOk();
    // The marked rows, answering-machine boxes first, with the list and row of each.
    std::vector<voxmg::boxes::FolderRename> marked(
        std::vector<std::pair<BoxEditListCtrl*, int>>& where) const;

    AppContext& m_context;
    std::string m_boxFolder;
    bool m_hasBoxes = false;
    BoxEditListCtrl* m_rusuroku;
    BoxEditListCtrl* m_naisen;
    QPushButton* m_ok;
};
