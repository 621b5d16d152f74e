#include "gui/lists/prg_delete_dlg.h"

DeleteProgressDlg::DeleteProgressDlg(voxmg::Flags& flags, QWidget* parent)
    : StepProgressDlg(flags, QStringLiteral("消去中"), QStringLiteral("音声メッセージを消去中です。"),
                      parent) {}
