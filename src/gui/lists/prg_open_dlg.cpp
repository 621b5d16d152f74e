#include "gui/lists/prg_open_dlg.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

CPrgOpenDlg::CPrgOpenDlg(QWidget* parent) : QDialog(parent), m_bar(new QProgressBar(this)) {
    setWindowTitle(QStringLiteral("一覧表を開く"));
    setModal(true);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("一覧表を作成しています。"), this));
    column->addWidget(m_bar);
    m_bar->setRange(0, 0);
    setMinimumWidth(320);
}

void CPrgOpenDlg::setTotal(int total) {
    m_bar->setRange(0, std::max(total, 0));
    m_bar->setValue(0);
}

void CPrgOpenDlg::setPosition(int position) {
    m_bar->setValue(std::clamp(position, 0, m_bar->maximum()));
    // A handful of events per step: enough to repaint, too few to start anything new.
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

int CPrgOpenDlg::position() const {
    return m_bar->value();
}
