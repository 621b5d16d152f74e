#pragma once

#include <QDialog>

#include "core/base/flags.h"
#include "core/base/progress.h"

class QProgressBar;
class QPushButton;

// "アップロード中": the progress of an upload, one step a selected row. キャンセル stops it
// after the message in hand.
class CPrgULMsgDlg : public QDialog, public voxmg::ProgressSink {
    Q_OBJECT
public:
    CPrgULMsgDlg(voxmg::Flags& flags, QWidget* parent = nullptr);
    void setRange(int range) override;
    void setPosition(int position) override;
    QProgressBar* bar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void reject() override;  // Escape and the title bar close cancel like the button

private:
    voxmg::Flags& m_flags;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};
