#include <fnmatch.h>
#include <sys/stat.h>

#include "core/base/paths.h"
#include "core/store/dir_walk.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg {
namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

}  // namespace

bool CFileMng::makeFolder(const std::string& path) const {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) == 0) {
        return false;
    }
    return ::mkdir(path.c_str(), 0755) == 0;
}

bool CFileMng::fileExists(const std::string& pathOrPattern) const {
    std::string_view pattern = paths::fileName(pathOrPattern);
    if (pattern.find_first_of("*?") == std::string_view::npos) {
        return exists(pathOrPattern);
    }
    // Windows reads "*.*" as every name, dotted or not.
    std::string glob = pattern == "*.*" ? std::string("*") : std::string(pattern);
    std::string folder(paths::parentOf(pathOrPattern));
    bool found = false;
    fileio::walkFolder(folder.empty() ? "." : folder, [&](std::string_view name, bool) {
        found = ::fnmatch(glob.c_str(), std::string(name).c_str(), 0) == 0;
        return !found;
    });
    return found;
}

int CFileMng::countMessages(const std::string& boxFolder) const {
    int count = 0;
    fileio::walkFolder(boxFolder, [&](std::string_view name, bool isFolder) {
        if (isFolder) {
            return true;
        }
        if (naming::isVoiceName(name)) {
            ++count;
        } else if (naming::isInfoName(name) && !exists(paths::join(boxFolder, naming::partnerName(name)))) {
            ++count;
        }
        return true;
    });
    return count;
}

FolderContent CFileMng::boxFolderContent(const std::string& folder) const {
    bool anyBox = false;
    bool anyMessage = false;
    fileio::walkFolder(folder, [&](std::string_view kind, bool isFolder) {
        if (!isFolder || (kind.find(naming::kExtensionKind) == std::string_view::npos &&
                          kind.find(naming::kAnswerKind) == std::string_view::npos)) {
            return true;
        }
        std::string kindFolder = paths::join(folder, kind);
        fileio::walkFolder(kindFolder, [&](std::string_view box, bool boxIsFolder) {
            if (boxIsFolder) {
                anyBox = true;
                anyMessage = countMessages(paths::join(kindFolder, box)) > 0;
            }
            return !anyMessage;
        });
        return !anyMessage;
    });
    return anyMessage ? FolderContent::Messages
                      : (anyBox ? FolderContent::BoxesOnly : FolderContent::Nothing);
}

bool CFileMng::isBoxFolder(const std::string& folder) const {
    bool extension = false;
    bool answer = false;
    fileio::walkFolder(folder, [&](std::string_view name, bool isFolder) {
        if (isFolder) {
            extension = extension || name.find(naming::kExtensionKind) != std::string_view::npos;
            answer = answer || name.find(naming::kAnswerKind) != std::string_view::npos;
        }
        return !(extension && answer);
    });
    return extension && answer;
}

std::optional<FILESTS_INFO> CFileMng::firstRecordOfFolder(const std::string& folder) const {
    for (std::string_view ext : {naming::kInfoExt, naming::kVoiceExt}) {
        std::string first;
        fileio::walkFolder(folder, [&](std::string_view name, bool) {
            if (endsWith(name, ext) && name.size() > ext.size()) {
                first = name;
            }
            return first.empty();
        });
        if (first.empty()) {
            continue;
        }
        auto bytes = fileio::readPrefix(paths::join(folder, first), kRecordSize);
        return bytes ? decodeRecord(*bytes) : std::nullopt;
    }
    return std::nullopt;
}

void CFileMng::listSubfolders(const std::string& folder, std::vector<std::string>& out) const {
    out.clear();
    fileio::walkFolder(folder, [&](std::string_view name, bool isFolder) {
        if (isFolder) {
            out.push_back(paths::join(folder, name));
        }
        return true;
    });
}

}  // namespace voxmg
