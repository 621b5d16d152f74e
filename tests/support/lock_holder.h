#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "core/store/data_lock.h"

namespace voxmg::test {

// Another process holding a data folder's lock, as a voxmgctl run would, until let go or
// destroyed. Forked before the caller takes any lock of its own, so the child shares none.
class LockHolder {
public:
    explicit LockHolder(const std::string& dataFolder) {
        int ready[2];
        if (::pipe(ready) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            DataFolderLock lock = DataFolderLock::acquire(dataFolder);
            const char held = lock.status() == DataFolderLock::Status::Held ? 'y' : 'n';
            (void)!::write(ready[1], &held, 1);
            ::pause();
            ::_exit(0);
        }
        char held = 0;
        m_held = m_pid > 0 && ::read(ready[0], &held, 1) == 1 && held == 'y';
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~LockHolder() { letGo(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool held() const { return m_held; }
    // Ends the holder the hard way: a killed run's lock goes with it.
    void letGo() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            m_held = false;
        }
    }

private:
    pid_t m_pid = -1;
    bool m_held = false;
};

}  // namespace voxmg::test
