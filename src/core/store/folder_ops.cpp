#include "core/store/folder_ops.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/store/dir_walk.h"
#include "core/store/file_mng.h"

namespace voxmg::folders {
namespace {

namespace fs = std::filesystem;

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool isRealFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool samePath(const std::string& a, const std::string& b) {
    std::error_code ec;
    auto ca = fs::weakly_canonical(a, ec);
    if (ec) {
        return a == b;
    }
    auto cb = fs::weakly_canonical(b, ec);
    return ec ? a == b : ca == cb;
}

// The entries directly in a folder, by name, without following symbolic links.
std::vector<std::pair<std::string, bool>> entriesOf(const std::string& folder) {
    std::vector<std::pair<std::string, bool>> out;
    fileio::walkFolder(folder, [&](std::string_view name, bool) {
        std::string path = paths::join(folder, name);
        out.emplace_back(path, isRealFolder(path));
        return true;
    });
    return out;
}

int countEntries(const std::string& folder) {
    int count = 0;
    for (const auto& [path, folderEntry] : entriesOf(folder)) {
        ++count;
        if (folderEntry) {
            count += countEntries(path);
        }
    }
    return count;
}

// The read-only attribute of Windows has two counterparts here: a file without write
// permission (which unlink ignores, but the attribute is cleared as the original did) and a
// folder without write or search permission, which would keep its entries from being removed.
void makeWritable(const std::string& path, bool folder) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) {
        return;
    }
    mode_t wanted = folder ? (S_IRWXU) : (S_IRUSR | S_IWUSR);
    if ((st.st_mode & wanted) != wanted) {
        ::chmod(path.c_str(), (st.st_mode & 07777) | wanted);
    }
}

void deleteEntries(const std::string& folder, ProgressSink* progress, int& position, const Pump& pump) {
    makeWritable(folder, true);
    for (const auto& [path, folderEntry] : entriesOf(folder)) {
        if (folderEntry) {
            deleteEntries(path, progress, position, pump);
            ::rmdir(path.c_str());
        } else {
            makeWritable(path, false);
            ::unlink(path.c_str());
        }
        if (progress) {
            progress->setPosition(++position);
        }
        pumpOnce(pump);
    }
}

bool copyTree(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    return !ec;
}

}  // namespace

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool hasSubfolder(const std::string& folder) {
    bool found = false;
    fileio::walkFolder(folder, [&](std::string_view, bool isFolderEntry) {
        found = isFolderEntry;
        return !found;
    });
    return found;
}

bool moveFolder(const std::string& from, const std::string& to) {
    if (!isRealFolder(from) || to.empty() || exists(to) || samePath(from, to)) {
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) {
        return true;
    }
    if (errno != EXDEV) {
        return false;
    }
    // Another file system: the tree exists twice for a while, but never not at all.
    if (!copyTree(from, to)) {
        std::error_code ec;
        fs::remove_all(to, ec);
        return false;
    }
    deleteFolderCompletely(from, nullptr, {});
    return true;
}

RenameResult renameFolder(const std::string& folder, std::u16string_view newName) {
    std::string name = text::utf8FromUtf16(newName);
    if (name.empty() || paths::isUnsafeName(name)) {
        return RenameResult::InputError;
    }
    std::string target = paths::join(paths::parentOf(folder), name);
    if (exists(target)) {
        return RenameResult::Duplicate;
    }
    return moveFolder(folder, target) ? RenameResult::Done : RenameResult::InputError;
}

bool deleteFolderCompletely(const std::string& folder, ProgressSink* progress, const Pump& pump) {
    if (!isRealFolder(folder)) {
        // A link in the place of the folder goes, what it points to stays.
        return exists(folder) ? ::unlink(folder.c_str()) == 0 : false;
    }
    if (progress) {
        progress->setRange(countEntries(folder));
    }
    int position = 0;
    deleteEntries(folder, progress, position, pump);
    ::rmdir(folder.c_str());
    return !exists(folder);
}

std::vector<FolderRow> folderRows(const std::string& dataRoot, RowKind kind) {
    std::atomic<int> noCancel{0};
    CFileMng mng(noCancel);
    std::vector<std::string> subfolders;
    mng.listSubfolders(dataRoot, subfolders);
    std::vector<FolderRow> rows;
    for (auto& path : subfolders) {
        FolderContent holds = mng.boxFolderContent(path);
        FolderRow row;
        row.name = std::string(paths::fileName(path));
        if (kind == RowKind::Download) {
            row.mark = holds != FolderContent::Nothing ? '*' : ' ';
        } else if (holds == FolderContent::Nothing) {
            continue;
        } else {
            row.mark = holds == FolderContent::BoxesOnly ? '*' : ' ';
        }
        row.path = std::move(path);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string pathColumn(const FolderRow& row) {
    return std::string(1, row.mark) + row.path;
}

std::string pathFromColumn(std::string_view column) {
    return std::string(column.empty() ? column : column.substr(1));
}

DownloadButtons downloadButtons(bool rowSelected, bool loggedIn, bool folderHasSubfolder) {
    DownloadButtons b;
    if (!rowSelected) {
        return b;
    }
    b.rename = true;
    b.download = loggedIn;
    b.deleteAll = !folderHasSubfolder;
    b.recycle = !folderHasSubfolder;
    return b;
}

std::string addFolderStart(const std::string& dataRoot, const std::string& boxFolderName,
                           const std::string& programFolder, const std::string& documents) {
    std::vector<std::string> candidates;
    if (!dataRoot.empty()) {  // with no box folder name yet, the data root itself
        candidates.push_back(paths::withTrailingSeparator(dataRoot) + boxFolderName);
    }
    candidates.push_back(paths::join(programFolder, "save/VMU"));
    candidates.push_back(paths::join(programFolder, "save"));
    for (const auto& candidate : candidates) {
        if (isFolder(candidate)) {
            return candidate;
        }
    }
    return documents;
}

ChosenFolder splitChosenFolder(std::string_view chosen) {
    while (chosen.size() > 1 && chosen.back() == '/') {
        chosen.remove_suffix(1);
    }
    ChosenFolder out;
    out.dataRoot = paths::withTrailingSeparator(paths::parentOf(chosen));
    if (out.dataRoot.empty() && !chosen.empty() && chosen.front() == '/') {
        out.dataRoot = "/";
    }
    out.boxFolderName = std::string(paths::fileName(chosen));
    return out;
}

}  // namespace voxmg::folders
