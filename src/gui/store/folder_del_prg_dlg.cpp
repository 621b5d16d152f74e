#include "gui/store/folder_del_prg_dlg.h"

#include <QProgressBar>

CFolderDelPrgDlg::CFolderDelPrgDlg(QWidget* parent)
    : StepProgressDlg(QStringLiteral("削除中"), QStringLiteral("フォルダを削除中です。"), parent) {
    bar()->setTextVisible(true);
    setBarWidth(320);
}
