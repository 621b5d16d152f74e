#include "core/mail/mail_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/mail/mail_audio.h"
#include "core/mail/mail_due.h"
#include "core/store/data_lock.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"
#include "core/store/filests_info.h"

namespace voxmg::mail {
namespace {

constexpr std::time_t kFirstPause = 60;
constexpr std::time_t kLongestPause = 30 * 60;

std::string kindOf(const std::string& box) {
    const std::size_t first = box.find('/');
    const std::size_t second = box.find('/', first + 1);
    return first == std::string::npos || second == std::string::npos
               ? std::string()
               : box.substr(first + 1, second - first - 1);
}

// The box's recipients; `typed` tells whether anything was entered for the box at all, so a
// list spoilt by a typo is told apart from a box nobody gets mail for.
std::vector<std::string> recipientsOf(const MailSettings& settings, const std::string& box, bool& typed) {
    const auto it = settings.recipients.find(box);
    typed = it != settings.recipients.end() && it->second.find_first_not_of(" \t,") != std::string::npos;
    if (!typed) {
        return {};
    }
    bool ok = false;
    auto list = parseRecipients(it->second, ok);
    return ok ? list : std::vector<std::string>{};
}

void attach(OutgoingMail& mail, const MailSettings& settings, std::span<const std::int16_t> samples,
            const std::string& fileName) {
    const std::string base = naming::baseName(fileName);
    if (settings.attachment == Attachment::Mp3) {
        if (auto mp3 = encodeMp3(samples)) {
            mail.attachment = std::move(*mp3);
            mail.attachmentName = base + ".mp3";
            mail.attachmentType = "audio/mpeg";
            return;
        }
        // Without the MP3 encoder the recording still goes, as WAV.
    }
    if (settings.attachment != Attachment::None) {
        mail.attachment = wavFileBytes(samples);
        mail.attachmentName = base + ".wav";
        mail.attachmentType = "audio/wav";
    }
}

void settle(MailLedger& ledger, MailJob& job, const SendOutcome& outcome, std::time_t now,
            PassSummary& summary) {
    job.lastReply = outcome.reply;
    job.reason = outcome.reason;
    if (outcome.code == SendCode::Permanent) {
        job.state = JobState::Failed;
        summary.failedNow.push_back(job);
    } else {
        ++job.attempts;
        job.nextAttempt = now + retryPause(job.attempts);
        ++summary.postponed;
    }
    summary.unsaved |= !ledger.save(job);
}

void failLocally(MailLedger& ledger, MailJob& job, const std::string& problem, PassSummary& summary) {
    job.state = JobState::Failed;
    job.lastReply = problem;
    job.reason = problem;
    summary.unsaved |= !ledger.save(job);
    summary.failedNow.push_back(job);
}

bool isConnectionTrouble(const SendOutcome& o) {
    return o.code == SendCode::CertificateRefused || o.code == SendCode::LoginRefused ||
           o.code == SendCode::NoTls || o.code == SendCode::BadSettings ||
           (o.code == SendCode::Temporary && o.replyCode == 0);
}

// One due job: built, perhaps held back as silent, sent, settled. `now` is the time after the
// send, so a pause counts from the failure even when earlier sends of the pass took minutes.
struct PassPlace {
    MailLedger& ledger;
    const Outbox& outbox;
};

void sendOne(PassPlace place, const MailSettings& settings, const SendPass& pass, MailJob& job,
             PassSummary& summary, const std::function<std::time_t()>& now) {
    MailLedger& ledger = place.ledger;
    BuiltJob built = buildJobMail(job, settings, pass.gainSetting, pass.now);
    job.silence = built.silence;
    if (built.silence == SilenceMark::Silent) {
        place.outbox.markSilent(silentMarkKey(job.messagePath));
    }
    if (!built.mail) {
        failLocally(ledger, job, built.problem, summary);
        return;
    }
    if (built.silence == SilenceMark::Silent && settings.skipSilent && !job.sendAnyway) {
        job.state = JobState::Silent;
        summary.unsaved |= !ledger.save(job);
        return;
    }
    const SendOutcome outcome = pass.sender->send(*built.mail);
    if (outcome.code == SendCode::Sent) {
        // The server has the whole mail: a kill before this note sends it once more, with the
        // same Message-ID. A note that fails (a full disk) is kept in mind instead.
        job.state = JobState::Sent;
        job.sent = now();
        job.lastReply = outcome.reply;
        job.reason.clear();
        if (!ledger.save(job)) {
            summary.sentNotRemoved.push_back(job.id);
        }
        ++summary.sent;
        return;
    }
    settle(ledger, job, outcome, now(), summary);
    if (isConnectionTrouble(outcome)) {
        summary.connection = outcome;
    }
}

}  // namespace

std::time_t retryPause(int attempts) {
    std::time_t pause = kFirstPause;
    for (int i = 1; i < attempts && pause < kLongestPause; ++i) {
        pause *= 2;
    }
    return pause < kLongestPause ? pause : kLongestPause;
}

std::optional<MessageFacts> readMessageFacts(const std::string& voicePath) {
    if (!fileio::isPlainFile(voicePath)) {
        return std::nullopt;
    }
    auto bytes = fileio::readPrefix(voicePath, kRecordSize);
    auto record = bytes ? decodeRecord(*bytes) : std::nullopt;
    if (!record) {
        return std::nullopt;
    }
    MessageFacts f;
    f.kind = kindOf(boxKeyOf(voicePath));
    f.boxNumber = text::u8(record->boxNumberText());
    // The box's name as the lists show it: its inf.ini's, which ボックス名称 and voxmgctl
    // box-name set after the message came; the record's only when the box has none.
    std::atomic<int> noCancel{0};
    const std::u16string named = CFileMng(noCancel).readBoxName(std::string(paths::parentOf(voicePath)));
    f.boxName = text::u8(named.empty() ? record->boxNameText() : named);
    f.callerNumber = text::u8(record->callerNumberText());
    f.callerName = text::u8(record->callerNameText());
    f.date = text::u8(record->dateText());
    f.length = text::u8(record->lengthText());
    f.title = text::u8(record->titleText());
    f.memo = text::u8(record->memoText());
    f.fileName = std::string(paths::fileName(voicePath));
    return f;
}

EnqueueOutcome enqueueMessage(MailLedger& ledger, const MailSettings& settings, const std::string& voicePath,
                              std::time_t now) {
    const std::string box = boxKeyOf(voicePath);
    if (!naming::isVoiceName(paths::fileName(voicePath)) || box.empty() || !readMessageFacts(voicePath)) {
        return EnqueueOutcome::NotAMessage;
    }
    // A box whose list has a typo still gets its mail: the pass then fails it with the reason,
    // where the user sees it, rather than the message never being mailed without a word.
    bool typed = false;
    recipientsOf(settings, box, typed);
    if (!typed) {
        return EnqueueOutcome::NoRecipients;
    }
    MailJob job;
    job.messagePath = voicePath;
    job.box = box;
    job.boxFolder = boxFolderOf(box);
    job.fileName = std::string(paths::fileName(voicePath));
    if (!Outbox(Outbox::folderIn(ledger.folder())).noteDataFolder(dataFolderOfMessage(voicePath))) {
        return EnqueueOutcome::WriteFailed;
    }
    switch (ledger.requeue(job, now)) {
        case EnqueueResult::Queued:
            return EnqueueOutcome::Queued;
        case EnqueueResult::AlreadyQueued:
            return EnqueueOutcome::AlreadyQueued;
        case EnqueueResult::WriteFailed:
            break;
    }
    return EnqueueOutcome::WriteFailed;
}

BuiltJob buildJobMail(const MailJob& job, const MailSettings& settings, int gainSetting, std::time_t now) {
    BuiltJob built;
    const auto facts = readMessageFacts(job.messagePath);
    if (!facts) {
        built.problem = "メッセージのファイルがありません";
        return built;
    }
    OutgoingMail mail;
    bool typed = false;
    mail.to = recipientsOf(settings, job.box, typed);
    if (mail.to.empty()) {
        built.problem = typed ? "宛先のメールアドレスが正しくありません" : "このボックスには宛先がありません";
        return built;
    }
    const auto samples = decodeMessageVoice(job.messagePath, gainSetting);
    if (!samples) {
        built.problem = "音声を読み出せません";
        return built;
    }
    built.silence = isSilent(*samples) ? SilenceMark::Silent : SilenceMark::Speech;
    mail.subject = subjectText(*facts);
    mail.body = bodyText(*facts);
    mail.messageId =
        messageIdFor(job.boxFolder.empty() ? boxFolderOf(job.box) : job.boxFolder, facts->fileName);
    mail.date = mailDate(now);
    attach(mail, settings, *samples, facts->fileName);
    built.mail = std::move(mail);
    return built;
}

PassSummary sendDue(MailLedger& ledger, const Outbox& outbox, const MailSettings& settings,
                    const std::vector<MailJob>& waiting, const SendPass& pass) {
    PassSummary summary;
    const auto started = std::chrono::steady_clock::now();
    const std::function<std::time_t()> now = [&] {
        const auto spent =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
        return pass.now + static_cast<std::time_t>(spent.count());
    };
    if (!mailSettingsUsable(settings)) {
        // A fault of the settings, not of the mails: trying each would fail it for good.
        summary.settingsUnusable = true;
        summary.waiting = static_cast<int>(waiting.size());
        return summary;
    }
    for (MailJob job : waiting) {
        if (pass.alreadySent && pass.alreadySent->count(job.id) != 0) {
            continue;
        }
        const bool due = pass.ignorePause || job.nextAttempt <= pass.now;
        if (due && pass.stopRequested && pass.stopRequested()) {
            ++summary.waiting;
            continue;
        }
        if (due && pass.onJob) {
            pass.onJob(job);
        }
        if (due && summary.connection) {
            settle(ledger, job, *summary.connection, now(), summary);  // the same trouble, no new try
        } else if (due) {
            sendOne({ledger, outbox}, settings, pass, job, summary, now);
        }
        if (job.state == JobState::Waiting) {
            ++summary.waiting;
            if (!summary.nextAttempt || job.nextAttempt < *summary.nextAttempt) {
                summary.nextAttempt = job.nextAttempt;
            }
        }
    }
    return summary;
}

namespace {

void noteLedgerProblem(const MailLedger& ledger, PassSummary& summary) {
    summary.ledgerProblem = ledger.status();
    summary.ledgerPath = ledger.path();
    summary.ledgerError = ledger.error();
}

}  // namespace

PassSummary mailPass(const std::string& settingsFolder, const MailSettings& settings, const SendPass& pass) {
    MailLedger ledger(settingsFolder);
    if (!ledger.ready()) {
        PassSummary summary;
        noteLedgerProblem(ledger, summary);
        return summary;
    }
    const JobFileMove moved = migrateJobFiles(ledger, settingsFolder);
    const DueScan scan = scanDue(ledger, settings, mailRoots(settingsFolder),
                                 mailBegins(settingsFolder, ledger, pass.now), pass.now);
    PassSummary summary =
        sendDue(ledger, Outbox(Outbox::folderIn(settingsFolder)), settings, scan.waiting, pass);
    if (summary.settingsUnusable) {
        // Unreadable settings name no boxes to look at: what the ledger holds still waits.
        const auto jobs = ledger.jobs();
        summary.waiting = static_cast<int>(std::count_if(
            jobs.begin(), jobs.end(), [](const MailJob& j) { return j.state == JobState::Waiting; }));
    }
    // Found due but not noted (a full disk): they wait for the next look, which finds them again.
    summary.waiting += scan.unrecorded;
    summary.unsaved |= scan.unsaved;
    summary.found = scan.found;
    summary.unreadableJobFiles = moved.unreadable;
    summary.outbox = ledger.jobs();
    return summary;
}

OutboxListing listOutbox(const std::string& settingsFolder, std::time_t now) {
    OutboxListing listing;
    const MailSettings settings = loadMailSettings(mailSettingsPath(settingsFolder));
    // Mail never set up: not even the ledger is made.
    MailLedger ledger(settingsFolder, !settings.recipients.empty());
    if (ledger.status() == MailLedger::Status::Missing) {
        return listing;
    }
    if (!ledger.ready()) {
        listing.problem = ledger.status();
        listing.ledgerPath = ledger.path();
        listing.error = ledger.error();
        return listing;
    }
    migrateJobFiles(ledger, settingsFolder);
    scanDue(ledger, settings, mailRoots(settingsFolder), mailBegins(settingsFolder, ledger, now), now);
    listing.jobs = ledger.jobs();
    return listing;
}

OutgoingMail testMail(const MailSettings& settings, const std::string& to, std::time_t now) {
    OutgoingMail mail;
    mail.to = {to.empty() ? settings.sender : to};
    mail.subject = "VOXMG テストメール";
    mail.body = "VOXMG からのテストメールです。この設定で新しいメッセージをお送りします。\r\n";
    mail.messageId = "<test-" + std::to_string(now) + "@voxmg.invalid>";
    mail.date = mailDate(now);
    return mail;
}

SilenceMark measureSilence(const std::string& voicePath, int gainSetting) {
    const auto samples = decodeMessageVoice(voicePath, gainSetting);
    if (!samples) {
        return SilenceMark::Unknown;
    }
    return isSilent(*samples) ? SilenceMark::Silent : SilenceMark::Speech;
}

}  // namespace voxmg::mail
