#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg {
namespace {

// Loading a folder is serialized across every CFileMng of the process: the list windows and
// the background download share the folders, and one load at a time keeps the disk calm.
std::mutex& folderLock() {
    static std::mutex lock;
    return lock;
}

// The path field is a fixed buffer; a longer path could not name its file again, so such a
// file is left out rather than listed under a cut path.
constexpr std::size_t kMaxPathUnits = 259;

}  // namespace

std::optional<FILESTS_INFO> CFileMng::loadOne(int fd, const std::string& path,
                                              const std::u16string& boxName) const {
    auto bytes = fileio::readAt(fd, 0, kFramesOffset);
    if (!bytes || bytes->size() < kFramesOffset) {
        return std::nullopt;  // too short to be a message file: never listed
    }
    std::span<const std::uint8_t> view(*bytes);
    auto record = decodeRecord(view.first(kRecordSize));
    auto header = UnitHeader::fromBytes(view.subspan(kRecordSize));
    if (!record || !header || !isValidMessage(path, *record, *header)) {
        return std::nullopt;
    }
    // Box number, box name and path stored in the file are not trusted: a file copied or
    // moved from elsewhere carries the old ones.
    std::u16string widePath = text::utf16FromUtf8(path);
    if (widePath.size() > kMaxPathUnits) {
        return std::nullopt;
    }
    FILESTS_INFO::setText(record->path, widePath);
    FILESTS_INFO::setText(record->boxNumber, naming::boxNumberFromName(paths::fileName(path)));
    FILESTS_INFO::setText(record->boxName, boxName);
    return record;
}

LoadResult CFileMng::loadBoxFolder(const std::string& folder, std::vector<FILESTS_INFO>& dest) const {
    std::lock_guard guard(folderLock());
    std::u16string boxName(text::cutToWidth(readBoxName(folder), 10));
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) {
        dest.clear();
        return LoadResult::Loaded;
    }
    // Names first, so the records can be allocated for what the folder holds: a folder of a
    // few messages costs a few records, not the room for the largest list.
    // A FIFO, a device or a symbolic link is not a message, whatever its name: it is left out
    // rather than opened (a FIFO would block the load for ever). Most file systems say what
    // an entry is in the listing; for the others it is asked.
    std::vector<std::string> names;
    std::vector<bool> plain;  // the listing said: a regular file
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view name(entry->d_name);
        bool maybeFile = entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN;
        if (maybeFile && name != "." && name != ".." && naming::isMessageName(name)) {
            names.emplace_back(name);
            plain.push_back(entry->d_type == DT_REG);
        }
    }
    int dirFd = ::dirfd(dir.get());
    std::vector<FILESTS_INFO> found;
    found.reserve(std::min(names.size(), kMaxRecords));
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        if (found.size() >= kMaxRecords) {
            break;
        }
        if (naming::isInfoName(name)) {
            // The voice data file of the same message stands for it.
            std::string voice = naming::partnerName(name);
            struct stat st {};
            if (voice != name && ::fstatat(dirFd, voice.c_str(), &st, 0) == 0) {
                continue;
            }
        }
        struct stat st {};
        if (!plain[i] &&
            (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))) {
            continue;
        }
        fileio::Fd fd = fileio::openListedFileAt(dirFd, name);
        if (!fd.valid()) {
            return LoadResult::CannotOpen;
        }
        if (auto record = loadOne(fd.get(), paths::join(folder, name), boxName)) {
            found.push_back(*record);
        }
    }
    dest = std::move(found);
    return LoadResult::Loaded;
}

}  // namespace voxmg
