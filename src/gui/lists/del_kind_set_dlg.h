#pragma once

#include <QDialog>
#include <QTimer>

#include "core/lists/delete_operation.h"

struct AppContext;
class QPushButton;
class DialogScheduleCheck;

// "音声メッセージ消去": where the selected messages are deleted. Each kind asks once more;
// Yes closes the dialog with that kind. The two kinds that need the main unit are enabled only
// while logged in, checked every second while the dialog is open.
class CDelKindSetDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDelKindSetDlg(AppContext& context, QWidget* parent = nullptr);
    voxmg::delete_op::DeleteKind kind() const { return m_kind; }
    QPushButton* unitButton() const { return m_unit; }
    QPushButton* bothButton() const { return m_both; }
    QPushButton* pcButton() const { return m_pc; }
    // The logged-in check the timer runs.
    void checkLogin();

private:
    void choose(voxmg::delete_op::DeleteKind kind);

    AppContext& m_context;
    QPushButton* m_unit;
    QPushButton* m_both;
    QPushButton* m_pc;
    DialogScheduleCheck* m_schedule;
    QTimer m_loginTimer;
    voxmg::delete_op::DeleteKind m_kind = voxmg::delete_op::DeleteKind::PcOnly;
};
