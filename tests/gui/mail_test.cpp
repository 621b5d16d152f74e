#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <atomic>
#include <cstring>
#include <ctime>
#include <thread>

#include "core/base/text.h"
#include "core/mail/mail_ledger.h"
#include "core/mail/mail_run.h"
#include "core/mail/mail_settings.h"
#include "fakes.h"
#include "gui/app/main_frame.h"
#include "gui/app/vox_app.h"
#include "gui/automation/frame_automation.h"
#include "gui/automation/mail_automation.h"
#include "gui/automation/mail_settings_dlg.h"
#include "gui/automation/new_message_notice.h"
#include "support/message_files.h"

namespace {

using namespace voxmg::mail;

namespace {

// A message of box 本社/rusuroku/001 as a pass of the sender leaves it in the ledger.
MailJob putRow(const std::string& root, const std::string& name, JobState state,
               std::time_t nextAttempt = 0) {
    MailJob job;
    job.boxFolder = "本社";
    job.box = "本社/rusuroku/001";
    job.fileName = name;
    job.messagePath = root + "本社/rusuroku/001/" + name;
    job.state = state;
    job.nextAttempt = nextAttempt;
    MailLedger ledger(root);
    ledger.save(job);
    return job;
}

void setTime(const std::string& path, std::time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

}  // namespace

void put(const std::string& path, const std::string& utf8) {
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const std::string bytes = voxmg::text::cp932FromUtf8(utf8);
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// Box folder "本社" with answering-machine box 001 "山田商事" and extension box 201.
void boxFolder(TestContext& t) {
    t.doc.settings().folder = voxmg::text::utf16FromUtf8(t.root());
    t.doc.settings().folderName = u"本社";
    put(t.root() + "本社/rusuroku/001/inf.ini", "[INF]\r\nNAME=\"山田商事\"\r\nMAKE=0\r\n");
    put(t.root() + "本社/naisen/201/inf.ini", "[INF]\r\nNAME=\"\"\r\nMAKE=0\r\n");
}

template <typename T>
T* field(QWidget& dialog, const char* name) {
    return dialog.findChild<T*>(QString::fromLatin1(name));
}

void fillServer(MailSettingsDlg& dialog, const QString& host, int security) {
    field<QLineEdit>(dialog, "host")->setText(host);
    field<QComboBox>(dialog, "security")->setCurrentIndex(security);
    field<QLineEdit>(dialog, "sender")->setText(QStringLiteral("voxmg@example.com"));
}

// A mail server on this machine that refuses every login (535), counting the connections.
class LoginRefusingServer {
public:
    LoginRefusingServer() {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::listen(m_listener, 4) == 0 &&
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            m_port = ntohs(address.sin_port);
        }
        m_thread = std::thread([this] { serve(); });
    }
    ~LoginRefusingServer() {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    int port() const { return m_port; }
    int connections() const { return m_connections; }

private:
    void serve() {
        while (!m_stop) {
            pollfd p{m_listener, POLLIN, 0};
            if (::poll(&p, 1, 50) == 1) {
                const int peer = ::accept(m_listener, nullptr, nullptr);
                if (peer >= 0) {
                    ++m_connections;
                    converse(peer);
                    ::close(peer);
                }
            }
        }
    }
    static void converse(int peer) {
        const auto say = [peer](const char* reply) {
            return ::send(peer, reply, std::strlen(reply), MSG_NOSIGNAL) > 0;
        };
        std::string line;
        say("220 test ESMTP\r\n");
        char c = 0;
        while (::recv(peer, &c, 1, 0) == 1) {
            if (c != '\n') {
                line += c;
                continue;
            }
            const std::string verb = line.substr(0, 4);
            line.clear();
            const char* reply = verb == "EHLO"   ? "250-test\r\n250 AUTH PLAIN LOGIN\r\n"
                                : verb == "AUTH" ? "535 5.7.8 Authentication credentials invalid\r\n"
                                : verb == "QUIT" ? "221 bye\r\n"
                                                 : "503 5.5.1 Bad sequence of commands\r\n";
            if (!say(reply) || verb == "QUIT") {
                return;
            }
        }
    }

    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};

}  // namespace

class MailTest : public QObject {
    Q_OBJECT
private slots:
    void fieldsRoundTripThroughTheFile() {
        TestContext t;
        boxFolder(t);
        const std::string path = mailSettingsPath(t.root());
        MailSettings before;
        before.recipients["支店/rusuroku/001"] = "branch@example.com";  // another box folder's box
        QVERIFY(saveMailSettings(before, path));
        {
            MailSettingsDlg dialog(t.context, t.root());
            auto* boxes = field<QTableWidget>(dialog, "boxes");
            QCOMPARE(boxes->rowCount(), 2);
            QCOMPARE(boxes->item(0, 0)->text(), QStringLiteral("留守録"));
            QCOMPARE(boxes->item(0, 2)->text(), QStringLiteral("山田商事"));
            QCOMPARE(boxes->item(1, 0)->text(), QStringLiteral("内線"));
            fillServer(dialog, QStringLiteral(" mail.example.com "), 1);
            field<QSpinBox>(dialog, "port")->setValue(465);
            field<QLineEdit>(dialog, "user")->setText(QStringLiteral("office"));
            field<QLineEdit>(dialog, "password")->setText(QStringLiteral("p@ss word"));
            t.choosers.file = QStringLiteral("/etc/office-ca.pem");  // chosen with 参照...
            field<QPushButton>(dialog, "browseCaFile")->click();
            field<QComboBox>(dialog, "attachment")->setCurrentIndex(1);
            boxes->item(0, 3)->setText(QStringLiteral("a@example.com, b@example.com"));
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QVERIFY(t.messages.shown.empty());
        }
        const MailSettings saved = loadMailSettings(path);
        QCOMPARE(saved.host, std::string("mail.example.com"));
        QCOMPARE(saved.port, 465);
        QVERIFY(saved.security == Security::Tls);
        QCOMPARE(saved.user, std::string("office"));
        QCOMPARE(saved.password, std::string("p@ss word"));
        QCOMPARE(saved.sender, std::string("voxmg@example.com"));
        QCOMPARE(saved.caFile, std::string("/etc/office-ca.pem"));
        QVERIFY(saved.attachment == Attachment::Wav);
        const std::map<std::string, std::string> recipients{
            {"本社/rusuroku/001", "a@example.com, b@example.com"},
            {"支店/rusuroku/001", "branch@example.com"}};
        QVERIFY(saved.recipients == recipients);
        struct stat st {};
        QCOMPARE(::stat(path.c_str(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0600);  // it holds the password

        // Opened again, the dialog shows what was saved.
        MailSettingsDlg again(t.context, t.root());
        QCOMPARE(field<QLineEdit>(again, "host")->text(), QStringLiteral("mail.example.com"));
        QCOMPARE(field<QComboBox>(again, "security")->currentText(), QStringLiteral("SSL/TLS"));
        QCOMPARE(field<QComboBox>(again, "attachment")->currentText(), QStringLiteral("WAV"));
        QCOMPARE(field<QTableWidget>(again, "boxes")->item(0, 3)->text(),
                 QStringLiteral("a@example.com, b@example.com"));
        QCOMPARE(field<QTableWidget>(again, "boxes")->item(1, 3)->text(), QString());
    }

    void settingsThatCannotWorkAreRefused_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("security");
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QString>("refusal");  // empty: saved
        QTest::newRow("no encryption to a remote server")
            << "mail.example.com" << 2 << ""
            << "入力値エラーです。\n暗号化「なし」は、このコンピューター上のメールサーバーにだけ使えます。";
        QTest::newRow("no encryption on this machine") << "localhost" << 2 << ""
                                                       << "";
        QTest::newRow("no server") << "" << 0 << ""
                                   << "入力値エラーです。\nメールサーバーを入力してください。";
        QTest::newRow("a typo in a recipient")
            << "mail.example.com" << 0 << "a@example.com, b at example.com"
            << "入力値エラーです。\n宛先のメールアドレスを確認してください。";
    }
    void settingsThatCannotWorkAreRefused() {
        QFETCH(QString, host);
        QFETCH(int, security);
        QFETCH(QString, recipients);
        QFETCH(QString, refusal);
        TestContext t;
        boxFolder(t);
        MailSettingsDlg dialog(t.context, t.root());
        fillServer(dialog, host, security);
        field<QTableWidget>(dialog, "boxes")->item(1, 3)->setText(recipients);
        dialog.accept();
        const bool saved = QFileInfo::exists(QString::fromStdString(mailSettingsPath(t.root())));
        if (refusal.isEmpty()) {
            QVERIFY(t.messages.shown.empty());
            QVERIFY(saved);
        } else {
            QCOMPARE(t.messages.lastText(), refusal);
            QCOMPARE(t.messages.shown.back().caption, QStringLiteral("エラー"));
            QVERIFY(dialog.result() != int(QDialog::Accepted));
            QVERIFY(!saved);
        }
    }

    // The test button tells what the server said, or that it could not be reached, within the
    // test's time limit.
    void theTestMailShowsWhyItDidNotGo() {
        TestContext t;
        boxFolder(t);
        MailSettingsDlg dialog(t.context, t.root(), nullptr, {2, 4});
        fillServer(dialog, QStringLiteral("127.0.0.1"), 2);
        field<QSpinBox>(dialog, "port")->setValue(1);  // nobody listens there
        dialog.sendTest();
        QCOMPARE(t.messages.shown.size(), std::size_t(1));
        QVERIFY2(t.messages.lastText().startsWith(QStringLiteral(
                     "テストメールをメールサーバーに送れませんでした。\n\nメールサーバーの応答:\n")),
                 qPrintable(t.messages.lastText()));
        QCOMPARE(t.messages.shown.back().caption, QStringLiteral("メール転送の設定"));
        QVERIFY(t.messages.shown.back().icon == UserMessages::Icon::Warning);
        QVERIFY(dialog.isEnabled());
        QVERIFY(
            !QFileInfo::exists(QString::fromStdString(mailSettingsPath(t.root()))));  // a test saves nothing

        // Settings that cannot work are not tried at all.
        field<QLineEdit>(dialog, "host")->setText(QStringLiteral("mail.example.com"));
        dialog.sendTest();
        QVERIFY(t.messages.lastText().startsWith(QStringLiteral("入力値エラーです。")));
    }

    // The status bar counts what waits; a mail that cannot go is told once, and the dialog puts
    // it back into the outbox.
    void theWindowShowsTheOutboxAndTellsAFailureOnce() {
        TestContext t;
        SessionLog log;
        MailSettings s;
        s.host = "127.0.0.1";
        s.port = 1;
        s.sender = "voxmg@example.com";
        s.recipients["本社/rusuroku/001"] = "a@example.com";
        QVERIFY(saveMailSettings(s, mailSettingsPath(t.root())));
        // A list with a typo: its two messages fail at once, for good, told in one notice.
        s.recipients["本社/rusuroku/002"] = "a@example.com; b@example.com";
        QVERIFY(saveMailSettings(s, mailSettingsPath(t.root())));
        // The boxes' mail began before the messages came, in the order of their times.
        MailLedger ledger(t.root());
        const std::time_t now = std::time(nullptr);
        setTime(voxmg::test::writeBoxMessage(t.root() + "本社", "rusuroku", "002", 1), now + 1);
        setTime(voxmg::test::writeBoxMessage(t.root() + "本社", "rusuroku", "002", 2), now + 2);
        // One goes to a server that is not there, last: it waits, and the status bar says why.
        setTime(voxmg::test::writeBoxMessage(t.root() + "本社", "rusuroku", "001", 1), now + 3);
        // Another one waits for its next try.
        const std::string later = voxmg::test::writeBoxMessage(t.root() + "本社", "rusuroku", "001", 2);
        QCOMPARE(enqueueMessage(ledger, s, later, now), EnqueueOutcome::Queued);
        MailJob pending = ledger.jobs().front();
        pending.nextAttempt = now + 3600;
        QVERIFY(ledger.save(pending));

        CVOXMGApp app(scriptedAppOptions(t, log));
        QVERIFY(app.start());
        QSignalSpy notices(&app.automation()->notice(), &NewMessageNotice::announced);
        QTRY_COMPARE(app.mail()->statusText(), QStringLiteral("メール送信待ち 2  メール送信失敗 2"));
        QVERIFY2(
            app.mail()->statusToolTip().startsWith(QStringLiteral(
                "メールサーバーに送れませんでした。後で送り直します。\n理由: 接続できませんでした\n詳細: ")),
            qPrintable(app.mail()->statusToolTip()));
        // Told as a desktop notice and in the tool tip; no box takes the keyboard.
        QTRY_COMPARE(notices.size(), 1);
        QCOMPARE(notices.front().at(0).toString(), QStringLiteral("メール転送"));
        QVERIFY2(notices.front().at(1).toString().startsWith(QStringLiteral(
                     "メールを送れませんでした。\n202612061300_SUN_002_00001.vmdat ほか 1 件\n")),
                 qPrintable(notices.front().at(1).toString()));
        QVERIFY(app.mail()->statusToolTip().contains(QStringLiteral("メールを送れませんでした。")));
        QVERIFY(t.messages.shown.empty());

        QSignalSpy passes(app.mail(), &MailAutomation::reported);
        app.mail()->wake();  // another pass: the failure is not told again
        QTRY_VERIFY(!passes.isEmpty());
        QCOMPARE(notices.size(), 1);

        MailSettingsDlg dialog(app.context(), t.root());
        dialog.retryFailed();
        int waiting = 0;
        for (const MailJob& job : ledger.jobs()) {
            waiting += job.state == JobState::Waiting ? 1 : 0;
        }
        QCOMPARE(waiting, 4);
        app.frame()->exitSequence();  // the sender stops with the program
    }
    // Mails that failed for good can be given up after a question; a waiting one stays.
    void failedMailsCanBeGivenUp() {
        TestContext t;
        MailLedger ledger(t.root());
        for (const char* name : {"a", "b", "c"}) {
            putRow(t.root(), std::string(name) + ".vmdat",
                   std::string(name) == "c" ? JobState::Waiting : JobState::Failed);
        }
        MailSettingsDlg dialog(t.context, t.root());
        QPushButton* discard = nullptr;
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            discard = button->text() == QStringLiteral("送らずに消す") ? button : discard;
        }
        QVERIFY(discard != nullptr);
        QVERIFY(discard->isEnabled());
        // Each waiting or failed mail is a row of its own, with its state and box.
        auto* list = field<QTableWidget>(dialog, "outbox");
        QCOMPARE(list->rowCount(), 3);
        QStringList states;
        for (int row = 0; row < list->rowCount(); ++row) {
            states << list->item(row, 0)->text();
            QCOMPARE(list->item(row, 1)->text(), QStringLiteral("本社/rusuroku/001"));
        }
        states.sort();
        QCOMPARE(states, QStringList({QStringLiteral("送信失敗"), QStringLiteral("送信失敗"),
                                      QStringLiteral("送信待ち")}));

        t.messages.answers = {false, true};
        discard->click();
        QCOMPARE(ledger.jobs().size(), std::size_t(3));
        QCOMPARE(t.messages.lastText(),
                 QStringLiteral("送信できなかったメール 2 件を送らずに消します。よろしいですか？"));
        discard->click();
        const std::vector<MailJob> left = ledger.jobs();
        QCOMPARE(left.size(), std::size_t(1));
        QVERIFY(left.front().state == JobState::Waiting);
        QVERIFY(!discard->isEnabled());
        QCOMPARE(list->rowCount(), 1);
    }

