#include "core/store/box_management.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <set>

#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/store/dir_walk.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"
#include "core/store/folder_ops.h"

namespace voxmg::boxes {
namespace {

constexpr std::size_t kMaxFolderNameBytes = 14;
constexpr std::size_t kMaxBoxNameBytes = 10;
constexpr std::u16string_view kForbidden = u"\\/:*?\"<>|";

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool isRealFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string kindPath(const std::string& boxFolder, BoxKind kind) {
    return paths::join(boxFolder, kindFolder(kind));
}

std::string boxPath(const std::string& boxFolder, BoxKind kind, std::string_view name) {
    return paths::join(kindPath(boxFolder, kind), name);
}

}  // namespace

std::string_view kindFolder(BoxKind kind) {
    return kind == BoxKind::Answer ? "rusuroku" : "naisen";
}

std::optional<BoxKind> kindFromFolder(std::string_view folder) {
    for (BoxKind kind : {BoxKind::Answer, BoxKind::Extension}) {
        if (folder == kindFolder(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

std::u16string_view checkText(BoxCheck check) {
    switch (check) {
        case BoxCheck::InputError:
            return kInputError;
        case BoxCheck::Duplicate:
            return kDuplicate;
        case BoxCheck::CannotWrite:
            return kCannotWrite;
        case BoxCheck::Ok:
            break;
    }
    return {};
}

bool isValidFolderName(std::u16string_view name) {
    const std::size_t bytes = text::cp932Length(name);
    if (bytes < 1 || bytes > kMaxFolderNameBytes ||
        name.find_first_of(kForbidden) != std::u16string_view::npos) {
        return false;
    }
    return !paths::isUnsafeName(text::utf8FromUtf16(name));
}

bool isValidBoxName(std::u16string_view name) {
    return text::cp932Length(name) <= kMaxBoxNameBytes && name.find(u',') == std::u16string_view::npos &&
           !hasControlCharacter(name);
}

bool hasControlCharacter(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; });
}

bool isBoxSubfolder(const std::string& boxFolder, BoxKind kind, std::string_view name) {
    return !paths::isUnsafeName(name) && isRealFolder(boxPath(boxFolder, kind, name));
}

std::vector<std::string> boxSubfolders(const std::string& boxFolder, BoxKind kind) {
    const std::string folder = kindPath(boxFolder, kind);
    std::vector<std::string> names;
    fileio::walkFolder(folder, [&](std::string_view name, bool) {
        if (isRealFolder(paths::join(folder, name))) {
            names.emplace_back(name);
        }
        return true;
    });
    std::sort(names.begin(), names.end());
    return names;
}

bool hasBoxSubfolders(const std::string& boxFolder) {
    return !boxSubfolders(boxFolder, BoxKind::Answer).empty() ||
           !boxSubfolders(boxFolder, BoxKind::Extension).empty();
}

std::vector<std::string> userBoxes(const std::string& boxFolder, BoxKind kind) {
    std::atomic<int> noCancel{0};
    CFileMng mng(noCancel);
    std::vector<std::string> out;
    for (auto& name : boxSubfolders(boxFolder, kind)) {
        if (mng.readBuildMark(boxPath(boxFolder, kind, name)) == 1) {
            out.push_back(std::move(name));
        }
    }
    return out;
}

BoxCheck makeBoxFolder(const std::string& boxFolder, BoxKind kind, std::u16string_view name) {
    if (!isValidFolderName(name)) {
        return BoxCheck::InputError;
    }
    const std::string path = boxPath(boxFolder, kind, text::utf8FromUtf16(name));
    if (exists(path)) {
        return BoxCheck::Duplicate;
    }
    if (::mkdir(path.c_str(), 0755) != 0) {
        return errno == EACCES || errno == EPERM || errno == EROFS ? BoxCheck::CannotWrite
                                                                   : BoxCheck::InputError;
    }
    ProfileFile info = ProfileFile::load(paths::join(path, naming::kBoxInfoFile));
    info.writeString(u"INF", u"MAKE", u"1");
    info.removeKey(u"INF", u"NAME");
    info.writeString(u"INF", u"AutoDel", u"0");
    if (!info.save()) {
        ::rmdir(path.c_str());
        return BoxCheck::CannotWrite;
    }
    return BoxCheck::Ok;
}

RenameCheck checkRenames(const std::string& boxFolder, const std::vector<FolderRename>& renames) {
    std::set<std::string> taken;
    for (std::size_t row = 0; row < renames.size(); ++row) {
        const auto& r = renames[row];
        if (!isValidFolderName(r.newName)) {
            return {BoxCheck::InputError, row};
        }
        const std::string target = boxPath(boxFolder, r.kind, text::utf8FromUtf16(r.newName));
        if (exists(target) || !taken.insert(target).second) {
            return {BoxCheck::Duplicate, row};
        }
    }
    return {};
}

int renameBoxFolders(const std::string& boxFolder, const std::vector<FolderRename>& renames) {
    int done = 0;
    for (const auto& r : renames) {
        if (paths::isUnsafeName(r.oldName) || !isValidFolderName(r.newName)) {
            continue;
        }
        if (folders::moveFolder(boxPath(boxFolder, r.kind, r.oldName),
                                boxPath(boxFolder, r.kind, text::utf8FromUtf16(r.newName)))) {
            ++done;
        }
    }
    return done;
}

std::vector<BoxNameRow> boxNameRows(const std::string& boxFolder) {
    std::atomic<int> noCancel{0};
    CFileMng mng(noCancel);
    std::vector<BoxNameRow> rows;
    for (BoxKind kind : {BoxKind::Answer, BoxKind::Extension}) {
        for (auto& folder : boxSubfolders(boxFolder, kind)) {
            auto name = mng.readBoxName(boxPath(boxFolder, kind, folder));
            rows.push_back({kind, std::move(folder), std::move(name), false});
        }
    }
    return rows;
}

std::optional<std::size_t> firstInvalidName(const std::vector<BoxNameRow>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].changed && !isValidBoxName(rows[i].name)) {
            return i;
        }
    }
    return std::nullopt;
}

int saveBoxNames(const std::string& boxFolder, const std::vector<BoxNameRow>& rows, ProgressSink* progress,
                 const Pump& pump) {
    std::atomic<int> noCancel{0};
    CFileMng mng(noCancel);
    if (progress) {
        progress->setRange(static_cast<int>(rows.size()));
    }
    int failed = 0;
    int position = 0;
    for (const auto& row : rows) {
        const std::string path = boxPath(boxFolder, row.kind, row.folder);
        // A name the caller did not check, or a row whose folder went, is not written.
        const bool writable = row.changed ? isValidBoxName(row.name) : !hasControlCharacter(row.name);
        if (!isBoxSubfolder(boxFolder, row.kind, row.folder) || !writable ||
            mng.writeBoxName(path, row.name) != FileOp::Done) {
            ++failed;
        }
        if (progress) {
            progress->setPosition(++position);
        }
        pumpOnce(pump);
    }
    return failed;
}

}  // namespace voxmg::boxes
