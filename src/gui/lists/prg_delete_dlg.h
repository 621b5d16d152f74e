#pragma once

#include "gui/base/step_progress_dlg.h"

// "消去中": the progress of a delete. キャンセル stops it after the message in hand.
class DeleteProgressDlg : public StepProgressDlg {
    Q_OBJECT
public:
    DeleteProgressDlg(voxmg::Flags& flags, QWidget* parent = nullptr);
};
