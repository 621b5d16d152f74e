// voxmgctl import-response and upload: "追加" and "アップロード" of the response list, on
// files named on the command line.
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "core/audio/encoding_engine.h"
#include "core/base/flags.h"
#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/device/ftp_mng.h"
#include "core/lists/list_boxes.h"
#include "core/lists/response_import.h"
#include "core/lists/response_upload.h"
#include "tools/command.h"
#include "tools/device_login.h"

namespace voxmg::tools {
namespace {

using Json = nlohmann::ordered_json;

const std::vector<std::string> kValued = {"--slot", "--root", "--folder", "--ini",
                                          "--host", "--port", "--user",   "--password-file"};

const std::string kImportUsage =
    "import-response AUDIO --slot N --root DIR --folder NAME [--replace] [--ini VOXMG.ini (import gains)]";
const std::string kUploadUsage = std::string("upload FILE... (") + kLoginUsage + ")";

const char* importOutcomeName(response_import::ImportOutcome outcome) {
    using response_import::ImportOutcome;
    switch (outcome) {
        case ImportOutcome::Imported:
            return "imported";
        case ImportOutcome::BadSlot:
            return "bad-slot";
        case ImportOutcome::SlotTaken:
            return "slot-taken";
        case ImportOutcome::NoSpace:
            return "no-space";
        case ImportOutcome::Unsupported:
            return "unsupported";
        case ImportOutcome::Cancelled:
            return "cancelled";
        case ImportOutcome::CannotWrite:
            return "cannot-write";
        case ImportOutcome::NoFrames:
            break;
    }
    return "no-frames";
}

int runImport(const Args& args) {
    const std::vector<std::string> files = positional(args, kValued);
    const std::string root = optionValue(args, "--root");
    const std::string folder = optionValue(args, "--folder");
    const std::string slot = optionValue(args, "--slot");
    if (files.size() != 1 || root.empty() || folder.empty() || paths::isUnsafeName(folder) || slot.empty()) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", kImportUsage.c_str());
        return 2;
    }
    response_import::ImportRequest request;
    request.responseFolder = list_boxes::responseFolder(paths::join(root, folder));
    request.slot = std::atoi(slot.c_str());
    request.source = files.front();
    request.replace = hasFlag(args, "--replace");
    const std::string ini = optionValue(args, "--ini");
    if (!ini.empty()) {
        const Settings settings = loadSettings(ProfileFile::load(ini));
        request.gains = {settings.levelWavOr, settings.levelWmaOr};
    }
    Flags flags;
    audio::EncodingEngine engine(paths::settingsFolder());
    const auto result = response_import::run(request, engine, {flags, Pump{}, nullptr});
    Json out;
    out["outcome"] = importOutcomeName(result.outcome);
    out["summary"] = messageJson(result.summary);
    if (!result.voicePath.empty()) {
        out["file"] = result.voicePath;
    }
    if (!result.replacedPath.empty()) {
        out["replaced"] = result.replacedPath;
    }
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return result.outcome == response_import::ImportOutcome::Imported ? 0 : 1;
}

const char* uploadOutcomeName(response_upload::RowOutcome outcome) {
    using response_upload::RowOutcome;
    switch (outcome) {
        case RowOutcome::Uploaded:
            return "uploaded";
        case RowOutcome::Refused:
            return "refused";
        case RowOutcome::Missing:
            return "missing";
        case RowOutcome::CommError:
            return "communication-error";
        case RowOutcome::Cancelled:
            return "cancelled";
        case RowOutcome::Skipped:
            break;
    }
    return "skipped";
}

int runUpload(const Args& args) {
    const std::vector<std::string> files = positional(args, kValued);
    FtpLogin login;
    Settings settings;
    if (files.empty() || !loginFrom(args, login, settings)) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", kUploadUsage.c_str());
        return 2;
    }
    Flags flags;
    CFtpMng ftp(login, flags, Pump{});
    if (!connectOrReport(ftp)) {
        return 1;
    }
    const auto result = response_upload::run({files}, ftp, flags, Pump{}, nullptr);
    if (ftp.connected()) {
        ftp.disconnect();
    }
    Json out;
    out["summary"] = messageJson(result.summary);
    out["uploaded"] = result.uploaded;
    Json rows = Json::array();
    for (const auto& row : result.rows) {
        rows.push_back({{"file", row.path}, {"outcome", uploadOutcomeName(row.outcome)}});
    }
    out["files"] = rows;
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return result.success ? 0 : 1;
}

CommandRegistrar importCommand{Command{"import-response", kImportUsage, runImport, kValued, Writes::Root}};
CommandRegistrar uploadCommand{Command{"upload", kUploadUsage, runUpload, kValued, Writes::Messages}};

}  // namespace
}  // namespace voxmg::tools
