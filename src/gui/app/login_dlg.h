#pragma once

#include <QDialog>

#include "gui/base/app_context.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class IpAddressCtrl;
class DeviceSession;
class DialogScheduleCheck;

// The messages of the connect-and-login results 1, 2 and 3 (login and reconnect).
QString connectResultText(int result);

// "ログイン": address, account and password of the main unit. OK means connected and
// logged in.
class CLoginDlg : public QDialog {
    Q_OBJECT
public:
    CLoginDlg(AppContext& context, DeviceSession& session, QWidget* parent = nullptr);

    IpAddressCtrl* address() const { return m_address; }
    QLineEdit* user() const { return m_user; }
    QLineEdit* password() const { return m_password; }
    QCheckBox* remember() const { return m_remember; }
    QPushButton* loginButton() const { return m_login; }
    DialogScheduleCheck* scheduleCheck() const { return m_schedule; }

private:
    void onLogin();

    AppContext& m_context;
    DeviceSession& m_session;
    IpAddressCtrl* m_address;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QCheckBox* m_remember;
    QPushButton* m_login;
    DialogScheduleCheck* m_schedule;
};