    // もう一度送る acts on the failed mails selected in the list, and on all when none is.
    void aSelectedFailedMailIsSentAgainAlone() {
        TestContext t;
        MailLedger ledger(t.root());
        for (const char* name : {"a", "b"}) {
            MailJob job = putRow(t.root(), std::string(name) + ".vmdat", JobState::Failed);
            job.reason = "メールサーバーが受け付けませんでした";
            job.lastReply = "550 5.1.1 rejected";
            QVERIFY(ledger.save(job));
        }
        MailSettingsDlg dialog(t.context, t.root());
        auto* list = field<QTableWidget>(dialog, "outbox");
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->item(0, 5)->text(), QStringLiteral("メールサーバーが受け付けませんでした"));
        QCOMPARE(list->item(0, 5)->toolTip(), QStringLiteral("550 5.1.1 rejected"));
        list->selectRow(1);
        dialog.retryFailed();
        int waiting = 0;
        for (const MailJob& job : ledger.jobs()) {
            waiting += job.state == JobState::Waiting ? 1 : 0;
        }
        QCOMPARE(waiting, 1);
        list->clearSelection();
        dialog.retryFailed();
        for (const MailJob& job : ledger.jobs()) {
            QVERIFY(job.state == JobState::Waiting);
        }
    }

    // A login the server refuses is told once; passes that do not reach the server, and the
    // next refusal of the same kind, say nothing more.
    void aRefusedLoginIsToldOnce() {
        TestContext t;
        SessionLog log;
        LoginRefusingServer server;
        QVERIFY(server.port() != 0);
        MailSettings s;
        s.host = "127.0.0.1";
        s.port = server.port();
        s.security = Security::None;
        s.user = "office";
        s.password = "wrong";
        s.sender = "voxmg@example.com";
        s.recipients["本社/rusuroku/001"] = "a@example.com";
        QVERIFY(saveMailSettings(s, mailSettingsPath(t.root())));
        MailLedger ledger(t.root());
        const std::string message = voxmg::test::writeBoxMessage(t.root() + "本社", "rusuroku", "001", 1);
        QCOMPARE(enqueueMessage(ledger, s, message, std::time(nullptr)), EnqueueOutcome::Queued);

        CVOXMGApp app(scriptedAppOptions(t, log));
        QVERIFY(app.start());
        QSignalSpy notices(&app.automation()->notice(), &NewMessageNotice::announced);
        QTRY_COMPARE(notices.size(), 1);
        QVERIFY2(notices.front().at(1).toString().startsWith(
                     QStringLiteral("メールサーバーがユーザー名またはパスワードを受け付けませんでした。\n\n"
                                    "メールサーバーの応答:\n535")),
                 qPrintable(notices.front().at(1).toString()));
        QVERIFY(t.messages.shown.empty());
        QCOMPARE(app.mail()->statusText(), QStringLiteral("メール送信待ち 1"));

        QSignalSpy passes(app.mail(), &MailAutomation::reported);
        app.mail()->wake();  // nothing is due: this pass does not reach the server
        QTRY_VERIFY(!passes.isEmpty());
        MailJob job = ledger.jobs().front();
        QCOMPARE(server.connections(), 1);
        job.nextAttempt = std::time(nullptr);
        QVERIFY(ledger.save(job));
        passes.clear();
        app.mail()->wake();  // refused again: no second notice
        QTRY_VERIFY(!passes.isEmpty());
        QCOMPARE(server.connections(), 2);
        QCOMPARE(notices.size(), 1);
        app.frame()->exitSequence();
    }
};

VOXMG_GUI_TEST_MAIN(MailTest)
#include "mail_test.moc"
