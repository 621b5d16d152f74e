#include "gui/automation/mail_automation.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <filesystem>

#include "core/mail/mail_run.h"
#include "core/mail/send_texts.h"
#include "gui/automation/mail_settings_dlg.h"
#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"
#include "gui/base/user_messages.h"

using namespace voxmg::mail;

MailAutomation::MailAutomation(FrameHost& frame, std::string settingsFolder, SendLimits limits)
    : m_frame(frame),
      m_folder(std::move(settingsFolder)),
      m_limits(limits),
      m_hook(outboxHook(m_folder, [this] { wake(); })) {
    if (auto* window = qobject_cast<QMainWindow*>(frame.frameWindow())) {
        m_label = new QLabel(window);
        window->statusBar()->addPermanentWidget(m_label);
        m_label->hide();  // nothing to say while nothing waits
    }
}

MailAutomation::~MailAutomation() {
    stop();
}

void MailAutomation::install() {
    m_frame.setCommand(Command::MailSettings, {[this] {
                           MailSettingsDlg dialog(m_frame.context(), m_folder, m_frame.frameWindow());
                           dialog.exec();
                           wake();  // new settings or mails put back: what waits may go now
                       }});
    m_frame.context().automation.stopMail = [this] { stop(); };
    m_gain = m_frame.context().doc.settings().levelOrWav;
    std::lock_guard lock(m_workerMutex);
    m_worker = std::make_unique<MailWorker>([this] { return pass(); });
}

void MailAutomation::stop() {
    m_stopping = true;
    std::lock_guard lock(m_workerMutex);
    m_worker.reset();
}

void MailAutomation::wake() {
    std::lock_guard lock(m_workerMutex);
    if (m_worker) {
        m_worker->wake();
    }
}

QString MailAutomation::statusText() const {
    return m_label && !m_label->isHidden() ? m_label->text() : QString();
}

QString MailAutomation::statusToolTip() const {
    return m_label ? m_label->toolTip() : QString();
}

std::optional<std::time_t> MailAutomation::pass() {
    const MailSettings settings = loadMailSettings(mailSettingsPath(m_folder));
    const std::time_t now = std::time(nullptr);
    const bool set = !settings.host.empty();
    if (settings.recipients.empty() && !std::filesystem::exists(MailLedger::pathIn(m_folder))) {
        return std::nullopt;  // mail never set up: not even the ledger is made
    }
    PassSummary summary;
    bool sending = false;
    {
        // A timer's voxmgctl mail-send may hold the outbox: its pass sends what is due.
        const Outbox outbox(Outbox::folderIn(m_folder));
        OutboxLock lock(outbox.folder());
        sending = lock.held() && set && !m_stopping;
        if (sending) {
            SmtpSender sender(settings, m_limits, &m_stopping);
            SendPass run{
                &sender,          m_gain.load(), now, false, {}, [this] { return m_stopping.load(); },
                &m_sentNotRemoved};
            summary = mailPass(m_folder, settings, run);
            m_sentNotRemoved.insert(summary.sentNotRemoved.begin(), summary.sentNotRemoved.end());
        }
    }
    // The pass's own view of the outbox when it ran; a look of its own otherwise.
    OutboxListing listing;
    if (summary.outbox) {
        listing.jobs = std::move(*summary.outbox);
    } else {
        listing = listOutbox(m_folder, now);
    }
    if (listing.problem && !summary.ledgerProblem) {
        summary.ledgerProblem = listing.problem;
        summary.ledgerPath = listing.ledgerPath;
        summary.ledgerError = listing.error;
    }
    std::vector<MailJob>& jobs = listing.jobs;
    std::erase_if(jobs, [this](const MailJob& j) { return m_sentNotRemoved.count(j.id) != 0; });
    QMetaObject::invokeMethod(
        this, [this, counts = countJobs(jobs), summary = std::move(summary)] { report(counts, summary); },
        Qt::QueuedConnection);
    if (!set) {
        return std::nullopt;  // the settings dialog wakes the sender once a server is set
    }
    // Held by a timer's run, or a mail's new state could not be written (a full disk): look
    // again in a while rather than at the old, past times.
    // Settings that cannot be used: nothing was tried; the dialog wakes the sender on a change.
    if (!sending || summary.unsaved || summary.settingsUnusable || summary.ledgerProblem) {
        return now + (sending ? 60 : 30);
    }
    return summary.nextAttempt;
}

