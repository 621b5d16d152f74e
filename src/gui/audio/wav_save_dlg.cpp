#include "gui/audio/wav_save_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/audio/wav_save_folder.h"
#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

CWavSaveDlg::CWavSaveDlg(AppContext& context, QWidget* parent, NetworkTest isNetwork)
    : QDialog(parent),
      m_context(context),
      m_isNetwork(std::move(isNetwork)),
      m_off(new QRadioButton(QStringLiteral("機能なし"), this)),
      m_on(new QRadioButton(QStringLiteral("機能あり"), this)),
      m_choose(new QPushButton(QStringLiteral("設定"), this)),
      m_folder(new QLineEdit(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QStringLiteral("WAVファイル保存先設定"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("WAVファイルの保存先を設定します。"), this));
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_off);
    radios->addWidget(m_on);
    radios->addStretch();
    column->addLayout(radios);
    column->addWidget(new QLabel(QStringLiteral("WAVファイルを保存するフォルダを設定してください。"), this));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("フォルダ"), this));
    m_folder->setReadOnly(true);  // only the browser sets the folder
    m_folder->setMinimumWidth(320);
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_choose);
    column->addLayout(folderRow);
    column->addLayout(buttonRowWithCancel(this, {m_ok}));

    const auto& s = context.doc.settings();
    m_folder->setText(toQ(s.wavSavePath.str()));
    (s.wavSaveEnable ? m_on : m_off)->setChecked(true);
    onKind();
    connect(m_off, &QRadioButton::clicked, this, &CWavSaveDlg::onKind);
    connect(m_on, &QRadioButton::clicked, this, &CWavSaveDlg::onKind);
    connect(m_choose, &QPushButton::clicked, this, &CWavSaveDlg::onChoose);
    connect(m_ok, &QPushButton::clicked, this, &CWavSaveDlg::onOk);
    (new DialogScheduleCheck(this, context))->start();
}

void CWavSaveDlg::onKind() {
    const bool on = m_on->isChecked();
    m_choose->setEnabled(on);
    m_folder->setEnabled(on);
}

void CWavSaveDlg::onChoose() {
    auto& path = m_context.doc.settings().wavSavePath;
    const QString chosen = m_context.choosers.chooseFolder(this, wavSaveFolderPrompt(), toQ(path.str()));
    if (chosen.isEmpty()) {
        return;
    }
    if (!fitsWavSavePath(chosen)) {
        m_context.messages.error(this, QStringLiteral("入力値エラーです。"));
        return;
    }
    path = fromQ(chosen);
    m_folder->setText(chosen);
}

void CWavSaveDlg::onOk() {
    auto& s = m_context.doc.settings();
    if (m_on->isChecked()) {
        const QString folder = toQ(s.wavSavePath.str());
        if (!folder.isEmpty() && !confirmNetworkFolder(m_context.messages, this, folder, m_isNetwork)) {
            return;
        }
        s.wavSaveEnable = true;
    } else {
        s.wavSaveEnable = false;
    }
    accept();
}
