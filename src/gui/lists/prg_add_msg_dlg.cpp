#include "gui/lists/prg_add_msg_dlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CPrgAddMsgDlg::CPrgAddMsgDlg(voxmg::Flags& flags, QWidget* parent)
    : QDialog(parent),
      m_flags(flags),
      m_label(new QLabel(QStringLiteral("音声ファイルを読み込んでいます。"), this)),
      m_bar(new QProgressBar(this)),
      m_cancel(new QPushButton(QStringLiteral("キャンセル"), this)) {
    setWindowTitle(QStringLiteral("取り込み中"));
    setModal(true);
    // No close button in the title bar: キャンセル is the one way out.
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint & ~Qt::WindowContextHelpButtonHint);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_label);
    // The conversion's length is not known ahead: the bar only shows that work goes on.
    m_bar->setRange(0, 0);
    m_bar->setTextVisible(false);
    column->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_cancel);
    column->addLayout(row);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_flags.cancelAll = 1;
        m_cancel->setEnabled(false);
    });
    setMinimumWidth(320);
}

void CPrgAddMsgDlg::beforeConversion() {
    m_label->setText(QStringLiteral("音声ファイルを変換しています。"));
}

void CPrgAddMsgDlg::reject() {}

void CPrgAddMsgDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
