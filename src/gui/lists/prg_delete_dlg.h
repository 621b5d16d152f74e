#pragma once

#include "gui/lists/row_progress_dlg.h"

// "消去中": the progress of a delete. キャンセル stops it after the message in hand.
class CPrgDeleteDlg : public RowProgressDlg {
    Q_OBJECT
public:
    CPrgDeleteDlg(voxmg::Flags& flags, QWidget* parent = nullptr);
};
