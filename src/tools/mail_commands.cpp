// voxmgctl mail-test / mail-send / mail-outbox / mail-enqueue: the mail of new messages.
// The settings folder holds VOXMG-mail.ini and the outbox; --settings DIR names another one.
// The password stays in the settings file: it never appears on a command line or in the JSON.

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string>

#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/mail/mail_run.h"
#include "core/mail/send_texts.h"
#include "tools/command.h"

namespace voxmg::tools {
namespace {

using Json = nlohmann::ordered_json;
using namespace voxmg::mail;

const std::vector<std::string> kValued = {"--settings", "--to"};

std::string settingsFolderOf(const Args& args) {
    const std::string given = optionValue(args, "--settings");
    return given.empty() ? paths::settingsFolder() : paths::withTrailingSeparator(given);
}

// The decoding gain the WAV conversion uses, so the attachment sounds as the WAV file does.
int gainSettingIn(const std::string& folder) {
    return ProfileFile::load(paths::join(folder, "VOXMG.ini")).readInt(u"CODEC", u"LEVELRVORWAV", 0);
}

const char* codeName(SendCode c) {
    switch (c) {
        case SendCode::Sent:
            return "sent";
        case SendCode::Temporary:
            return "temporary";
        case SendCode::Permanent:
            return "permanent";
        case SendCode::CertificateRefused:
            return "certificate-refused";
        case SendCode::LoginRefused:
            return "login-refused";
        case SendCode::NoTls:
            return "no-tls";
        case SendCode::BadSettings:
            break;
    }
    return "bad-settings";
}

Json outcomeJson(const SendOutcome& o) {
    return {{"code", codeName(o.code)},
            {"text", sendCodeText(o.code)},
            {"reply_code", o.replyCode},
            {"reason", o.reason},
            {"reply", o.reply}};
}

const char* stateName(JobState s) {
    switch (s) {
        case JobState::Failed:
            return "failed";
        case JobState::Silent:
            return "silent";
        case JobState::Sent:
            return "sent";
        case JobState::GivenUp:
            return "given-up";
        case JobState::Old:
            return "old";
        case JobState::Waiting:
            break;
    }
    return "waiting";
}

Json jobJson(const MailJob& j) {
    const char* silence = j.silence == SilenceMark::Silent   ? "silent"
                          : j.silence == SilenceMark::Speech ? "speech"
                                                             : "unknown";
    return {{"id", j.id},
            {"path", j.messagePath},
            {"box", j.box},
            {"box_folder", j.boxFolder},
            {"file", j.fileName},
            {"state", stateName(j.state)},
            {"attempts", j.attempts},
            {"queued", static_cast<long long>(j.queued)},
            {"next_attempt", static_cast<long long>(j.nextAttempt)},
            {"reason", j.reason},
            {"last_reply", j.lastReply},
            {"silence", silence}};
}

// A server's reply may be in any encoding: bytes that are no UTF-8 are replaced, never thrown on.
void print(const Json& j) {
    std::printf("%s\n", j.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
    std::fflush(stdout);
}

// Why the pass or the test mail did not start: the settings file, named, and what is wrong.
Json unusableJson(const std::string& folder, const MailSettings& settings) {
    Json j = {{"usable", false},
              {"text", "メール転送の設定が正しくありません。"},
              {"file", mailSettingsPath(folder)}};
    if (settings.fileError != 0) {
        j["error"] = std::strerror(settings.fileError);
    }
    return j;
}

// Why the ledger of sent mail cannot be used, named; the file itself is left as it is.
Json ledgerJson(const std::string& path, const std::string& error) {
    return {{"text", "メールの送信記録を読み込めません。"}, {"file", path}, {"error", error}};
}

int ledgerRefused(const std::string& path, const std::string& error) {
    print({{"ledger", ledgerJson(path, error)}});
    std::fprintf(stderr, "voxmgctl: メールの送信記録を読み込めません。 %s: %s\n", path.c_str(),
                 error.c_str());
    return 1;
}

int runMailTest(const Args& args) {
    const std::string folder = settingsFolderOf(args);
    const MailSettings settings = loadMailSettings(mailSettingsPath(folder));
    if (settings.fileError != 0) {
        print({{"settings", unusableJson(folder, settings)}});
        std::fprintf(stderr, "voxmgctl: メール転送の設定が正しくありません。 %s\n",
                     mailSettingsPath(folder).c_str());
        return 1;
    }
    const SmtpSender sender(settings);
    const SendOutcome o = sender.send(testMail(settings, optionValue(args, "--to"), std::time(nullptr)));
    print(outcomeJson(o));
    if (o.code != SendCode::Sent) {
        std::fprintf(stderr, "voxmgctl: %s %s\n", testSendText(o.code), o.reply.c_str());
    }
    return o.code == SendCode::Sent ? 0 : 1;
}

int runMailSend(const Args& args) {
    const std::string folder = settingsFolderOf(args);
    const MailSettings settings = loadMailSettings(mailSettingsPath(folder));
    const Outbox outbox(Outbox::folderIn(folder));
    const OutboxLock lock(outbox.folder());
    if (lock.busy()) {
        print({{"busy", true}});  // another sender is at it; its pass covers these jobs
        return 0;
    }
    if (!lock.held()) {
        // No sender can work here (a read-only or missing settings folder): nothing was sent.
        print({{"busy", false}, {"error", "書き込みできません"}, {"folder", outbox.folder()}});
        std::fprintf(stderr, "voxmgctl: 書き込みできません: %s\n", outbox.folder().c_str());
        return 1;
    }
    SmtpSender sender(settings);
    SendPass pass{&sender, gainSettingIn(folder), std::time(nullptr), hasFlag(args, "--now"), {}, {},
                  nullptr};
    const PassSummary s = mailPass(folder, settings, pass);
    if (s.ledgerProblem) {
        return ledgerRefused(s.ledgerPath, s.ledgerError);
    }
    Json failed = Json::array();
    for (const MailJob& j : s.failedNow) {
        failed.push_back(jobJson(j));
    }
    Json out = {
        {"busy", false},        {"sent", s.sent},   {"waiting", s.waiting}, {"postponed", s.postponed},
        {"unsaved", s.unsaved}, {"found", s.found}, {"failed", failed}};
    out["connection"] = s.connection ? outcomeJson(*s.connection) : Json(nullptr);
    if (!s.unreadableJobFiles.empty()) {
        // Told once: they are set aside under a new name.
        out["unreadable_job_files"] = s.unreadableJobFiles;
        for (const std::string& path : s.unreadableJobFiles) {
            std::fprintf(stderr, "voxmgctl: a mail job file that cannot be read was set aside: %s\n",
                         path.c_str());
        }
    }
    if (s.settingsUnusable) {
        out["settings"] = unusableJson(folder, settings);
        print(out);
        std::fprintf(stderr, "voxmgctl: メール転送の設定が正しくありません。 %s\n",
                     mailSettingsPath(folder).c_str());
        return 1;
    }
    print(out);
    if (s.connection) {
        std::fprintf(stderr, "voxmgctl: %s %s\n", sendCodeText(s.connection->code),
                     s.connection->reply.c_str());
    }
    // A timer counts exit 0 as all done: any mail tried and put off, refused, or left unsaved is
    // not; the JSON says which.
    if (s.postponed > 0 && !s.connection) {
        std::fprintf(stderr, "voxmgctl: %d mail(s) put off by the server; tried again later\n", s.postponed);
    }
    return s.connection || !s.failedNow.empty() || s.postponed > 0 || s.unsaved ? 1 : 0;
}

int runMailOutbox(const Args& args) {
    const std::string folder = settingsFolderOf(args);
    bool retry = false;
    bool discard = false;
    const std::string retried = optionValue(args, "--retry", &retry);
    const std::string discarded = optionValue(args, "--discard", &discard);
    if (retry || discard) {
        MailLedger ledger(folder, false);
        if (ledger.status() != MailLedger::Status::Ready && ledger.status() != MailLedger::Status::Missing) {
            return ledgerRefused(ledger.path(), ledger.error());
        }
        const std::string& id = retry ? retried : discarded;
        if (!(retry ? ledger.retry(id, std::time(nullptr)) : ledger.discard(id))) {
            std::fprintf(stderr, "voxmgctl: no failed or silent mail %s in the outbox\n", id.c_str());
            return 1;
        }
    }
    const OutboxListing listing = listOutbox(folder, std::time(nullptr));
    if (listing.problem) {
        return ledgerRefused(listing.ledgerPath, listing.error);
    }
    Json jobs = Json::array();
    for (const MailJob& j : listing.jobs) {
        jobs.push_back(jobJson(j));
    }
    print(jobs);
    return 0;
}

const char* enqueueName(EnqueueOutcome e) {
    switch (e) {
        case EnqueueOutcome::Queued:
            return "queued";
        case EnqueueOutcome::AlreadyQueued:
            return "already-queued";
        case EnqueueOutcome::NoRecipients:
            return "no-recipients";
        case EnqueueOutcome::NotAMessage:
            return "not-a-message";
        case EnqueueOutcome::WriteFailed:
            break;
    }
    return "write-failed";
}

int runMailEnqueue(const Args& args) {
    const auto files = positional(args, kValued);
    if (files.size() != 1) {
        std::fprintf(stderr, "usage: voxmgctl mail-enqueue FILE.vmdat [--settings DIR]\n");
        return 2;
    }
    char resolved[PATH_MAX];
    const std::string path =
        ::realpath(files.front().c_str(), resolved) != nullptr ? resolved : files.front();
    const std::string folder = settingsFolderOf(args);
    const MailSettings settings = loadMailSettings(mailSettingsPath(folder));
    MailLedger ledger(folder);
    if (!ledger.ready()) {
        return ledgerRefused(ledger.path(), ledger.error());
    }
    const EnqueueOutcome e = enqueueMessage(ledger, settings, path, std::time(nullptr));
    print({{"result", enqueueName(e)}, {"path", path}});
    return e == EnqueueOutcome::Queued || e == EnqueueOutcome::AlreadyQueued ? 0 : 1;
}

CommandRegistrar mailTest{Command{"mail-test", "mail-test [--to ADDR] [--settings DIR]", runMailTest}};
CommandRegistrar mailSend{Command{"mail-send", "mail-send [--now] [--settings DIR]", runMailSend}};
CommandRegistrar mailOutbox{
    Command{"mail-outbox", "mail-outbox [--retry ID | --discard ID] [--settings DIR]", runMailOutbox}};
CommandRegistrar mailEnqueue{
    Command{"mail-enqueue", "mail-enqueue FILE.vmdat [--settings DIR]", runMailEnqueue}};

}  // namespace
}  // namespace voxmg::tools
