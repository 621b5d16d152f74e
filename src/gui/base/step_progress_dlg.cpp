#include "gui/base/step_progress_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

StepProgressDlg::StepProgressDlg(voxmg::Flags& flags, const QString& caption, const QString& text,
                                 QWidget* parent)
    : QDialog(parent),
      m_flags(flags),
      m_bar(new QProgressBar(this)),
      m_barProgress(m_bar),
      m_cancel(new QPushButton(QStringLiteral("キャンセル"), this)) {
    setWindowTitle(caption);
    setModal(true);
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(text, this));
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    column->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_cancel);
    column->addLayout(row);
    connect(m_cancel, &QPushButton::clicked, this, &StepProgressDlg::reject);
    setMinimumWidth(320);
}

void StepProgressDlg::setRange(int range) {
    m_barProgress.setRange(range);
}

void StepProgressDlg::setPosition(int position) {
    m_barProgress.setPosition(position);
}

void StepProgressDlg::reject() {
    m_flags.cancelAll = 1;
    m_cancel->setEnabled(false);
}
