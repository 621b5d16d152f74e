#include "gui/app/login_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/app/login_input.h"
#include "gui/app/ip_address_ctrl.h"
#include "gui/base/button_row.h"
#include "gui/base/device_session.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

namespace {

QString inputErrorText(voxmg::LoginInputError error) {
    switch (error) {
        case voxmg::LoginInputError::NoAddress:
            return QStringLiteral("ＩＰアドレスを入力してください。");
        case voxmg::LoginInputError::NoUser:
            return QStringLiteral("ユーザー名を入力してください。");
        case voxmg::LoginInputError::NoPassword:
            return QStringLiteral("パスワードを入力してください。");
        case voxmg::LoginInputError::UserCharacter:
        case voxmg::LoginInputError::UnknownAccount:
        case voxmg::LoginInputError::PasswordCharacter:
            return QStringLiteral("入力値エラーです。");
        case voxmg::LoginInputError::None:
            break;
    }
    return {};
}

}  // namespace

QString connectResultText(int result) {
    switch (result) {
        case 1:
            return QStringLiteral("接続に失敗しました。");
        case 2:
            return QStringLiteral("ログインに失敗しました。");
        case 3:
            return QStringLiteral(
                "この主装置には対応しておりません。\r\n対応しているアプリケーションをご使用ください。");
        default:
            return {};
    }
}

CLoginDlg::CLoginDlg(AppContext& context, DeviceSession& session, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_session(session),
      m_address(new IpAddressCtrl(this)),
      m_user(new QLineEdit(this)),
      m_password(new QLineEdit(this)),
      m_remember(new QCheckBox(QStringLiteral("アドレス,ユーザー名,パスワードを記憶する"), this)),
      m_login(new QPushButton(QStringLiteral("ログイン"), this)),
      m_schedule(new DialogScheduleCheck(this, context)) {
    setWindowTitle(QStringLiteral("ログイン"));
    m_password->setEchoMode(QLineEdit::Password);
    m_user->setMaxLength(16);
    m_password->setMaxLength(16);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("主装置のＩＰアドレス："), this), 0, 0);
    grid->addWidget(m_address, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("ユーザー名："), this), 1, 0);
    grid->addWidget(m_user, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("パスワード："), this), 2, 0);
    grid->addWidget(m_password, 2, 1);
    grid->addWidget(m_remember, 3, 0, 1, 2);
    grid->addLayout(buttonRowWithCancel(this, {m_login}), 4, 0, 1, 2);
    connect(m_login, &QPushButton::clicked, this, &CLoginDlg::onLogin);

    const auto& s = context.doc.settings();
    if (!s.ip.empty()) {
        m_address->setText(toQ(s.ip.str()));
    }
    m_user->setText(toQ(s.user.str()));
    m_password->setText(toQ(s.pass.str()));
    m_remember->setChecked(s.check);
    m_schedule->start();
}

void CLoginDlg::onLogin() {
    m_schedule->stop();
    auto& s = m_context.doc.settings();
    auto& run = m_context.doc.login();
    const std::u16string ip = m_address->isBlank() ? std::u16string() : fromQ(m_address->text());
    const std::u16string user = fromQ(m_user->text());
    const std::u16string pass = fromQ(m_password->text());
    s.ip = ip;
    s.user = user;
    s.pass = pass;
    run.ip = ip;
    run.user = user;
    run.pass = pass;
    run.port = s.port;
    s.check = m_remember->isChecked();
    if (!s.check) {
        // Only the running connection keeps them; the file gets empty values at exit.
        s.ip.clear();
        s.user.clear();
        s.pass.clear();
    }

    const auto error = voxmg::checkLoginInput(m_address->isBlank(), user, pass);
    if (error != voxmg::LoginInputError::None) {
        m_context.messages.show(this, inputErrorText(error), QStringLiteral("エラー"),
                                UserMessages::Icon::Warning);
        m_schedule->start();
        return;
    }

    // The client pumps events while it waits; a second press must not start another attempt
    // inside this one.
    m_login->setEnabled(false);
    int result = 0;
    {
        // The worker's box on the old connection hands over after its file, as for any operation.
        FtpLease lease = m_session.acquire();
        result = m_session.connectAndLogin(run);
    }
    m_login->setEnabled(true);
    if (result == 0) {
        m_context.doc.setLoggedIn(true);
        accept();
        return;
    }
    m_context.messages.show(this, connectResultText(result), QStringLiteral("エラー"),
                            UserMessages::Icon::Warning);
    m_schedule->start();
}
