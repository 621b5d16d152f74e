#pragma once

#include <QDialog>

#include "core/lists/column_choice.h"

struct AppContext;
class DialogScheduleCheck;
class QListWidget;
class QPushButton;

// "録音情報表示設定": which columns the box lists show and in which order. OK and リセット
// write the 26 COLUM/DELCOLUM keys of VOXMG.ini at once and close the dialog as accepted; the
// caller then rebuilds the open box lists.
class CListDispSelectDlg : public QDialog {
    Q_OBJECT
public:
    explicit CListDispSelectDlg(AppContext& context, QWidget* parent = nullptr);

    const voxmg::list_columns::ColumnChoice& choice() const { return m_choice; }
    QListWidget* shownList() const { return m_shown; }
    QListWidget* hiddenList() const { return m_hidden; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* upButton() const { return m_up; }
    QPushButton* downButton() const { return m_down; }
    QPushButton* resetButton() const { return m_reset; }
    void onOk();
    void onReset();

private:
    // Shows the choice again with the name at `shownRow` / `hiddenRow` selected (-1: none).
    void fill(int shownRow, int hiddenRow);
    void store();

    AppContext& m_context;
    DialogScheduleCheck* m_schedule;
    voxmg::list_columns::ColumnChoice m_choice;
    QListWidget* m_shown;
    QListWidget* m_hidden;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_up;
    QPushButton* m_down;
    QPushButton* m_reset;
};
