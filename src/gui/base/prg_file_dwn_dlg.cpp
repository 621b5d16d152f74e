#include "gui/base/prg_file_dwn_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CPrgFileDwnDlg::CPrgFileDwnDlg(voxmg::Flags& flags, QWidget* parent)
    : QDialog(parent),
      m_flags(flags),
      m_text(new QLabel(QStringLiteral("ファイルをダウンロード中です。"), this)),
      m_bar(new QProgressBar(this)),
      m_counter(new QLabel(this)),
      m_cancel(new QPushButton(QStringLiteral("キャンセル"), this)) {
    setWindowTitle(QStringLiteral("ダウンロード中"));
    setModal(true);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setMinimumWidth(320);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_text);
    column->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    row->addWidget(m_counter);
    row->addStretch();
    row->addWidget(m_cancel);
    column->addLayout(row);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_flags.cancelAll = 1;
        m_cancel->setEnabled(false);
    });
}

void CPrgFileDwnDlg::setRange(int range) {
    m_bar->setRange(0, std::max(range, 1));
    m_bar->setValue(0);
}

void CPrgFileDwnDlg::setPosition(int position) {
    if (position == -1) {
        m_bar->setValue(m_bar->maximum());
    } else if (position >= 0) {
        m_bar->setValue(std::min(position, m_bar->maximum()));
    }
}

void CPrgFileDwnDlg::setMessageCount(int messages) {
    m_messages = messages;
    m_done = 0;
    m_counter->setText(QStringLiteral("%1／%2").arg(m_done).arg(m_messages));
}

void CPrgFileDwnDlg::nextFile() {
    ++m_done;
    if (m_messages > 0) {
        m_counter->setText(QStringLiteral("%1／%2").arg(std::min(m_done, m_messages)).arg(m_messages));
    }
}

void CPrgFileDwnDlg::infoOnlyStep(int /*percent*/) {
    m_bar->setValue(std::min(m_bar->value() + 1, m_bar->maximum()));
}

void CPrgFileDwnDlg::reject() {
    m_cancel->click();
}
