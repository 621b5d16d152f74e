#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/mail/mail_hook.h"
#include "core/mail/mail_outbox.h"
#include "core/mail/mail_run.h"
#include "core/mail/mail_worker.h"
#include "core/mail/smtp_sender.h"

class FrameHost;
class QLabel;

// The mail of new messages in the window: the sender thread over the outbox, the status bar's
// "メール送信待ち N", the one-time notice of a mail the server refused for good (in the status
// bar's tool tip and a desktop notice, never a box that would take the keyboard in the middle
// of work on a list), and the settings menu item. The sender never touches the main unit's
// connection.
class MailAutomation : public QObject {
    Q_OBJECT
public:
    // `settingsFolder` holds the mail settings and the outbox. `limits`: how long one mail may
    // take; the exit waits for at most the mail under way.
    MailAutomation(FrameHost& frame, std::string settingsFolder, voxmg::mail::SendLimits limits = {10, 60});
    ~MailAutomation() override;

    // Plugs the menu item and the exit hook in and starts the sender.
    void install();
    // Stops the sender: the mail under way is broken off (within a second), the rest waits.
    void stop();
    // What the downloads call for each message they stored (from any thread).
    void messageStored(const std::string& voicePath) { m_hook(voicePath); }
    // Sends what waits now (a job put back by hand, new settings).
    void wake();

    const std::string& settingsFolder() const { return m_folder; }
    // The status bar text as shown (tests).
    QString statusText() const;
    // Why mail waits, when a server could not be used (tests).
    QString statusToolTip() const;

signals:
    // A mail refused for good, or a server that refuses the login or its certificate: told once,
    // for a desktop notice (title, text).
    void noticed(const QString& title, const QString& text);
    // A pass of the sender has ended and the status line tells its outcome.
    void reported();

private:
    std::optional<std::time_t> pass();
    void report(voxmg::mail::OutboxCounts counts, const voxmg::mail::PassSummary& summary);
    void tellRefusals(const std::vector<voxmg::mail::MailJob>& failedNow);
    void tellConnection(const std::optional<voxmg::mail::SendOutcome>& connection, bool cleared);
    void tell(const QString& text);

    FrameHost& m_frame;
    std::string m_folder;
    voxmg::mail::SendLimits m_limits;
    voxmg::mail::StoredMessageHook m_hook;
    QLabel* m_label = nullptr;
    std::atomic<int> m_gain{0};
    std::atomic<bool> m_stopping{false};
    std::set<std::string> m_sentNotRemoved;                 // the sender thread's own
    std::optional<voxmg::mail::SendCode> m_toldConnection;  // the window's: told once until it goes
    QString m_lastNotice;                                   // the last refusal told, for the tool tip

    std::mutex m_workerMutex;
    std::unique_ptr<voxmg::mail::MailWorker> m_worker;  // last: its thread uses the members above
};
