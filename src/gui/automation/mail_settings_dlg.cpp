#include "gui/automation/mail_settings_dlg.h"

#include <QTabWidget>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <future>

#include "core/base/paths.h"
#include "core/mail/mail_run.h"
#include "core/mail/mail_worker.h"
#include "core/mail/send_texts.h"
#include "core/store/box_management.h"
#include "gui/automation/mail_outbox_view.h"
#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/choosers.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

using namespace voxmg::mail;
namespace boxes = voxmg::boxes;

namespace {

const QString kCaption = QStringLiteral("メール転送の設定");

// What the user reads about a setting that cannot work.
QString problemText(SettingsProblem problem) {
    switch (problem) {
        case SettingsProblem::NoHost:
            return QStringLiteral("入力値エラーです。\nメールサーバーを入力してください。");
        case SettingsProblem::BadSender:
            return QStringLiteral("入力値エラーです。\n送信者のメールアドレスを確認してください。");
        case SettingsProblem::PlainToRemote:
            return QStringLiteral(
                "入力値エラーです。\n暗号化「なし」は、このコンピューター上のメールサーバーにだけ使えます。");
        case SettingsProblem::BadPort:
            return QStringLiteral("入力値エラーです。\nポート番号を確認してください。");
        case SettingsProblem::NotStorable:
            return QStringLiteral(
                "入力値エラーです。\nメールサーバー・ユーザー名・パスワード・証明書ファイルに"
                "保存できない文字が含まれています。");
        case SettingsProblem::None:
            break;
    }
    return {};
}

enum Column { KindColumn = 0, NumberColumn, NameColumn, RecipientsColumn };

}  // namespace

MailSettingsDlg::MailSettingsDlg(AppContext& context, std::string settingsFolder, QWidget* parent,
                                 SendLimits testLimits)
    : QDialog(parent),
      m_context(context),
      m_folder(std::move(settingsFolder)),
      m_testLimits(testLimits),
      m_loaded(loadMailSettings(mailSettingsPath(m_folder))),
      m_host(new QLineEdit(this)),
      m_port(new QSpinBox(this)),
      m_security(new QComboBox(this)),
      m_user(new QLineEdit(this)),
      m_password(new QLineEdit(this)),
      m_sender(new QLineEdit(this)),
      m_caFile(new QLineEdit(this)),
      m_attachment(new QComboBox(this)),
      m_skipSilent(new QCheckBox(QStringLiteral("無音のメッセージは送らない"), this)),
      m_boxes(new QTableWidget(this)),
      m_test(new QPushButton(QStringLiteral("テスト送信"), this)),
      m_outbox(new MailOutboxView(context, m_folder, this)) {
    setWindowTitle(kCaption);
    setUpFields();
    auto* options = new QFormLayout;
    options->addRow(QStringLiteral("添付ファイル"), m_attachment);
    options->addRow(m_skipSilent);
    // The recipients, and beside them what waits or failed, one mail a row.
    auto* tabs = new QTabWidget(this);
    tabs->addTab(boxGroup(), QStringLiteral("ボックスごとの宛先"));
    const int outboxTab = tabs->addTab(m_outbox, QString());
    auto outboxTitle = [tabs, outboxTab, this] {
        tabs->setTabText(outboxTab,
                         QStringLiteral("送信待ち・失敗したメール (%1)").arg(m_outbox->table()->rowCount()));
    };
    outboxTitle();
    connect(m_outbox, &MailOutboxView::changed, this, outboxTitle);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(serverGroup());
    layout->addWidget(tabs, 1);
    layout->addLayout(options);
    layout->addLayout(buttonRowWithCancel(this, {ok}));
    connect(ok, &QPushButton::clicked, this, &MailSettingsDlg::accept);
    connect(m_test, &QPushButton::clicked, this, &MailSettingsDlg::sendTest);
    fill();
    resize(680, 660);  // room for about six boxes of recipients
}

