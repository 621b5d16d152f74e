#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "core/mail/mail_outbox.h"
#include "core/mail/mail_settings.h"
#include "core/mail/smtp_sender.h"

class MailOutboxView;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
struct AppContext;

// "メール転送の設定": the mail server and account, the sender, who gets the messages of each box
// of the current box folder, the attachment and the silent messages; a test mail; the mails
// the server refused, sent again on request. OK saves to the mail settings file.
class MailSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // `settingsFolder` holds the mail settings file and the outbox. `testLimits`: how long the
    // test mail may take.
    MailSettingsDlg(AppContext& context, std::string settingsFolder, QWidget* parent = nullptr,
                    voxmg::mail::SendLimits testLimits = {10, 30});

    // The settings as the fields hold them.
    voxmg::mail::MailSettings fieldSettings() const;

    void accept() override;
    // The test button: one short mail to the sender; the server's answer is shown.
    void sendTest();
    // Puts the refused mails back into the outbox (the selected ones of the outbox list, or all).
    void retryFailed();
    // 送らずに消す: after the user agrees, the mails that failed for good leave the outbox unsent.
    void discardFailed();

private:
    struct BoxRow {
        std::string key;  // "本社/rusuroku/001"
    };
    void fill();
    void setUpFields();
    QGroupBox* serverGroup();
    QGroupBox* boxGroup();

    AppContext& m_context;
    std::string m_folder;
    voxmg::mail::SendLimits m_testLimits;
    voxmg::mail::MailSettings m_loaded;
    std::vector<BoxRow> m_rows;
    QLineEdit* m_host;
    QSpinBox* m_port;
    QComboBox* m_security;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_sender;
    QLineEdit* m_caFile;
    QComboBox* m_attachment;
    QCheckBox* m_skipSilent;
    QTableWidget* m_boxes;
    QPushButton* m_test;
    MailOutboxView* m_outbox;
};
