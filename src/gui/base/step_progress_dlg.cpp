#include "gui/base/step_progress_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

StepProgressDlg::StepProgressDlg(voxmg::Flags& flags, const QString& caption, const QString& text,
                                 QWidget* parent)
    : StepProgressDlg(&flags, caption, text, parent) {}

StepProgressDlg::StepProgressDlg(const QString& caption, const QString& text, QWidget* parent)
    : StepProgressDlg(nullptr, caption, text, parent) {}

StepProgressDlg::StepProgressDlg(voxmg::Flags* flags, const QString& caption, const QString& text,
                                 QWidget* parent)
    : QDialog(parent),
      m_flags(flags),
      m_label(new QLabel(text, this)),
      m_bar(new QProgressBar(this)),
      m_barProgress(m_bar),
      m_column(new QVBoxLayout(this)) {
    setWindowTitle(caption);
    setModal(true);
    m_column->addWidget(m_label);
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_column->addWidget(m_bar);
    if (m_flags != nullptr) {
        m_cancel = new QPushButton(QStringLiteral("キャンセル"), this);
        m_buttonRow = new QHBoxLayout;
        m_buttonRow->addStretch();
        m_buttonRow->addWidget(m_cancel);
        m_column->addLayout(m_buttonRow);
        connect(m_cancel, &QPushButton::clicked, this, [this] { cancel(); });
    }
    setMinimumWidth(320);
}

void StepProgressDlg::setRange(int range) {
    m_barProgress.setRange(range);
    m_bar->setValue(0);
}

void StepProgressDlg::setPosition(int position) {
    m_barProgress.setPosition(position);
}

void StepProgressDlg::setBarWidth(int width) {
    setMinimumWidth(0);
    m_bar->setMinimumWidth(width);
}

void StepProgressDlg::cancel() {
    m_flags->cancelAll = 1;
    m_cancel->setEnabled(false);
}

void StepProgressDlg::reject() {
    if (m_cancel != nullptr && m_cancel->isEnabled()) {
        cancel();
    }
}

QLabel* StepProgressDlg::addCounter() {
    if (m_counter == nullptr) {
        m_counter = new QLabel(this);
        if (m_buttonRow == nullptr) {
            m_buttonRow = new QHBoxLayout;
            m_column->addLayout(m_buttonRow);
        }
        m_buttonRow->insertWidget(0, m_counter);
    }
    return m_counter;
}

void StepProgressDlg::showCount(int done, int total) {
    addCounter()->setText(QStringLiteral("%1／%2").arg(done).arg(total));
}