void MailSettingsDlg::setUpFields() {
    m_port->setRange(1, 65535);
    m_security->addItems({QStringLiteral("STARTTLS"), QStringLiteral("SSL/TLS"), QStringLiteral("なし")});
    m_attachment->addItems({QStringLiteral("MP3"), QStringLiteral("WAV"), QStringLiteral("なし")});
    m_password->setEchoMode(QLineEdit::Password);
    m_caFile->setPlaceholderText(QStringLiteral("空欄: システムの証明書を使う"));
    const std::pair<QWidget*, const char*> names[] = {{m_host, "host"},         {m_port, "port"},
                                                      {m_security, "security"}, {m_user, "user"},
                                                      {m_password, "password"}, {m_sender, "sender"},
                                                      {m_caFile, "caFile"},     {m_attachment, "attachment"},
                                                      {m_boxes, "boxes"}};
    for (const auto& [widget, name] : names) {
        widget->setObjectName(QLatin1String(name));
    }
}

QGroupBox* MailSettingsDlg::serverGroup() {
    auto* server = new QGroupBox(QStringLiteral("メールサーバー"), this);
    auto* serverForm = new QFormLayout(server);
    auto* hostRow = new QHBoxLayout;
    hostRow->addWidget(m_host, 1);
    hostRow->addWidget(new QLabel(QStringLiteral("ポート"), this));
    hostRow->addWidget(m_port);
    serverForm->addRow(QStringLiteral("サーバー名"), hostRow);
    serverForm->addRow(QStringLiteral("暗号化"), m_security);
    serverForm->addRow(QStringLiteral("ユーザー名"), m_user);
    serverForm->addRow(QStringLiteral("パスワード"), m_password);
    serverForm->addRow(QStringLiteral("送信者アドレス"), m_sender);
    // The office's certificate file, typed or chosen.
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile, 1);
    auto* browse = new QPushButton(QStringLiteral("参照..."), this);
    browse->setObjectName(QStringLiteral("browseCaFile"));
    caRow->addWidget(browse);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = m_context.choosers.chooseOpenFile(
            this, QStringLiteral("証明書ファイル"), m_caFile->text(),
            QStringLiteral("証明書 (*.pem *.crt *.cer);;すべてのファイル (*)"));
        if (!chosen.isEmpty()) {
            m_caFile->setText(chosen);
        }
    });
    serverForm->addRow(QStringLiteral("証明書ファイル"), caRow);
    auto* testRow = new QHBoxLayout;
    testRow->addStretch(1);
    testRow->addWidget(m_test);
    serverForm->addRow(testRow);
    return server;
}

QGroupBox* MailSettingsDlg::boxGroup() {
    m_boxes->setColumnCount(4);
    m_boxes->setHorizontalHeaderLabels({QStringLiteral("種別"), QStringLiteral("ボックス"),
                                        QStringLiteral("ボックス名称"),
                                        QStringLiteral("宛先 (複数は「,」で区切る)")});
    m_boxes->verticalHeader()->hide();
    m_boxes->horizontalHeader()->setStretchLastSection(true);
    m_boxes->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* group = new QGroupBox(this);  // its tab names it
    group->setFlat(true);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(m_boxes);
    return group;
}

void MailSettingsDlg::fill() {
    m_host->setText(QString::fromStdString(m_loaded.host));
    m_port->setValue(m_loaded.port);
    m_security->setCurrentIndex(static_cast<int>(m_loaded.security));
    m_user->setText(QString::fromStdString(m_loaded.user));
    m_password->setText(QString::fromStdString(m_loaded.password));
    m_sender->setText(QString::fromStdString(m_loaded.sender));
    m_caFile->setText(pathToQ(m_loaded.caFile));
    m_attachment->setCurrentIndex(static_cast<int>(m_loaded.attachment));
    m_skipSilent->setChecked(m_loaded.skipSilent);

    const std::string folderName = m_context.doc.boxFolderName();
    const std::vector<boxes::BoxNameRow> rows = folderName.empty()
                                                    ? std::vector<boxes::BoxNameRow>{}
                                                    : boxes::boxNameRows(m_context.doc.boxFolderPath());
    m_boxes->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const boxes::BoxNameRow& row = rows[i];
        const std::string key =
            folderName + "/" + std::string(boxes::kindFolder(row.kind)) + "/" + row.folder;
        m_rows.push_back({key});
        const auto n = static_cast<int>(i);
        auto fixed = [](const QString& text) {
            auto* item = new QTableWidgetItem(text);
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            return item;
        };
        m_boxes->setItem(
            n, KindColumn,
            fixed(row.kind == boxes::BoxKind::Answer ? QStringLiteral("留守録") : QStringLiteral("内線")));
        m_boxes->setItem(n, NumberColumn, fixed(QString::fromStdString(row.folder)));
        m_boxes->setItem(n, NameColumn, fixed(toQ(row.name)));
        const auto found = m_loaded.recipients.find(key);
        m_boxes->setItem(
            n, RecipientsColumn,
            new QTableWidgetItem(found == m_loaded.recipients.end() ? QString()
                                                                    : QString::fromStdString(found->second)));
    }
    m_boxes->resizeColumnsToContents();
}

