#include "gui/lists/prg_ul_msg_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CPrgULMsgDlg::CPrgULMsgDlg(voxmg::Flags& flags, QWidget* parent)
    : QDialog(parent),
      m_flags(flags),
      m_bar(new QProgressBar(this)),
      m_cancel(new QPushButton(QStringLiteral("キャンセル"), this)) {
    setWindowTitle(QStringLiteral("アップロード中"));
    setModal(true);
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("システム応答メッセージをアップロードしています。"), this));
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    column->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_cancel);
    column->addLayout(row);
    connect(m_cancel, &QPushButton::clicked, this, &CPrgULMsgDlg::reject);
    setMinimumWidth(320);
}

void CPrgULMsgDlg::setRange(int range) {
    m_bar->setRange(0, std::max(range, 1));
}

void CPrgULMsgDlg::setPosition(int position) {
    m_bar->setValue(std::min(position, m_bar->maximum()));
}

void CPrgULMsgDlg::reject() {
    m_flags.cancelAll = 1;
    m_cancel->setEnabled(false);
}
