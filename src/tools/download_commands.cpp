// voxmgctl download: a headless bulk or selected download, as the program runs it from its
// download dialogs, for scripted archival on a server.
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "core/audio/decoding_engine.h"
#include "core/base/flags.h"
#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/device/bulk_download.h"
#include "core/device/ftp_mng.h"
#include "core/settings/settings.h"
#include "tools/command.h"
#include "tools/device_login.h"

namespace voxmg::tools {
namespace {

using Json = nlohmann::ordered_json;

const char* kUsage =
    "download (--host A [--port P] --user U --password-file F | --ini VOXMG.ini) --root DIR --folder NAME "
    "[--info-only] [--boxes KIND/NAME,...] [--response] [--mail-settings DIR]";

// Records what the program would show instead of showing it.
class ReportUi : public DownloadUi {
public:
    ProgressSink* openProgress() override { return nullptr; }
    void closeProgress() override {}
    void show(const UserMessage& m) override {
        messages.push_back(
            {{"text", text::utf8FromUtf16(m.text)}, {"caption", text::utf8FromUtf16(m.caption)}});
    }
    void loggedOut() override { loggedOutFlag = true; }

    Json messages = Json::array();
    bool loggedOutFlag = false;
};

std::vector<BoxRef> parseBoxes(const std::string& list) {
    std::vector<BoxRef> boxes;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        std::string item = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        auto slash = item.find('/');
        if (slash != std::string::npos) {
            boxes.push_back({item.substr(0, slash), item.substr(slash + 1)});
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return boxes;
}

// The boxes of --boxes, each of which must have its folder here; 0, or the exit code of a
// refusal (said on stderr).
int chosenBoxes(const Args& args, const std::string& boxFolder, std::vector<BoxRef>& chosen) {
    // The box folder is made by the folder download (フォルダのダウンロード); a box missing here
    // is named, not met later as a write that fails like a full disk.
    if (bool present = false; optionValue(args, "--boxes", &present), present) {
        chosen = parseBoxes(optionValue(args, "--boxes"));
    }
    std::vector<std::string> needed;
    for (const BoxRef& box : chosen) {
        if (paths::isUnsafeName(box.kind) || paths::isUnsafeName(box.name)) {
            std::fprintf(stderr, "voxmgctl: no box %s/%s\n", box.kind.c_str(), box.name.c_str());
            return 2;
        }
        needed.push_back(box.kind + "/" + box.name);
    }
    for (const std::string& rel : needed) {
        std::error_code ec;
        if (!std::filesystem::is_directory(paths::join(boxFolder, rel), ec)) {
            std::fprintf(stderr,
                         "voxmgctl: %s has no folder %s: make the box folder with the folder download "
                         "(フォルダのダウンロード) first\n",
                         boxFolder.c_str(), rel.c_str());
            return 2;
        }
    }
    return 0;
}

// What the run did, box by box, as the JSON says it.
void describeRun(Json& out, EngineResult result, const ReportUi& ui, BulkDownload& run) {
    out["result"] = code(result);
    out["messages"] = ui.messages;
    out["listed"] = run.total();
    out["handled"] = run.handled();
    Json boxes = Json::array();
    for (const BoxOutcome& o : run.outcomes()) {
        boxes.push_back({{"kind", o.box.kind},
                         {"box", o.box.name},
                         {"result", code(o.result.code)},
                         {"listed", o.result.listed},
                         {"handled", o.result.handled},
                         {"malformed", o.result.malformed}});
    }
    out["boxes"] = boxes;
}

int runDownload(const Args& args) {
    FtpLogin login;
    Settings settings;
    std::string root = optionValue(args, "--root");
    std::string folder = optionValue(args, "--folder");
    if (!loginFrom(args, login, settings) || root.empty() || folder.empty() || paths::isUnsafeName(folder)) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", kUsage);
        return 2;
    }
    std::string boxFolder = paths::join(root, folder);
    std::string settingsPath = optionValue(args, "--ini");
    if (settingsPath.empty()) {
        settingsPath = paths::join(root, "VOXMG.ini");  // automatic deletion stays off unless set there
        settings = loadSettings(ProfileFile::load(settingsPath));
    }

    std::vector<BoxRef> chosen;
    if (const int refused = chosenBoxes(args, boxFolder, chosen); refused != 0) {
        return refused;
    }
    if (!mailCoversDownload(args, settings)) {
        return 1;
    }
    Flags flags;
    audio::DecodingEngine decoder;
    CFtpMng ftp(login, flags, Pump{});
    // New messages of boxes with recipients are mailed by `voxmgctl mail-send`.
    ftp.setDownloadEnv(storingEnv(args, settings, settingsPath, decoder, flags));
    Json out;
    LoginResult loginResult = ftp.connectAndLogin();
    if (loginResult != LoginResult::LoggedIn) {
        out["result"] = code(EngineResult::CommFailure);
        out["login"] = code(loginResult);
        std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        return 1;
    }

    ReportUi ui;
    BulkDownload run(ftp, flags, ui, boxFolder, settingsPath, Pump{});
    EngineResult result = EngineResult::Done;
    bool infoOnly = hasFlag(args, "--info-only");
    if (hasFlag(args, "--response")) {
        result = run.runResponse();
    } else if (bool present = false; optionValue(args, "--boxes", &present), present) {
        result = run.runSelected(chosen, infoOnly);
    } else {
        result = run.runAll(infoOnly);
    }
    if (ftp.connected()) {
        ftp.disconnect();
    }

    describeRun(out, result, ui, run);
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    // A run completed when it ended in 0; a box folder with nothing to fetch (1) is no failure.
    return (result == EngineResult::Done || result == EngineResult::NoMessages) ? 0 : 1;
}

CommandRegistrar downloadCommand{Command{"download", kUsage, runDownload, {}, Writes::Root}};

}  // namespace
}  // namespace voxmg::tools
