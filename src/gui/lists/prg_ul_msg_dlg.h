#pragma once

#include "gui/base/step_progress_dlg.h"

// "アップロード中": the progress of an upload, one step a selected row. キャンセル stops it
// after the message in hand.
class CPrgULMsgDlg : public StepProgressDlg {
    Q_OBJECT
public:
    CPrgULMsgDlg(voxmg::Flags& flags, QWidget* parent = nullptr);
};
