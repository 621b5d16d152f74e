#pragma once

#include "gui/base/step_progress_dlg.h"

// "ダウンロード中": the progress of a download running on the UI thread. Shown modal, so the
// rest of the program takes no input while the engine pumps events; キャンセル asks every
// running transfer to stop.
class CPrgFileDwnDlg : public StepProgressDlg {
    Q_OBJECT
public:
    CPrgFileDwnDlg(voxmg::Flags& flags, QWidget* parent = nullptr);

    // Messages expected in this run, shown as "done／expected" under the bar.
    void setMessageCount(int messages);

    // The bar follows the file being retrieved (its size in KB); -1 marks the file done.
    void setPosition(int position) override;
    void nextFile() override;
    void infoOnlyStep(int percent) override;

private:
    int m_messages = 0;
    int m_done = 0;
};
