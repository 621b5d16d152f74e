#pragma once

#include <QDialog>

#include "core/base/flags.h"
#include "core/base/progress.h"
#include "gui/base/bar_progress.h"

class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

// The program's progress dialog: a caption, one line of text, the bar and キャンセル, which asks
// the operation to stop after the step in hand. The progress dialogs of the design derive from
// it and change only what their own behaviour needs: a "done／total" counter beside キャンセル,
// a キャンセル that does more or less, or no キャンセル at all.
class StepProgressDlg : public QDialog, public voxmg::ProgressSink {
    Q_OBJECT
public:
    StepProgressDlg(voxmg::Flags& flags, const QString& caption, const QString& text,
                    QWidget* parent = nullptr);
    // Without キャンセル, for work that must not stop half-way: Escape and the title bar close
    // leave it running and the dialog up.
    StepProgressDlg(const QString& caption, const QString& text, QWidget* parent = nullptr);

    // A new range starts the bar from empty; positions beyond it show as the end.
    void setRange(int range) override;
    void setPosition(int position) override;

    // Sizes the bar instead of the dialog, as the dialogs built around a wider or narrower bar
    // were laid out.
    void setBarWidth(int width);

    QProgressBar* bar() const { return m_bar; }
    QLabel* label() const { return m_label; }
    QPushButton* cancelButton() const { return m_cancel; }  // nullptr without キャンセル
    QLabel* counter() const { return m_counter; }           // nullptr until addCounter()

protected:
    // キャンセル: sets the cancel-all flag and disables the button, so the request is made once.
    virtual void cancel();
    // Escape and the title bar close press キャンセル while it can be pressed; nothing otherwise.
    void reject() override;

    // A line to the left of キャンセル, empty until showCount().
    QLabel* addCounter();
    void showCount(int done, int total);

    voxmg::Flags* flags() const { return m_flags; }

private:
    StepProgressDlg(voxmg::Flags* flags, const QString& caption, const QString& text, QWidget* parent);

    voxmg::Flags* m_flags;
    QLabel* m_label;
    QProgressBar* m_bar;
    BarProgress m_barProgress;
    QVBoxLayout* m_column;
    QPushButton* m_cancel = nullptr;
    QHBoxLayout* m_buttonRow = nullptr;
    QLabel* m_counter = nullptr;
};
