#pragma once

#include <QDialog>

#include "core/base/flags.h"
#include "core/base/progress.h"
#include "gui/base/bar_progress.h"

class QProgressBar;
class QPushButton;

// A progress dialog that counts the steps of an operation on the selected messages: a caption,
// one line of text, the bar and キャンセル, which asks the operation to stop after the step in
// hand.
class StepProgressDlg : public QDialog, public voxmg::ProgressSink {
    Q_OBJECT
public:
    StepProgressDlg(voxmg::Flags& flags, const QString& caption, const QString& text,
                    QWidget* parent = nullptr);
    void setRange(int range) override;
    void setPosition(int position) override;
    QProgressBar* bar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void reject() override;  // Escape and the title bar close cancel like the button

private:
    voxmg::Flags& m_flags;
    QProgressBar* m_bar;
    BarProgress m_barProgress;
    QPushButton* m_cancel;
};
