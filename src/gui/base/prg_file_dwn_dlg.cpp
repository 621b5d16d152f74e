#include "gui/base/prg_file_dwn_dlg.h"

#include <QProgressBar>
#include <algorithm>

CPrgFileDwnDlg::CPrgFileDwnDlg(voxmg::Flags& flags, QWidget* parent)
    : StepProgressDlg(flags, QStringLiteral("ダウンロード中"),
                      QStringLiteral("ファイルをダウンロード中です。"), parent) {
    bar()->setRange(0, 100);
    bar()->setTextVisible(true);
    setBarWidth(320);
    addCounter();
}

void CPrgFileDwnDlg::setMessageCount(int messages) {
    m_messages = messages;
    m_done = 0;
    showCount(m_done, m_messages);
}

void CPrgFileDwnDlg::setPosition(int position) {
    if (position == -1) {
        bar()->setValue(bar()->maximum());
    } else if (position >= 0) {
        StepProgressDlg::setPosition(position);
    }
}

void CPrgFileDwnDlg::nextFile() {
    ++m_done;
    if (m_messages > 0) {
        showCount(std::min(m_done, m_messages), m_messages);
    }
}

void CPrgFileDwnDlg::infoOnlyStep(int /*percent*/) {
    bar()->setValue(std::min(bar()->value() + 1, bar()->maximum()));
}
