#include "tools/data_folder_lock.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/settings/settings.h"
#include "core/store/box_links.h"
#include "core/store/data_lock.h"

namespace voxmg::tools {

namespace {

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

// Each folder once, ordered by device and inode; a folder that does not exist comes last (its
// lock goes on unlocked anyway).
std::vector<std::string> lockOrder(const std::vector<std::string>& folders) {
    std::map<std::pair<dev_t, ino_t>, std::string> found;
    std::set<std::string> missing;
    for (const std::string& folder : folders) {
        struct stat st {};
        if (folder.empty()) {
            continue;
        }
        if (::stat(folder.c_str(), &st) == 0) {
            found.emplace(std::pair(st.st_dev, st.st_ino), folder);
        } else {
            missing.insert(folder);
        }
    }
    std::vector<std::string> out;
    for (const auto& [key, folder] : found) {
        out.push_back(folder);
    }
    out.insert(out.end(), missing.begin(), missing.end());
    return out;
}

int refused(const std::string& folder, const DataFolderLock& lock, int waitSeconds) {
    const std::string lockFile = dataLockPath(folder);
    if (lock.status() == DataFolderLock::Status::Busy) {
        std::fprintf(stderr,
                     "voxmgctl: 他の操作が実行中です。\n"
                     "voxmgctl: another operation is changing %s (its lock %s stayed taken for %d s; "
                     "%s SECONDS waits longer)\n",
                     folder.c_str(), std::string(DataFolderLock::kFileName).c_str(), waitSeconds,
                     kWaitOption);
    } else {
        std::fprintf(stderr,
                     "voxmgctl: 書き込みできません: %s\n"
                     "voxmgctl: the lock file %s cannot be used (%s); nothing was changed\n",
                     lockFile.c_str(), lockFile.c_str(), std::strerror(lock.error()));
    }
    return 2;
}

}  // namespace

std::vector<std::string> changedDataFolders(const Command& command, const Args& args) {
    std::vector<std::string> folders;
    switch (command.writes) {
        case Writes::Nothing:
            break;
        case Writes::MarkedMessages:
            if (!hasFlag(args, "--mark")) {
                break;
            }
            [[fallthrough]];
        case Writes::Messages:
            for (const std::string& file : positional(args, command.valued)) {
                folders.push_back(dataFolderOfMessage(absolute(file)));
            }
            break;
        case Writes::Root:
            if (std::string root = optionValue(args, "--root"); !root.empty()) {
                folders.push_back(absolute(root));
            }
            break;
        case Writes::Backup:
            folders.push_back(backupDataFolder(args));
            break;
    }
    return lockOrder(folders);
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
    // One wait for all of them: a run over several folders gives up as soon as the first would.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
    std::vector<DataFolderLock> locks;
    for (const std::string& folder : changedDataFolders(command, args)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        DataFolderLock lock = DataFolderLock::acquire(folder, std::max(left, std::chrono::milliseconds(0)));
        if (!lock.mayProceed()) {
            return refused(folder, lock, waitSeconds);
        }
        locks.push_back(std::move(lock));
    }
    if (command.writes == Writes::Messages ||
        (command.writes == Writes::MarkedMessages && hasFlag(args, "--mark"))) {
        for (const std::string& file : positional(args, command.valued)) {
            if (isInLinkedBox(absolute(file))) {
                const std::string box(paths::parentOf(absolute(file)));
                std::fprintf(stderr,
                             "voxmgctl: 書き込みできません: %s\n"
                             "voxmgctl: the box of %s is a symbolic link out of its data folder; nothing "
                             "is written through it, nothing was changed\n",
                             box.c_str(), file.c_str());
                return 2;
            }
        }
    }
    return command.run(args);
}

}  // namespace voxmg::tools
