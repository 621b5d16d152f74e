#include "gui/lists/prg_msg_copy_dlg.h"

CPrgMsgCopyDlg::CPrgMsgCopyDlg(voxmg::Flags& flags, bool copy, QWidget* parent)
    : StepProgressDlg(flags, copy ? QStringLiteral("コピー中") : QStringLiteral("移動中"),
                      copy ? QStringLiteral("音声メッセージをコピー中です。")
                           : QStringLiteral("音声メッセージを移動中です。"),
                      parent) {}