void MailAutomation::report(OutboxCounts counts, const PassSummary& summary) {
    if (m_stopping) {
        return;  // the window closes: no notice for a mail broken off on the way out
    }
    m_gain = m_frame.context().doc.settings().levelOrWav;
    if (m_label) {
        QString text;
        if (counts.waiting > 0) {
            text = QStringLiteral("メール送信待ち %1").arg(counts.waiting);
        }
        if (counts.failed > 0) {
            text += (text.isEmpty() ? QString() : QStringLiteral("  ")) +
                    QStringLiteral("メール送信失敗 %1").arg(counts.failed);
        }
        if (summary.ledgerProblem) {
            text = QStringLiteral("メール送信記録エラー");
        }
        m_label->setText(text);
        m_label->setVisible(!text.isEmpty());
        // Why mail waits, for whoever points at it: the last word of a server that could not
        // be used, until a mail goes or nothing waits any more.
        if (summary.ledgerProblem) {
            m_label->setToolTip(QStringLiteral("メールの送信記録を読み込めません。\n%1\n%2")
                                    .arg(QString::fromStdString(summary.ledgerPath),
                                         QString::fromStdString(summary.ledgerError)));
        } else if (summary.sent > 0 || counts.waiting == 0) {
            m_label->setToolTip({});
        } else if (summary.settingsUnusable) {
            m_label->setToolTip(QStringLiteral("メール転送の設定が正しくありません。\n%1")
                                    .arg(QString::fromStdString(mailSettingsPath(m_folder))));
        } else if (summary.connection) {
            m_label->setToolTip(QStringLiteral("%1\n理由: %2\n詳細: %3")
                                    .arg(QString::fromUtf8(sendCodeText(summary.connection->code)),
                                         QString::fromStdString(summary.connection->reason),
                                         QString::fromStdString(summary.connection->reply)));
        }
    }
    tellRefusals(summary.failedNow);
    tellConnection(summary.connection, summary.sent > 0 || counts.waiting == 0);
    // The last refusal stays in the tool tip while failed mails are there.
    if (m_label && counts.failed > 0 && !m_lastNotice.isEmpty() &&
        !m_label->toolTip().contains(m_lastNotice)) {
        const QString tip = m_label->toolTip();
        m_label->setToolTip(tip.isEmpty() ? m_lastNotice : tip + QStringLiteral("\n\n") + m_lastNotice);
    }
    emit reported();
}

// A refusal for good is told once, when it happens, in one notice however many mails it
// struck; the jobs stay in the outbox, where the settings dialog sends them again.
void MailAutomation::tellRefusals(const std::vector<MailJob>& failedNow) {
    if (failedNow.empty()) {
        return;
    }
    const MailJob& first = failedNow.front();
    const QString name = QString::fromStdString(std::filesystem::path(first.messagePath).filename().string());
    const QString what =
        failedNow.size() == 1 ? name : QStringLiteral("%1 ほか %2 件").arg(name).arg(failedNow.size() - 1);
    const QString text =
        QStringLiteral("メールを送れませんでした。\n%1\n理由: %2\n\nメールサーバーの応答:\n%3")
            .arg(what, QString::fromStdString(first.reason), QString::fromStdString(first.lastReply));
    tell(text);
}

// As a desktop notice, and in the status bar's tool tip while failed mails are there.
void MailAutomation::tell(const QString& text) {
    m_lastNotice = text;
    emit noticed(QStringLiteral("メール転送"), text);
}

// A server that refuses the login, its certificate or encryption stops all mail until the
// settings change: told once, and again only after a mail went, nothing waits any more or the
// trouble changed. A pass that did not reach the server (nothing due, the outbox held by a
// timer's run) changes nothing. A server out of reach is no news (the status bar shows what
// waits).
void MailAutomation::tellConnection(const std::optional<SendOutcome>& connection, bool cleared) {
    if (cleared) {
        m_toldConnection.reset();
        return;
    }
    if (!connection || connection->code == SendCode::Temporary || m_toldConnection == connection->code) {
        return;
    }
    m_toldConnection = connection->code;
    tell(QStringLiteral("%1\n\nメールサーバーの応答:\n%2")
             .arg(QString::fromUtf8(sendCodeText(connection->code)),
                  QString::fromStdString(connection->reply)));
}
