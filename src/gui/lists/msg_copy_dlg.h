#pragma once

#include <QDialog>
#include <string>

#include "core/lists/move_copy.h"
#include "gui/base/app_context.h"

class CCheckListCtrl;
class DialogScheduleCheck;
class QLineEdit;
class QPushButton;

// "音声メッセージ移動・コピー": the destination box of the current box folder, and whether the
// selected messages are moved or copied. At most one box is ticked across both lists.
class CMsgCopyDlg : public QDialog {
    Q_OBJECT
public:
    CMsgCopyDlg(AppContext& context, QWidget* parent = nullptr);

    // Runs the dialog; false when cancelled. A box folder without boxes is refused with a
    // message and never shown.
    bool choose();

    voxmg::move_copy::Mode mode() const { return m_mode; }
    // "rusuroku/NAME" or "naisen/NAME".
    const std::string& destinationBox() const { return m_destination; }

    QLineEdit* folderEdit() const { return m_folder; }
    CCheckListCtrl* answerBoxes() const { return m_rusuroku; }
    CCheckListCtrl* extensionBoxes() const { return m_naisen; }
    QPushButton* moveButton() const { return m_move; }
    QPushButton* copyButton() const { return m_copy; }

private:
    void keepOneTick(CCheckListCtrl* list, int row);
    void confirm(voxmg::move_copy::Mode mode);

    AppContext& m_context;
    QLineEdit* m_folder;
    CCheckListCtrl* m_rusuroku;
    CCheckListCtrl* m_naisen;
    QPushButton* m_move;
    QPushButton* m_copy;
    DialogScheduleCheck* m_schedule;
    voxmg::move_copy::Mode m_mode = voxmg::move_copy::Mode::Move;
    std::string m_destination;
};
