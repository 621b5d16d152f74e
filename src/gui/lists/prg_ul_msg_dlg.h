#pragma once

#include "gui/lists/row_progress_dlg.h"

// "アップロード中": the progress of an upload, one step a selected row. キャンセル stops it
// after the message in hand.
class CPrgULMsgDlg : public RowProgressDlg {
    Q_OBJECT
public:
    CPrgULMsgDlg(voxmg::Flags& flags, QWidget* parent = nullptr);
};
