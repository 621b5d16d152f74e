#include "gui/lists/prg_delete_dlg.h"

CPrgDeleteDlg::CPrgDeleteDlg(voxmg::Flags& flags, QWidget* parent)
    : RowProgressDlg(flags, QStringLiteral("消去中"), QStringLiteral("音声メッセージを消去中です。"),
                     parent) {}
