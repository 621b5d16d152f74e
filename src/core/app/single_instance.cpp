#include "core/app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cstdlib>

namespace voxmg {

std::unique_ptr<InstanceLock> InstanceLock::acquire(const std::string& lockPath) {
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
}

InstanceLock::~InstanceLock() {
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
}

std::string instanceLockPath(std::string_view title) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return std::string(runtime) + "/" + std::string(title) + ".lock";
    }
    return "/tmp/" + std::string(title) + "-" + std::to_string(::getuid()) + ".lock";
}

}  // namespace voxmg
