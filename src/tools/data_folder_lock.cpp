#include "tools/data_folder_lock.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/settings/settings.h"
#include "core/store/data_lock.h"

namespace voxmg::tools {

namespace {

// Options that take a value, of all verbs: what is left are the files a verb works on.
const std::vector<std::string> kValuedOptions = {
    "--to",   "--overwrite", "--kind",      "--host",    "--port",  "--user",          "--password-file",
    "--ini",  "--title",     "--memo",      "--protect", "--flag",  "--caller-number", "--caller-name",
    "--name", "--slot",      "--root",      "--folder",  "--boxes", "--filter",        "--now",
    "--gain", "--columns",   "--retry-wait"};

// Verbs whose first file argument is a message of the data folder they change.
const std::set<std::string> kMessageVerbs = {"move", "copy", "delete", "fetch-voice", "edit", "upload"};
// Verbs that name the data folder with --root.
const std::set<std::string> kRootVerbs = {"download", "import-response", "import-names", "wav-clean",
                                          "make-box", "rename-box",      "box-name"};

std::string absolute(const std::string& path) {
    std::error_code ec;
    return std::filesystem::absolute(path, ec).lexically_normal().string();
}

// The backup's data folder: --root, else the FOLDER of the settings it reads (the program's
// own settings when neither --ini nor a login is given, as the verb itself does).
std::string backupDataFolder(const Args& args) {
    if (std::string root = optionValue(args, "--root"); !root.empty()) {
        return absolute(root);
    }
    std::string ini = optionValue(args, "--ini");
    if (ini.empty() && optionValue(args, "--host").empty()) {
        ini = settingsFilePath(paths::settingsFolder());
    }
    if (ini.empty()) {
        return {};
    }
    const Settings settings = loadSettings(ProfileFile::load(ini));
    const std::string folder = text::utf8FromUtf16(settings.folder.str());
    return folder.empty() ? std::string() : absolute(folder);
}

}  // namespace

std::string changedDataFolder(const std::string& verb, const Args& args) {
    if (kMessageVerbs.contains(verb)) {
        const std::vector<std::string> files = positional(args, kValuedOptions);
        return files.empty() ? std::string() : dataFolderOfMessage(absolute(files.front()));
    }
    if (kRootVerbs.contains(verb)) {
        const std::string root = optionValue(args, "--root");
        return root.empty() ? std::string() : absolute(root);
    }
    if (verb == "backup") {
        return backupDataFolder(args);
    }
    return {};
}

int runHoldingDataLock(const Command& command, const Args& given) {
    Args args;
    int waitSeconds = kDefaultWaitSeconds;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (given[i] != kWaitOption) {
            args.push_back(given[i]);
            continue;
        }
        const std::string value = i + 1 < given.size() ? given[i + 1] : std::string();
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos || value.size() > 6) {
            std::fprintf(stderr, "voxmgctl: %s takes a number of seconds\n", kWaitOption);
            return 2;
        }
        waitSeconds = std::stoi(value);
        ++i;
    }
    const std::string folder = changedDataFolder(command.name, args);
    DataFolderLock lock;
    if (!folder.empty()) {
        lock = DataFolderLock::acquire(folder, std::chrono::seconds(waitSeconds));
        if (!lock.mayProceed()) {
            std::fprintf(stderr,
                         "voxmgctl: 他の操作が実行中です。\n"
                         "voxmgctl: another operation is changing %s (its lock %s stayed taken for %d s; "
                         "%s SECONDS waits longer)\n",
                         folder.c_str(), std::string(DataFolderLock::kFileName).c_str(), waitSeconds,
                         kWaitOption);
            return 2;
        }
    }
    return command.run(args);
}

}  // namespace voxmg::tools
