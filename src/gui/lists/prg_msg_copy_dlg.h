#pragma once

#include "gui/base/step_progress_dlg.h"

// "移動中" / "コピー中": the progress of a move or copy. キャンセル stops it and takes back the
// message in hand.
class CPrgMsgCopyDlg : public StepProgressDlg {
    Q_OBJECT
public:
    CPrgMsgCopyDlg(voxmg::Flags& flags, bool copy, QWidget* parent = nullptr);
};
