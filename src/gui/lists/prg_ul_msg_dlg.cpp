#include "gui/lists/prg_ul_msg_dlg.h"

CPrgULMsgDlg::CPrgULMsgDlg(voxmg::Flags& flags, QWidget* parent)
    : StepProgressDlg(flags, QStringLiteral("アップロード中"),
                      QStringLiteral("システム応答メッセージをアップロードしています。"), parent) {}
