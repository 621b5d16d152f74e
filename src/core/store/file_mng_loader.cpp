#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/store/box_links.h"
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

// O_NONBLOCK: a FIFO planted under a message name must not hold the load up; O_NOFOLLOW: a
// symbolic link is not a message.
constexpr int kListedFileFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

// The first bytes of an open file into `buffer`; how many were read (short at the end of
// the file), or -1.
ssize_t readHead(int fd, std::span<std::uint8_t> buffer) {
    std::size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::pread(fd, buffer.data() + got, buffer.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

}  // namespace

std::optional<FILESTS_INFO> CFileMng::loadOne(int fd, const std::string& path, std::size_t pathUnits,
                                              const std::u16string& boxName) const {
    std::array<std::uint8_t, kFramesOffset> bytes;
    if (readHead(fd, bytes) != static_cast<ssize_t>(bytes.size())) {
        return std::nullopt;  // too short to be a message file: never listed
    }
    std::span<const std::uint8_t> view(bytes);
    auto record = decodeRecord(view.first(kRecordSize));
    auto header = UnitHeader::fromBytes(view.subspan(kRecordSize));
    if (!record || !header || !isValidMessage(path, *record, *header) || pathUnits > kMaxPathUnits) {
        return std::nullopt;
    }
    // Box number, box name and path stored in the file are not trusted: a file copied or
    // moved from elsewhere carries the old ones.
    FILESTS_INFO::setText(record->path, u"");
    FILESTS_INFO::setText(record->boxNumber, naming::boxNumberFromName(paths::fileName(path)));
    FILESTS_INFO::setText(record->boxName, boxName);
    return record;
}

FolderListing CFileMng::listBoxFolder(const std::string& folder) const {
    std::lock_guard guard(folderLock());
    FolderListing out;
    if (isLinkedBox(folder)) {
        return out;  // outside the data folder: listed as a box that cannot be opened
    }
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) {
        return out;
    }
    out.opened = true;
    // A FIFO, a device or a symbolic link is not a message, whatever its name: it is left out
    // rather than opened. Most file systems say what an entry is in the listing; for the
    // others the open file is asked.
    std::size_t infoFiles = 0;
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view name(entry->d_name);
        const bool maybeFile = entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN;
        if (maybeFile && name != "." && name != ".." && naming::isMessageName(name)) {
            out.names.append(name);
            out.ends.push_back(static_cast<std::uint32_t>(out.names.size()));
            out.plain.push_back(entry->d_type == DT_REG);
            infoFiles += naming::isInfoName(name) ? 1 : 0;
        }
    }
    out.messages = out.size() - infoFiles;
    if (infoFiles > 0) {
        std::unordered_set<std::string_view> listed;
        for (std::size_t i = 0; i < out.size(); ++i) {
            listed.insert(out.name(i));
        }
        for (std::size_t i = 0; i < out.size(); ++i) {
            const std::string_view name = out.name(i);
            if (naming::isInfoName(name)) {
                const std::string voice = naming::partnerName(name);
                out.messages += voice == name || listed.count(voice) == 0 ? 1 : 0;
            }
        }
    }
    return out;
}

LoadResult CFileMng::loadListedFolder(const std::string& folder, const FolderListing& listing,
                                      std::size_t limit, const TakeRecord& take) const {
    std::lock_guard guard(folderLock());
    loadListed(folder, listing, limit, take, true);
    return LoadResult::Loaded;
}

bool CFileMng::loadListed(const std::string& folder, const FolderListing& listing, std::size_t limit,
                          const TakeRecord& take, bool skipUnopened) const {
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        return true;  // gone since it was listed: nothing to list
    }
    FdCloser closeDir{dirFd};
    const std::u16string boxName(text::cutToWidth(readBoxName(folder), 10));
    std::string path = paths::withTrailingSeparator(folder);
    const std::size_t folderUnits = text::utf16FromUtf8(path).size();
    const std::size_t pathStart = path.size();
    std::size_t taken = 0;
    for (std::size_t i = 0; i < listing.size() && taken < limit; ++i) {
        const std::string name(listing.name(i));
        if (naming::isInfoName(name)) {
            // The voice data file of the same message stands for it.
            const std::string voice = naming::partnerName(name);
            struct stat st {};
            if (voice != name && ::fstatat(dirFd, voice.c_str(), &st, 0) == 0) {
                continue;
            }
        }
        const int fd = ::openat(dirFd, name.c_str(), kListedFileFlags);
        if (fd < 0) {
            if (errno == ELOOP && !listing.plain[i]) {
                continue;  // a symbolic link the listing could not tell apart
            }
            if (skipUnopened) {
                continue;
            }
            return false;
        }
        FdCloser closeFile{fd};
        struct stat st {};
        if (!listing.plain[i] && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            continue;
        }
        path.resize(pathStart);
        path += name;
        const std::u16string wideName = text::utf16FromUtf8(name);
        if (auto record = loadOne(fd, path, folderUnits + wideName.size(), boxName)) {
            ++taken;
            if (!take(*record, wideName)) {
                break;
            }
        }
    }
    return true;
}

LoadResult CFileMng::loadBoxFolder(const std::string& folder, std::vector<FILESTS_INFO>& dest) const {
    FolderListing listing = listBoxFolder(folder);
    std::lock_guard guard(folderLock());
    std::vector<FILESTS_INFO> found;
    // Allocated for what the folder holds: a folder of a few messages costs a few records.
    found.reserve(std::min(listing.size(), kMaxRecords));
    const std::u16string folderWide = text::utf16FromUtf8(paths::withTrailingSeparator(folder));
    const bool whole = loadListed(
        folder, listing, kMaxRecords,
        [&](const FILESTS_INFO& record, std::u16string_view name) {
            found.push_back(record);
            FILESTS_INFO::setText(found.back().path, folderWide + std::u16string(name));
            return true;
        },
        false);
    if (!whole) {
        return LoadResult::CannotOpen;
    }
    dest = std::move(found);
    return LoadResult::Loaded;
}

}  // namespace voxmg
