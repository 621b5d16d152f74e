#include "gui/store/folder_nm_chg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/base/flags.h"
#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/mail/mail_hook.h"
#include "core/store/folder_ops.h"
#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

CFolderNmChg::CFolderNmChg(AppContext& context, std::string folder, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_folder(std::move(folder)),
      m_name(new QLineEdit(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QStringLiteral("フォルダ名称変更"));
    m_name->setMaxLength(256);
    m_name->setText(pathToQ(std::string(voxmg::paths::fileName(m_folder))));
    m_name->setMinimumWidth(300);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_name);
    column->addLayout(buttonRowWithCancel(this, {m_ok}));
    connect(m_ok, &QPushButton::clicked, this, &CFolderNmChg::onOk);
}

void CFolderNmChg::onOk() {
    const QString name = m_name->text();
    if (name.isEmpty()) {
        m_context.messages.error(this, QStringLiteral("入力値エラーです。"));
        return;
    }
    using voxmg::folders::RenameResult;
    RenameResult result;
    const DataFolderGuard dataLock(m_context, this);
    if (!dataLock) {
        return;
    }
    {
        voxmg::WorkerPause pause(m_context.flags, m_context.pump);
        result = voxmg::folders::renameFolder(m_folder, fromQ(name));
    }
    if (result == RenameResult::Duplicate) {
        m_context.messages.error(this, QStringLiteral("フォルダ名が重複しています。"));
        return;
    }
    if (result != RenameResult::Done) {
        m_context.messages.error(this, QStringLiteral("入力値エラーです。"));
        return;
    }
    m_newPath = voxmg::paths::join(voxmg::paths::parentOf(m_folder), pathFromQ(name));
    // The mail recipients of its boxes and the mails waiting for its messages follow the folder.
    const std::string settingsFolder =
        voxmg::paths::withTrailingSeparator(voxmg::paths::parentOf(m_context.doc.settingsPath()));
    if (voxmg::mail::followBoxFolderRename(settingsFolder, m_folder, m_newPath) !=
        voxmg::mail::FollowResult::Done) {
        m_context.messages.show(
            this,
            QStringLiteral("メール転送の宛先と送信待ちのメールを新しいフォルダ名に移せませんで"
                           "した。\nメール転送の設定を確認してください。"),
            QStringLiteral("メール転送"), UserMessages::Icon::Warning);
    }
    // Renaming the box folder in use renames it in the settings too, or the program would
    // go on looking for the old name.
    if (m_folder == m_context.doc.boxFolderPath()) {
        m_context.doc.settings().folderName = fromQ(name);
    }
    accept();
}
