#pragma once

#include "gui/base/step_progress_dlg.h"

// "削除中": shown while a folder is deleted or moved to the recycle area. It has no Cancel:
// a delete stopped half-way would leave a folder neither here nor there.
class CFolderDelPrgDlg : public StepProgressDlg {
    Q_OBJECT
public:
    explicit CFolderDelPrgDlg(QWidget* parent = nullptr);
};
