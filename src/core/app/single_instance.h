#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace voxmg {

// The title the lock file is named after, shared by the program and the tool's backup.
inline constexpr std::string_view kInstanceTitle = "VOXMG-Zu";

// The guard that keeps a second copy of the program from running for the same user: an
// exclusive flock on a lock file named after the application title. The lock goes with the
// process, so a crashed instance never blocks the next start.
class InstanceLock {
public:
    // Nullptr when another instance holds the lock (or the file cannot be opened).
    static std::unique_ptr<InstanceLock> acquire(const std::string& lockPath);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

private:
    explicit InstanceLock(int fd) : m_fd(fd) {}
    int m_fd;
};

// "$XDG_RUNTIME_DIR/<title>.lock"; without a runtime folder "/tmp/<title>-<uid>.lock", so
// users sharing /tmp do not block each other.
std::string instanceLockPath(std::string_view title);

}  // namespace voxmg
