#include "gui/audio/wav_conv_dlg.h"

#include <QProgressBar>
#include <algorithm>

CWavConvDlg::CWavConvDlg(voxmg::Flags& flags, int totalFiles, QWidget* parent)
    : StepProgressDlg(flags, QStringLiteral("変換中"), QStringLiteral("WAVファイルに変換中です。"), parent) {
    setBarWidth(320);
    addCounter();
    setRange(0);
    setCounter(0, totalFiles);
}

void CWavConvDlg::setCounter(int done, int total) {
    m_done = std::max(done, 0);
    m_total = std::max(total, 0);
    showCount(m_done, m_total);
}

void CWavConvDlg::setRange(int range) {
    m_range = std::max(range, 0);
    StepProgressDlg::setRange(m_range);
}

void CWavConvDlg::setPosition(int position) {
    // A file of no whole second keeps an empty bar rather than a full one.
    bar()->setValue(std::clamp(position, 0, m_range));
}

void CWavConvDlg::nextFile() {
    setCounter(std::min(m_done + 1, m_total), m_total);
    bar()->setValue(0);
}

void CWavConvDlg::cancel() {
    flags()->cancelAll = 1;
    m_cancelled = true;
    QDialog::reject();
}
