#include "gui/lists/prg_add_msg_dlg.h"

#include <QLabel>
#include <QProgressBar>

CPrgAddMsgDlg::CPrgAddMsgDlg(voxmg::Flags& flags, QWidget* parent)
    : StepProgressDlg(flags, QStringLiteral("取り込み中"), QStringLiteral("音声ファイルを読み込んでいます。"),
                      parent) {
    // No close button in the title bar: キャンセル is the one way out.
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint & ~Qt::WindowContextHelpButtonHint);
    // The conversion's length is not known ahead: the bar only shows that work goes on.
    bar()->setRange(0, 0);
}

void CPrgAddMsgDlg::beforeConversion() {
    label()->setText(QStringLiteral("音声ファイルを変換しています。"));
}
