#include "core/store/data_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "core/base/paths.h"
#include "core/store/file_io.h"
#include "core/store/file_naming.h"

namespace voxmg {

namespace {

// How often a waiting run looks again. A blocking F_OFD_SETLKW has no time limit; a short poll
// keeps the wait bounded and lets a killed holder's lock go within one period.
constexpr std::chrono::milliseconds kPollPeriod{50};

// The locks this process holds, with how many takes share each.
struct Held {
    fileio::Fd fd;
    int takes = 0;
};
std::mutex g_heldMutex;
std::map<DataFolderLock::Key, Held>& heldLocks() {
    static std::map<DataFolderLock::Key, Held> held;
    return held;
}

// Read-write (a write lock needs it) and created when missing, readable and writable by whoever
// may write the folder. Never through a link, and a FIFO by that name does not block the open.
fileio::Fd openLockFile(const std::string& path) {
    return fileio::Fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666));
}

enum class Attempt { Taken, Busy, NoLocks, Failed };

Attempt lockWithoutWaiting(int fd) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    for (;;) {
        if (::fcntl(fd, F_OFD_SETLK, &whole) == 0) {
            return Attempt::Taken;
        }
        switch (errno) {
            case EINTR:
                continue;
            case EAGAIN:
            case EACCES:
                return Attempt::Busy;
            case ENOLCK:
            case EOPNOTSUPP:
            case EINVAL:
                return Attempt::NoLocks;
            default:
                return Attempt::Failed;
        }
    }
}

// One try: shares a lock this process holds, or takes the file's lock without waiting.
Attempt tryTake(fileio::Fd& fd, const DataFolderLock::Key& key, int& error) {
    std::lock_guard guard(g_heldMutex);
    auto& held = heldLocks();
    if (auto it = held.find(key); it != held.end()) {
        ++it->second.takes;
        return Attempt::Taken;
    }
    const Attempt attempt = lockWithoutWaiting(fd.get());
    error = errno;
    if (attempt == Attempt::Taken) {
        held.emplace(key, Held{std::move(fd), 1});
    }
    return attempt;
}

bool folderExists(const std::string& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

DataFolderLock DataFolderLock::acquire(const std::string& dataFolder, std::chrono::milliseconds wait) {
    DataFolderLock lock;
    if (dataFolder.empty() || !folderExists(dataFolder)) {
        return lock;
    }
    fileio::Fd fd = openLockFile(dataLockPath(dataFolder));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        lock.m_error = !fd.valid() ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        lock.m_status = Status::Refused;
        return lock;
    }
    const Key key{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        int error = 0;
        switch (tryTake(fd, key, error)) {
            case Attempt::Taken:
                lock.m_key = key;
                lock.m_status = Status::Held;
                return lock;
            case Attempt::NoLocks:
                return lock;  // a file system without locks: nothing to wait for
            case Attempt::Failed:
                lock.m_error = error;
                lock.m_status = Status::Refused;
                return lock;
            case Attempt::Busy:
                break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            lock.m_status = Status::Busy;
            return lock;
        }
        std::this_thread::sleep_for(kPollPeriod);
    }
}

DataFolderLock::DataFolderLock(DataFolderLock&& other) noexcept
    : m_key(other.m_key), m_status(std::exchange(other.m_status, Status::Unlocked)), m_error(other.m_error) {}

DataFolderLock& DataFolderLock::operator=(DataFolderLock&& other) noexcept {
    if (this != &other) {
        release();
        m_key = other.m_key;
        m_status = std::exchange(other.m_status, Status::Unlocked);
        m_error = other.m_error;
    }
    return *this;
}

void DataFolderLock::release() {
    if (m_status != Status::Held) {
        return;
    }
    m_status = Status::Unlocked;
    std::lock_guard guard(g_heldMutex);
    auto& held = heldLocks();
    if (auto it = held.find(m_key); it != held.end() && --it->second.takes == 0) {
        held.erase(it);  // closing the last descriptor gives the lock back
    }
}

std::string dataLockPath(const std::string& dataFolder) {
    return paths::join(dataFolder, DataFolderLock::kFileName);
}

std::string dataFolderOfMessage(const std::string& messagePath) {
    std::string_view folder = paths::parentOf(messagePath);
    // A response message lies one level under the box folder, a box message two.
    const int upToBoxFolder = naming::isResponsePath(messagePath) ? 1 : 2;
    for (int i = 0; i < upToBoxFolder + 1 && !folder.empty(); ++i) {
        folder = paths::parentOf(folder);
    }
    return std::string(folder);
}

}  // namespace voxmg
