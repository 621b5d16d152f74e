#pragma once

#include <QDialog>

#include "core/base/flags.h"
#include "core/base/progress.h"

class QProgressBar;
class QPushButton;

// The progress of an operation on the selected rows: one line of text, a bar over the rows and
// キャンセル, which stops the operation after the row in hand. The progress dialogs of the
// operations give it their title and text.
class RowProgressDlg : public QDialog, public voxmg::ProgressSink {
    Q_OBJECT
public:
    RowProgressDlg(voxmg::Flags& flags, const QString& title, const QString& text, QWidget* parent);
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
