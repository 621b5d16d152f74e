#pragma once

#include "gui/base/step_progress_dlg.h"

// "取り込み中": the progress of a response message import. First the file is read in, then it
// is converted; キャンセル stops the conversion. Escape does nothing, so a key pressed by habit
// does not throw away a long conversion.
class CPrgAddMsgDlg : public StepProgressDlg {
    Q_OBJECT
public:
    CPrgAddMsgDlg(voxmg::Flags& flags, QWidget* parent = nullptr);
    void beforeConversion() override;  // the text turns to the conversion's

protected:
    void reject() override {}
};
