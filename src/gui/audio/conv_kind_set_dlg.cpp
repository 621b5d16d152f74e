#include "gui/audio/conv_kind_set_dlg.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "gui/audio/wav_save_folder.h"
#include "gui/base/app_context.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

CConvKindSetDlg::CConvKindSetDlg(AppContext& context, QWidget* parent, NetworkTest isNetwork)
    : QDialog(parent),
      m_context(context),
      m_isNetwork(std::move(isNetwork)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_intoFolder(new QPushButton(QStringLiteral("保存先フォルダを指定して変換"), this)),
      m_cancel(new QPushButton(QStringLiteral("キャンセル"), this)) {
    setWindowTitle(QStringLiteral("変換の確認"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("変換します。よろしいですか？"), this));
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : {m_ok, m_intoFolder, m_cancel}) {
        button->setAutoDefault(false);
        row->addWidget(button);
    }
    column->addLayout(row);
    m_cancel->setDefault(true);  // Enter converts nothing
    m_cancel->setAutoDefault(true);
    m_cancel->setFocus();
    connect(m_ok, &QPushButton::clicked, this, &CConvKindSetDlg::onOk);
    connect(m_intoFolder, &QPushButton::clicked, this, &CConvKindSetDlg::onIntoFolder);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this] {
        m_outcome = Outcome::Cancel;
        m_folder.clear();
    });
    (new DialogScheduleCheck(this, context))->start();
}

QString CConvKindSetDlg::browserStart(const QString& wavSavePath, const QString& documents) {
    return !wavSavePath.isEmpty() && QFileInfo(wavSavePath).isDir() ? wavSavePath : documents;
}

void CConvKindSetDlg::onOk() {
    m_context.doc.settings().wavSaveEnable = false;
    m_outcome = Outcome::Beside;
    accept();
}

void CConvKindSetDlg::onIntoFolder() {
    auto& s = m_context.doc.settings();
    const QString start = browserStart(toQ(s.wavSavePath.str()),
                                       QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    for (;;) {
        const QString chosen = m_context.choosers.chooseFolder(this, wavSaveFolderPrompt(), start);
        if (chosen.isEmpty()) {
            reject();
            return;
        }
        if (!fitsWavSavePath(chosen)) {
            m_context.messages.error(this, QStringLiteral("入力値エラーです。"));
            continue;
        }
        if (confirmNetworkFolder(m_context.messages, this, chosen, m_isNetwork)) {
            s.wavSavePath = fromQ(chosen);
            s.wavSaveEnable = true;
            m_outcome = Outcome::IntoFolder;
            m_folder = chosen;
            done(kIntoFolderCode);
            return;
        }
    }
}
