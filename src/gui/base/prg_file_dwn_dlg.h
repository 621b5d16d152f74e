#pragma once

#include <QDialog>

#include "core/base/flags.h"
#include "core/base/progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

// "ダウンロード中": the progress of a download running on the UI thread. Shown modal, so the
// rest of the program takes no input while the engine pumps events; キャンセル asks every
// running transfer to stop.
class CPrgFileDwnDlg : public QDialog, public voxmg::ProgressSink {
    Q_OBJECT
public:
    CPrgFileDwnDlg(voxmg::Flags& flags, QWidget* parent = nullptr);

    // Messages expected in this run, shown as "done／expected" under the bar.
    void setMessageCount(int messages);

    // The bar follows the file being retrieved (its size in KB); -1 marks the file done.
    void setRange(int range) override;
    void setPosition(int position) override;
    void nextFile() override;
    void infoFileDone() override {}
    void beforeConversion() override {}
    void infoOnlyStep(int percent) override;

    QProgressBar* bar() const { return m_bar; }
    QLabel* counter() const { return m_counter; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void reject() override;  // Escape and the title bar close cancel like the button

private:
    voxmg::Flags& m_flags;
    QLabel* m_text;
    QProgressBar* m_bar;
    QLabel* m_counter;
    QPushButton* m_cancel;
    int m_messages = 0;
    int m_done = 0;
};
