#include "gui/lists/prg_open_dlg.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <algorithm>

CPrgOpenDlg::CPrgOpenDlg(QWidget* parent)
    : StepProgressDlg(QStringLiteral("一覧表を開く"), QStringLiteral("一覧表を作成しています。"), parent) {
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    bar()->setTextVisible(true);
    // Until the total is known the bar only shows that work goes on.
    bar()->setRange(0, 0);
}

void CPrgOpenDlg::setTotal(int total) {
    // A total of 0 keeps the bar busy, not full, while the empty list is built.
    bar()->setRange(0, std::max(total, 0));
    bar()->setValue(0);
}

void CPrgOpenDlg::setPosition(int position) {
    StepProgressDlg::setPosition(position);
    // A handful of events per step: enough to repaint, too few to start anything new.
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

int CPrgOpenDlg::position() const {
    return bar()->value();
}
