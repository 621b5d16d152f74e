#pragma once

#include <QDialog>

struct AppContext;
class CCheckListCtrl;
class DialogScheduleCheck;
class QPushButton;
class QRadioButton;

// "ボックス/システム応答メッセージを開く": chooses the boxes of a new list window (or the
// response list) in the current box folder and writes them into the next free list slot.
class CBoxOpenDlg : public QDialog {
    Q_OBJECT
public:
    CBoxOpenDlg(AppContext& context, int openLists, QWidget* parent = nullptr);

    // Refuses to open with an error when the box folder holds no box at all.
    int exec() override;
    // The slot written on OK (1..4), 0 before.
    int slot() const { return m_slot; }

    CCheckListCtrl* answerList() const { return m_answer; }
    CCheckListCtrl* extensionList() const { return m_extension; }
    QRadioButton* boxChoice() const { return m_boxes; }
    QRadioButton* responseChoice() const { return m_response; }
    QPushButton* openButton() const { return m_open; }

    // "開く".
    void openChosen();

private:
    void enableBoxLists(bool on);

    AppContext& m_context;
    int m_openLists;
    int m_slot = 0;
    bool m_anyBox = false;
    CCheckListCtrl* m_answer;
    CCheckListCtrl* m_extension;
    QRadioButton* m_boxes;
    QRadioButton* m_response;
    QPushButton* m_open;
    QList<QPushButton*> m_listButtons;
    DialogScheduleCheck* m_schedule;
};
