// voxmgctl delete and fetch-voice: "消去" and "音声ﾃﾞｰﾀﾀﾞｳﾝﾛｰﾄﾞ" on message files named on the
// command line, as the program runs them on the selected rows of a list.
#include <cstdio>
#include <nlohmann/json.hpp>

#include "core/audio/decoding_engine.h"
#include "core/base/flags.h"
#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/device/ftp_mng.h"
#include "core/lists/delete_operation.h"
#include "core/lists/voice_download.h"
#include "core/settings/settings.h"
#include "core/store/file_naming.h"
#include "tools/command.h"
#include "tools/device_login.h"

namespace voxmg::tools {
namespace {

using Json = nlohmann::ordered_json;

const std::vector<std::string> kValued = {"--kind",          "--host", "--port",         "--user",
                                          "--password-file", "--ini",  "--mail-settings"};

const char* kDeleteUsage =
    "delete --kind unit|both|pc FILE... [--host A [--port P] --user U --password-file F | --ini VOXMG.ini]";
const char* kFetchUsage =
    "fetch-voice FILE... (--host A [--port P] --user U --password-file F | --ini VOXMG.ini) "
    "[--mail-settings DIR]";

const char* outcomeName(delete_op::RowOutcome outcome) {
    using delete_op::RowOutcome;
    switch (outcome) {
        case RowOutcome::Deleted:
            return "deleted";
        case RowOutcome::Protected:
            return "protected";
        case RowOutcome::WrongBox:
            return "wrong-box";
        case RowOutcome::Gone:
            return "gone";
        case RowOutcome::NotDownloaded:
            return "not-downloaded";
        case RowOutcome::InUse:
            return "in-use";
        case RowOutcome::CommError:
            return "communication-error";
        case RowOutcome::CannotWrite:
            return "cannot-write";
        case RowOutcome::Skipped:
            break;
    }
    return "skipped";
}

int runDelete(const Args& args) {
    using delete_op::DeleteKind;
    const std::string kindName = optionValue(args, "--kind");
    const std::vector<std::string> files = positional(args, kValued);
    DeleteKind kind = DeleteKind::PcOnly;
    if (kindName == "unit") {
        kind = DeleteKind::UnitOnly;
    } else if (kindName == "both") {
        kind = DeleteKind::Both;
    } else if (kindName != "pc" || files.empty()) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", kDeleteUsage);
        return 2;
    }
    // One run works on one list: box messages or response messages, not both.
    const bool response = naming::isResponsePath(files.front());
    for (const std::string& f : files) {
        if (naming::isResponsePath(f) != response) {
            std::fprintf(stderr, "voxmgctl delete: response and box messages in one run\n");
            return 2;
        }
    }
    Flags flags;
    std::unique_ptr<CFtpMng> ftp;
    if (kind != DeleteKind::PcOnly) {
        FtpLogin login;
        Settings settings;
        if (!loginFrom(args, login, settings)) {
            std::fprintf(stderr, "usage: voxmgctl %s\n", kDeleteUsage);
            return 2;
        }
        ftp = std::make_unique<CFtpMng>(login, flags, Pump{});
        if (!connectOrReport(*ftp)) {
            return 1;
        }
    }
    auto result = delete_op::run({files, kind, response}, ftp.get(), flags, Pump{}, nullptr);
    if (ftp && ftp->connected()) {
        ftp->disconnect();
    }
    Json out;
    out["summary"] = messageJson(result.summary);
    out["deleted"] = result.deleted;
    Json rows = Json::array();
    for (const auto& row : result.rows) {
        rows.push_back({{"file", row.path}, {"outcome", outcomeName(row.outcome)}});
    }
    out["files"] = rows;
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return result.success ? 0 : 1;
}

const char* fetchOutcomeName(voice_download::RowOutcome outcome) {
    using voice_download::RowOutcome;
    switch (outcome) {
        case RowOutcome::Fetched:
            return "fetched";
        case RowOutcome::AlreadyDeleted:
            return "already-deleted";
        case RowOutcome::NoSpace:
            return "no-space";
        case RowOutcome::Failed:
            return "failed";
        case RowOutcome::Malformed:
            return "malformed";
        case RowOutcome::NotReached:
            break;
    }
    return "not-reached";
}

int runFetchVoice(const Args& args) {
    const std::vector<std::string> files = positional(args, kValued);
    FtpLogin login;
    Settings settings;
    if (files.empty() || !loginFrom(args, login, settings)) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", kFetchUsage);
        return 2;
    }
    Flags flags;
    audio::DecodingEngine decoder;
    CFtpMng ftp(login, flags, Pump{});
    const std::string settingsPath = optionValue(args, "--ini");
    // A voice fetched complete makes the message new to its box's recipients, as in the window.
    ftp.setDownloadEnv(storingEnv(args, settings, settingsPath, decoder, flags));
    if (!connectOrReport(ftp)) {
        return 1;
    }
    auto result = voice_download::run(files, ftp, flags, Pump{}, nullptr);
    if (ftp.connected()) {
        ftp.disconnect();
    }
    Json out;
    Json messages = Json::array();
    for (const auto& m : result.messages) {
        messages.push_back(messageJson(m));
    }
    out["messages"] = messages;
    Json rows = Json::array();
    for (const auto& row : result.rows) {
        rows.push_back({{"file", row.path}, {"outcome", fetchOutcomeName(row.outcome)}});
    }
    out["files"] = rows;
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return result.success ? 0 : 1;
}

CommandRegistrar deleteCommand{Command{"delete", kDeleteUsage, runDelete, kValued, Writes::Messages}};
CommandRegistrar fetchVoiceCommand{
    Command{"fetch-voice", kFetchUsage, runFetchVoice, kValued, Writes::Messages}};

}  // namespace
}  // namespace voxmg::tools
