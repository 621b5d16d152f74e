#pragma once

#include <QDialog>

#include "core/base/flags.h"
#include "core/base/progress.h"

class QProgressBar;
class QPushButton;

// "移動中" / "コピー中": the progress of a move or copy. キャンセル stops it and takes back the
// message in hand.
class CPrgMsgCopyDlg : public QDialog, public voxmg::ProgressSink {
    Q_OBJECT
public:
    CPrgMsgCopyDlg(voxmg::Flags& flags, bool copy, QWidget* parent = nullptr);
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
