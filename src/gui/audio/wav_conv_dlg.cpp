#include "gui/audio/wav_conv_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

CWavConvDlg::CWavConvDlg(voxmg::Flags& flags, int totalFiles, QWidget* parent)
    : QDialog(parent),
      m_flags(flags),
      m_counter(new QLabel(this)),
      m_bar(new QProgressBar(this)),
      m_cancel(new QPushButton(QStringLiteral("キャンセル"), this)) {
    setWindowTitle(QStringLiteral("変換中"));
    setModal(true);
    m_bar->setMinimumWidth(320);
    m_bar->setTextVisible(false);
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("WAVファイルに変換中です。"), this));
    column->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    row->addWidget(m_counter);
    row->addStretch();
    row->addWidget(m_cancel);
    column->addLayout(row);
    connect(m_cancel, &QPushButton::clicked, this, &CWavConvDlg::reject);
    setRange(0);
    setCounter(0, totalFiles);
}

void CWavConvDlg::setCounter(int done, int total) {
    m_done = std::max(done, 0);
    m_total = std::max(total, 0);
    m_counter->setText(QStringLiteral("%1／%2").arg(m_done).arg(m_total));
}

void CWavConvDlg::setRange(int range) {
    m_range = std::max(range, 0);
    // A bar needs a span to show anything; a range of 0 shows it empty.
    m_bar->setRange(0, std::max(m_range, 1));
    m_bar->setValue(0);
}

void CWavConvDlg::setPosition(int position) {
    m_bar->setValue(std::clamp(position, 0, m_range));
}

void CWavConvDlg::nextFile() {
    setCounter(std::min(m_done + 1, m_total), m_total);
    m_bar->setValue(0);
}

void CWavConvDlg::reject() {
    m_flags.cancelAll = 1;
    m_cancelled = true;
    QDialog::reject();
}
