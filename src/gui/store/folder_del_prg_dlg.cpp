#include "gui/store/folder_del_prg_dlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

CFolderDelPrgDlg::CFolderDelPrgDlg(QWidget* parent) : QDialog(parent), m_bar(new QProgressBar(this)) {
    setWindowTitle(QStringLiteral("削除中"));
    setModal(true);
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setMinimumWidth(320);
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("フォルダを削除中です。"), this));
    column->addWidget(m_bar);
}

void CFolderDelPrgDlg::setRange(int range) {
    m_bar->setRange(0, std::max(range, 1));
    m_bar->setValue(0);
}

void CFolderDelPrgDlg::setPosition(int position) {
    m_bar->setValue(std::clamp(position, 0, m_bar->maximum()));
}
