#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/mail/mail_ledger.h"
#include "core/mail/mail_outbox.h"
#include "core/mail/mail_settings.h"
#include "core/mail/mail_text.h"
#include "core/mail/smtp_sender.h"

// The mail feature's operations over the ledger: a message put in by hand, and one pass of the
// sender over what is due.
namespace voxmg::mail {

enum class EnqueueOutcome : int {
    Queued = 0,
    AlreadyQueued = 1,
    NoRecipients = 2,  // the message's box has no one to send to
    NotAMessage = 3,   // not a complete voice file of a box
    WriteFailed = 4,
};

// Mails a message (again) at the next pass, whatever became of it before; its data folder is
// noted, so the pass finds it there.
EnqueueOutcome enqueueMessage(MailLedger& ledger, const MailSettings& settings, const std::string& voicePath,
                              std::time_t now);

// What a message file's record says, for the mail; nothing when it has no valid record.
std::optional<MessageFacts> readMessageFacts(const std::string& voicePath);

// The pause before the next try after `attempts` failed ones: one minute, doubling, at most
// 30 minutes.
std::time_t retryPause(int attempts);

struct SendPass {
    SmtpSender* sender = nullptr;
    int gainSetting = 0;  // LEVELRVORWAV, as the WAV conversion decodes
    std::time_t now = 0;
    bool ignorePause = false;  // an explicit run sends what waits, paused or not
    // Called before each mail goes to the server and after its job is settled (tests, progress).
    std::function<void(const MailJob&)> onJob;
    // True when the program is closing: the jobs not yet tried wait for the next run.
    std::function<bool()> stopRequested;
    // Jobs an earlier pass of this run sent but could not remove: never sent twice in one run.
    const std::set<std::string>* alreadySent = nullptr;
};

struct PassSummary {
    int sent = 0;
    int waiting = 0;                          // still waiting after the pass
    int postponed = 0;                        // tried in this pass, to be tried again later
    std::vector<MailJob> failedNow;           // refused for good in this pass: told once, here
    std::optional<SendOutcome> connection;    // the server could not be used at all
    std::vector<std::string> sentNotRemoved;  // the server took them, their job files stay
    bool unsaved = false;                     // a job's new state could not be written: its old one stands
    int found = 0;                            // messages met for the first time, due
    std::optional<std::time_t> nextAttempt;   // when the earliest mail still waiting is due
    // The mail settings cannot be used (unreadable, no server, no sender, no box with
    // recipients): no job was tried, every one waits for settings that work.
    bool settingsUnusable = false;
    // The ledger cannot be used (damaged, unreadable): nothing was looked at or sent.
    std::optional<MailLedger::Status> ledgerProblem;
    std::string ledgerPath;
    std::string ledgerError;
    std::vector<std::string> unreadableJobFiles;  // job files of an earlier version, set aside now
    // What the outbox shows after the pass (waiting, failed, held back): the window's count
    // without a second look at the boxes.
    std::optional<std::vector<MailJob>> outbox;
};

// Sends each of `waiting` that is due, once. When the server cannot be reached or refuses the
// login or certificate, the rest of the due jobs get the same pause without a try each.
// Nothing here waits longer than the sender's limits.
PassSummary sendDue(MailLedger& ledger, const Outbox& outbox, const MailSettings& settings,
                    const std::vector<MailJob>& waiting, const SendPass& pass);

// One whole pass over the mail of `settingsFolder`: the ledger opened (job files of an earlier
// version moved into it), the boxes looked at, what is due sent. The caller holds the sender's
// lock.
PassSummary mailPass(const std::string& settingsFolder, const MailSettings& settings, const SendPass& pass);

// What the outbox shows: the waiting (new ones found by a look at the boxes), failed and
// held-back mails. `problem` tells a ledger that cannot be used.
struct OutboxListing {
    std::vector<MailJob> jobs;
    std::optional<MailLedger::Status> problem;
    std::string ledgerPath;
    std::string error;
};
OutboxListing listOutbox(const std::string& settingsFolder, std::time_t now);

// The mail of one job, or the reason it cannot be made (the file is gone, the box has no
// recipients): a local failure that retrying does not mend.
struct BuiltJob {
    std::optional<OutgoingMail> mail;
    SilenceMark silence = SilenceMark::Unknown;
    std::string problem;
};
BuiltJob buildJobMail(const MailJob& job, const MailSettings& settings, int gainSetting, std::time_t now);

// A short mail to try the settings with, to `to` (the sender when empty).
OutgoingMail testMail(const MailSettings& settings, const std::string& to, std::time_t now);

// The mark of a message for the list and the player: no speech in its voice.
SilenceMark measureSilence(const std::string& voicePath, int gainSetting);

}  // namespace voxmg::mail
