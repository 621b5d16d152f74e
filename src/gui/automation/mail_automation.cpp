#include "gui/automation/mail_automation.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <filesystem>

#include "core/mail/mail_run.h"
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

std::optional<std::time_t> MailAutomation::pass() {
    const std::string folder = Outbox::folderIn(m_folder);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        return std::nullopt;  // mail never set up: not even the outbox folder is made
    }
    const Outbox outbox(folder);
    PassSummary summary;
    {
        // A timer's voxmgctl mail-send may hold the outbox: its pass sends what is due.
        OutboxLock lock(outbox.folder());
        const MailSettings settings = loadMailSettings(mailSettingsPath(m_folder));
        if (lock.held() && !settings.host.empty() && !m_stopping) {
            SmtpSender sender(settings, m_limits);
            SendPass run{
                &sender, m_gain.load(), std::time(nullptr), false, {}, [this] { return m_stopping.load(); }};
            summary = sendDue(outbox, settings, run);
        }
    }
    const std::vector<MailJob> jobs = outbox.jobs();
    QMetaObject::invokeMethod(
        this,
        [this, counts = countJobs(jobs), failed = std::move(summary.failedNow)] { report(counts, failed); },
        Qt::QueuedConnection);
    return nextDue(jobs);
}

void MailAutomation::report(OutboxCounts counts, const std::vector<MailJob>& failedNow) {
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
        m_label->setText(text);
        m_label->setVisible(!text.isEmpty());
    }
    // A refusal for good is told once, when it happens; the job stays in the outbox, where the
    // settings dialog sends it again.
    for (const MailJob& job : failedNow) {
        const QString text =
            QStringLiteral("メールを送れませんでした。\n%1\n\nメールサーバーの応答:\n%2")
                .arg(QString::fromStdString(std::filesystem::path(job.messagePath).filename().string()),
                     QString::fromStdString(job.lastReply));
        m_frame.context().messages.show(m_frame.frameWindow(), text, QStringLiteral("メール転送"),
                                        UserMessages::Icon::Warning);
    }
}