MailSettings MailSettingsDlg::fieldSettings() const {
    MailSettings s = m_loaded;  // boxes of other box folders keep their recipients
    s.host = m_host->text().trimmed().toStdString();
    s.port = m_port->value();
    s.security = static_cast<Security>(m_security->currentIndex());
    s.user = m_user->text().toStdString();
    s.password = m_password->text().toStdString();
    s.sender = m_sender->text().trimmed().toStdString();
    s.caFile = pathFromQ(m_caFile->text().trimmed());
    s.attachment = static_cast<Attachment>(m_attachment->currentIndex());
    s.skipSilent = m_skipSilent->isChecked();
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const QTableWidgetItem* item = m_boxes->item(static_cast<int>(i), RecipientsColumn);
        const std::string text = item ? item->text().trimmed().toStdString() : std::string();
        if (text.empty()) {
            s.recipients.erase(m_rows[i].key);
        } else {
            s.recipients[m_rows[i].key] = text;
        }
    }
    return s;
}

void MailSettingsDlg::accept() {
    const MailSettings s = fieldSettings();
    if (const SettingsProblem problem = checkSettings(s); problem != SettingsProblem::None) {
        m_context.messages.error(this, problemText(problem));
        return;
    }
    // A typo never quietly drops a recipient: the box is shown and nothing is saved.
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const auto found = s.recipients.find(m_rows[i].key);
        bool ok = true;
        if (found != s.recipients.end()) {
            parseRecipients(found->second, ok);
        }
        if (!ok) {
            m_boxes->setCurrentCell(static_cast<int>(i), RecipientsColumn);
            m_context.messages.error(
                this, QStringLiteral("入力値エラーです。\n宛先のメールアドレスを確認してください。"));
            return;
        }
    }
    if (!saveMailSettings(s, mailSettingsPath(m_folder))) {
        m_context.messages.error(this, QStringLiteral("メール転送の設定を保存できませんでした。"));
        return;
    }
    QDialog::accept();
}

void MailSettingsDlg::sendTest() {
    const MailSettings s = fieldSettings();
    if (const SettingsProblem problem = checkSettings(s); problem != SettingsProblem::None) {
        m_context.messages.error(this, problemText(problem));
        return;
    }
    // The send runs beside the window, which stays drawn; every wait in it is bounded.
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::future<SendOutcome> sending = std::async(std::launch::async, [s, limits = m_testLimits] {
        return SmtpSender(s, limits).send(testMail(s, {}, std::time(nullptr)));
    });
    while (sending.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        m_context.pump();
    }
    const SendOutcome outcome = sending.get();
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    QString text = QString::fromUtf8(testSendText(outcome.code));
    if (!outcome.reply.empty()) {
        text += QStringLiteral("\n\nメールサーバーの応答:\n") + QString::fromStdString(outcome.reply);
    }
    m_context.messages.show(
        this, text, kCaption,
        outcome.code == SendCode::Sent ? UserMessages::Icon::Information : UserMessages::Icon::Warning);
}

void MailSettingsDlg::retryFailed() {
    m_outbox->retryFailed();
}

void MailSettingsDlg::discardFailed() {
    m_outbox->discardFailed();
}
