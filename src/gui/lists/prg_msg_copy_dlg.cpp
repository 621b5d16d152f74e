#include "gui/lists/prg_msg_copy_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CPrgMsgCopyDlg::CPrgMsgCopyDlg(voxmg::Flags& flags, bool copy, QWidget* parent)
    : QDialog(parent),
      m_flags(flags),
      m_bar(new QProgressBar(this)),
      m_cancel(new QPushButton(QStringLiteral("キャンセル"), this)) {
    setWindowTitle(copy ? QStringLiteral("コピー中") : QStringLiteral("移動中"));
    setModal(true);
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(copy ? QStringLiteral("音声メッセージをコピー中です。")
                                      : QStringLiteral("音声メッセージを移動中です。"),
                                 this));
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    column->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_cancel);
    column->addLayout(row);
    connect(m_cancel, &QPushButton::clicked, this, &CPrgMsgCopyDlg::reject);
    setMinimumWidth(320);
}

void CPrgMsgCopyDlg::setRange(int range) {
    m_bar->setRange(0, std::max(range, 1));
}

void CPrgMsgCopyDlg::setPosition(int position) {
    m_bar->setValue(std::min(position, m_bar->maximum()));
}

void CPrgMsgCopyDlg::reject() {
    m_flags.cancelAll = 1;
    m_cancel->setEnabled(false);
}
