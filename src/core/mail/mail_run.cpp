#include "core/mail/mail_run.h"

#include <atomic>
#include <chrono>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/mail/mail_audio.h"
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

void settle(const Outbox& outbox, MailJob& job, const SendOutcome& outcome, std::time_t now,
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
    summary.unsaved |= !outbox.save(job);
}

void failLocally(const Outbox& outbox, MailJob& job, const std::string& problem, PassSummary& summary) {
    job.state = JobState::Failed;
    job.lastReply = problem;
    job.reason = problem;
    summary.unsaved |= !outbox.save(job);
    summary.failedNow.push_back(job);
}

bool isConnectionTrouble(const SendOutcome& o) {
    return o.code == SendCode::CertificateRefused || o.code == SendCode::LoginRefused ||
           o.code == SendCode::NoTls || o.code == SendCode::BadSettings ||
           (o.code == SendCode::Temporary && o.replyCode == 0);
}

// One due job: built, perhaps held back as silent, sent, settled. `now` is the time after the
// send, so a pause counts from the failure even when earlier sends of the pass took minutes.
void sendOne(const Outbox& outbox, const MailSettings& settings, const SendPass& pass, MailJob& job,
             PassSummary& summary, const std::function<std::time_t()>& now) {
    BuiltJob built = buildJobMail(job, settings, pass.gainSetting, pass.now);
    job.silence = built.silence;
    if (built.silence == SilenceMark::Silent) {
        outbox.markSilent(silentMarkKey(job.messagePath));
    }
    if (!built.mail) {
        failLocally(outbox, job, built.problem, summary);
        return;
    }
    if (built.silence == SilenceMark::Silent && settings.skipSilent && !job.sendAnyway) {
        job.state = JobState::Silent;
        summary.unsaved |= !outbox.save(job);
        return;
    }
    const SendOutcome outcome = pass.sender->send(*built.mail);
    if (outcome.code == SendCode::Sent) {
        // The server has the whole mail: a kill before this removal sends it once more, with the
        // same Message-ID. A removal that fails (a read-only folder) is kept in mind instead.
        if (!outbox.remove(job)) {
            summary.sentNotRemoved.push_back(job.id);
        }
        ++summary.sent;
        return;
    }
    settle(outbox, job, outcome, now(), summary);
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

EnqueueOutcome enqueueMessage(const Outbox& outbox, const MailSettings& settings,
                              const std::string& voicePath, std::time_t now) {
    const std::string box = boxKeyOf(voicePath);
    if (!naming::isVoiceName(paths::fileName(voicePath)) || box.empty() || !readMessageFacts(voicePath)) {
        return EnqueueOutcome::NotAMessage;
    }
    // A box whose list has a typo still gets its job: the pass then fails it with the reason,
    // where the user sees it, rather than the message never being mailed without a word.
    bool typed = false;
    recipientsOf(settings, box, typed);
    if (!typed) {
        return EnqueueOutcome::NoRecipients;
    }
    switch (outbox.enqueue(voicePath, box, now)) {
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
    mail.messageId = messageIdFor(facts->fileName);
    mail.date = mailDate(now);
    attach(mail, settings, *samples, facts->fileName);
    built.mail = std::move(mail);
    return built;
}

PassSummary sendDue(const Outbox& outbox, const MailSettings& settings, const SendPass& pass) {
    PassSummary summary;
    const auto started = std::chrono::steady_clock::now();
    const std::function<std::time_t()> now = [&] {
        const auto spent =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
        return pass.now + static_cast<std::time_t>(spent.count());
    };
    outbox.sweepLeftovers(pass.now);
    if (!mailSettingsUsable(settings)) {
        // A fault of the settings, not of the mails: trying each would fail it for good.
        summary.settingsUnusable = true;
        for (const MailJob& job : outbox.jobs()) {
            summary.waiting += job.state == JobState::Waiting ? 1 : 0;
        }
        return summary;
    }
    for (MailJob& job : outbox.jobs()) {
        if (job.state != JobState::Waiting || (pass.alreadySent && pass.alreadySent->count(job.id) != 0)) {
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
            settle(outbox, job, *summary.connection, now(), summary);  // the same trouble, no new try
        } else if (due) {
            sendOne(outbox, settings, pass, job, summary, now);
        }
        const bool sent = !summary.sentNotRemoved.empty() && summary.sentNotRemoved.back() == job.id;
        if (job.state == JobState::Waiting && !sent && outbox.find(job.id)) {
            ++summary.waiting;
        }
    }
    return summary;
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
