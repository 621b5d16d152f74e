#include "gui/lists/row_progress_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

RowProgressDlg::RowProgressDlg(voxmg::Flags& flags, const QString& title, const QString& text,
                               QWidget* parent)
    : QDialog(parent),
      m_flags(flags),
      m_bar(new QProgressBar(this)),
      m_cancel(new QPushButton(QStringLiteral("キャンセル"), this)) {
    setWindowTitle(title);
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
    connect(m_cancel, &QPushButton::clicked, this, &RowProgressDlg::reject);
    setMinimumWidth(320);
}

void RowProgressDlg::setRange(int range) {
    m_bar->setRange(0, std::max(range, 1));
}

void RowProgressDlg::setPosition(int position) {
    m_bar->setValue(std::min(position, m_bar->maximum()));
}

void RowProgressDlg::reject() {
    m_flags.cancelAll = 1;
    m_cancel->setEnabled(false);
}
