#include "core/store/data_lock.h"

#include <fcntl.h>
#include <sys/file.h>
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

// How often a waiting run looks again. flock has no timed wait; a short poll keeps the wait
// bounded and lets a killed holder's lock go within one period.
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

fileio::Fd openLockFile(const std::string& path) {
    // Read-write and created when missing; a lock file another user made (mode 0644) opens
    // read-only, which flock accepts just the same.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0 && errno == EACCES) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    return fileio::Fd(fd);
}

enum class Attempt { Taken, Busy, NoLocks };

// One try: shares a lock this process holds, or takes the file's lock without waiting.
Attempt tryTake(fileio::Fd& fd, const DataFolderLock::Key& key) {
    std::lock_guard guard(g_heldMutex);
    auto& held = heldLocks();
    if (auto it = held.find(key); it != held.end()) {
        ++it->second.takes;
        return Attempt::Taken;
    }
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        return errno == EWOULDBLOCK ? Attempt::Busy : Attempt::NoLocks;
    }
    held.emplace(key, Held{std::move(fd), 1});
    return Attempt::Taken;
}

}  // namespace

DataFolderLock DataFolderLock::acquire(const std::string& dataFolder, std::chrono::milliseconds wait) {
    DataFolderLock lock;
    if (dataFolder.empty()) {
        return lock;
    }
    fileio::Fd fd = openLockFile(paths::join(dataFolder, kFileName));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
        return lock;
    }
    const Key key{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        switch (tryTake(fd, key)) {
            case Attempt::Taken:
                lock.m_key = key;
                lock.m_status = Status::Held;
                return lock;
            case Attempt::NoLocks:
                return lock;  // a file system without locks: nothing to wait for
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
    : m_key(other.m_key), m_status(std::exchange(other.m_status, Status::Unlocked)) {}

DataFolderLock& DataFolderLock::operator=(DataFolderLock&& other) noexcept {
    if (this != &other) {
        release();
        m_key = other.m_key;
        m_status = std::exchange(other.m_status, Status::Unlocked);
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
