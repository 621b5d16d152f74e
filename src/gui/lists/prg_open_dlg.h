#pragma once

#include "gui/base/step_progress_dlg.h"

// "一覧表を開く": the progress shown while a new list window reads its messages for the
// first time. Nothing stops the read: no キャンセル and no close button.
class CPrgOpenDlg : public StepProgressDlg {
    Q_OBJECT
public:
    explicit CPrgOpenDlg(QWidget* parent = nullptr);

    void setTotal(int total);
    // The number of messages read so far, clamped to the total; lets pending events run so
    // the dialog repaints.
    void setPosition(int position) override;
    int position() const;
};
