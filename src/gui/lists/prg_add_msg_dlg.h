#pragma once

#include <QDialog>

#include "core/base/flags.h"
#include "core/base/progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

// "取り込み中": the progress of a response message import. First the file is read in, then it
// is converted; キャンセル stops the conversion. Escape does nothing, so a key pressed by habit
// does not throw away a long conversion.
class CPrgAddMsgDlg : public QDialog, public voxmg::ProgressSink {
    Q_OBJECT
public:
    CPrgAddMsgDlg(voxmg::Flags& flags, QWidget* parent = nullptr);
    void beforeConversion() override;  // the text turns to the conversion's
    QLabel* label() const { return m_label; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    voxmg::Flags& m_flags;
    QLabel* m_label;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};
