// voxmgctl backup and next-backup: the automatic backup run headless, for cron or a systemd
// timer on a machine where nobody is logged in, and the schedule as the settings dialog
// computes it.
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "core/app/single_instance.h"
#include "core/automation/backup_run.h"
#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/settings/settings.h"
#include "tools/command.h"
#include "tools/device_login.h"

namespace voxmg::tools {
namespace {

using Json = nlohmann::ordered_json;

const char* kBackupUsage =
    "backup [--ini VOXMG.ini | --host A [--port P] --user U --password-file F --root DIR [--folder NAME]] "
    "[--now YYYYMMDDHHMM] [--if-due] [--retry-wait MS]";
const char* kNextUsage = "next-backup [--ini VOXMG.ini] [--now YYYYMMDDHHMM]";

// Without --ini or a login of its own the tool reads the program's own VOXMG.ini.
Args withProgramSettings(const Args& args) {
    Args out = args;
    if (optionValue(args, "--ini").empty() && optionValue(args, "--host").empty()) {
        out.push_back("--ini");
        out.push_back(settingsFilePath(paths::settingsFolder()));
    }
    return out;
}

// "YYYYMMDDHHMM" as a local time; nothing for any other text.
std::optional<std::tm> parseStamp(const std::string& s) {
    if (s.size() != 12 || s.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    std::tm t{};
    t.tm_year = std::stoi(s.substr(0, 4)) - 1900;
    t.tm_mon = std::stoi(s.substr(4, 2)) - 1;
    t.tm_mday = std::stoi(s.substr(6, 2));
    t.tm_hour = std::stoi(s.substr(8, 2));
    t.tm_min = std::stoi(s.substr(10, 2));
    t.tm_isdst = -1;
    std::tm normal = t;
    if (std::mktime(&normal) == -1 || normal.tm_mday != t.tm_mday || normal.tm_mon != t.tm_mon ||
        normal.tm_hour != t.tm_hour || normal.tm_min != t.tm_min) {
        return std::nullopt;
    }
    return normal;
}

std::optional<std::tm> nowOption(const Args& args) {
    bool present = false;
    std::string value = optionValue(args, "--now", &present);
    return present ? parseStamp(value) : std::optional<std::tm>(backup::localNow());
}

// Records what the program would show instead of showing it.
class ReportUi : public backup::BackupUi {
public:
    ProgressSink* openProgress() override { return nullptr; }
    void closeProgress() override {}
    void show(const UserMessage& m) override {
        messages.push_back(
            {{"text", text::utf8FromUtf16(m.text)}, {"caption", text::utf8FromUtf16(m.caption)}});
    }
    Json messages = Json::array();
};

int fail(const char* what) {
    std::fprintf(stderr, "voxmgctl: %s\n", what);
    return 2;
}

// What the backup did, box by box.
Json backupJson(const backup::BackupResult& result, const ReportUi& ui) {
    Json out;
    out["success"] = result.success;
    out["result"] = code(result.code);
    out["cancelled"] = result.cancelled;
    out["total"] = result.total;
    out["target_month"] = result.range.targetMonth;
    out["current_month"] = result.range.currentMonth;
    out["auto_delete_unsupported"] = result.autoDeleteUnsupported;
    Json boxes = Json::array();
    for (const BoxOutcome& o : result.boxes) {
        boxes.push_back({{"kind", o.box.kind},
                         {"box", o.box.name},
                         {"result", code(o.result.code)},
                         {"listed", o.result.listed},
                         {"handled", o.result.handled}});
    }
    out["boxes"] = boxes;
    out["messages"] = ui.messages;
    return out;
}

// The run noted in the settings file, as the program's schedule notes it.
void recordBackupRun(Json& out, Settings& settings, const std::string& ini, bool success,
                     const std::tm& now) {
    backup::recordRun(settings, success, now, false);
    ProfileFile file = ProfileFile::load(ini);
    file.writeString(u"BACKUP", u"ZENKAIBI", settings.zenkaiBi.str());
    file.writeInt(u"BACKUP", u"ZENKAIKA", settings.zenkaiKa);
    file.writeString(u"BACKUP", u"YOTEIBI", settings.yoteiBi.str());
    out["settings_saved"] = file.save(kSettingsFileMode);
    out["zenkaibi"] = text::utf8FromUtf16(settings.zenkaiBi.str());
    out["zenkaika"] = settings.zenkaiKa;
    out["yoteibi"] = text::utf8FromUtf16(settings.yoteiBi.str());
}

// The data folder and box folder of the backup: the settings' own, or --root and --folder
// without --ini. What is missing, or null.
const char* backupFolders(const Args& args, const std::string& ini, Settings& settings) {
    if (ini.empty()) {
        std::string root = optionValue(args, "--root");
        if (root.empty()) {
            return "backup needs --root without --ini";
        }
        settings.folder = text::utf16FromUtf8(paths::withTrailingSeparator(root));
        settings.folderName = text::utf16FromUtf8(optionValue(args, "--folder"));
    } else if (settings.folder.empty()) {
        return "the settings name no data folder (FOLDER/FOLDER)";
    }
    return nullptr;
}

int runBackupCommand(const Args& given) {
    const Args args = withProgramSettings(given);
    auto now = nowOption(args);
    FtpLogin login;
    Settings settings;
    if (!now || !loginFrom(args, login, settings)) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", kBackupUsage);
        return 2;
    }
    const std::string ini = optionValue(args, "--ini");
    if (const char* problem = backupFolders(args, ini, settings)) {
        return fail(problem);
    }
    // The program keeps the settings in memory and writes them at exit: while it runs, a
    // backup here would be overwritten by it (and would race its own schedule).
    std::unique_ptr<InstanceLock> lock;
    if (!ini.empty()) {
        lock = InstanceLock::acquire(instanceLockPath(kInstanceTitle));
        if (!lock && hasFlag(args, "--if-due")) {
            // A timer asking whether it is its turn: the running program's schedule takes the
            // backup, so this is no failure.
            Json out{{"due", false}, {"reason", "voxmg is running"}};
            std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
            return 0;
        }
        if (!lock) {
            return fail("voxmg is running; its own schedule takes the backup");
        }
    }
    if (hasFlag(args, "--if-due") && !backup::isDue(settings, false, *now)) {
        Json out{{"due", false}, {"yoteibi", text::utf8FromUtf16(settings.yoteiBi.str())}};
        std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        return 0;
    }

    const std::string settingsPath =
        ini.empty() ? paths::join(optionValue(args, "--root"), "VOXMG.ini") : ini;
    backup::BackupRequest request = backup::requestFromSettings(settings, settingsPath, *now);
    request.login = login;
    if (std::string wait = optionValue(args, "--retry-wait"); !wait.empty()) {
        request.retryWait = std::chrono::milliseconds(std::atoi(wait.c_str()));
    }
    Flags flags;
    CFtpMng ftp(login, flags, Pump{});
    ReportUi ui;
    backup::BackupResult result = backup::runBackup(ftp, flags, ui, request, Pump{});

    Json out = backupJson(result, ui);
    if (!ini.empty()) {
        recordBackupRun(out, settings, ini, result.success, *now);
    }
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return result.success ? 0 : 1;
}

int runNextBackup(const Args& given) {
    const Args args = withProgramSettings(given);
    auto now = nowOption(args);
    const std::string ini = optionValue(args, "--ini");
    if (!now || ini.empty()) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", kNextUsage);
        return 2;
    }
    Settings settings = loadSettings(ProfileFile::load(ini));
    Json out{{"next", backup::nextScheduledTime(backup::scheduleOf(settings), *now)},
             {"due", backup::isDue(settings, false, *now)}};
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return 0;
}

CommandRegistrar backupCommand{Command{"backup", kBackupUsage, runBackupCommand, {}, Writes::Backup}};
CommandRegistrar nextBackupCommand{Command{"next-backup", kNextUsage, runNextBackup}};

}  // namespace
}  // namespace voxmg::tools
