#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "core/store/box_management.h"

struct AppContext;
class BoxEditListCtrl;
class QPushButton;

// "BOX名称編集": the display names of every box of the current box folder, answering-machine
// and extension boxes alike. OK writes the name of every row, changed or not.
class CBoxNameChgDlg : public QDialog {
    Q_OBJECT
public:
    CBoxNameChgDlg(AppContext& context, QWidget* parent = nullptr);

    // The error and Rejected when the box folder has no box subfolder at all.
    int exec() override;

    BoxEditListCtrl* rusurokuList() const { return m_rusuroku; }
    BoxEditListCtrl* naisenList() const { return m_naisen; }
    QPushButton* okButton() const { return m_ok; }

private:
    void onOk();

    AppContext& m_context;
    std::string m_boxFolder;
    std::vector<voxmg::boxes::BoxNameRow> m_rows;  // rusuroku rows, then naisen rows
    BoxEditListCtrl* m_rusuroku;
    BoxEditListCtrl* m_naisen;
    QPushButton* m_ok;
};
