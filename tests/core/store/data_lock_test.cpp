#include "core/store/data_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "store_fixtures.h"
#include "support/lock_holder.h"

namespace voxmg::test {
namespace {

using std::chrono::milliseconds;
using Status = DataFolderLock::Status;

class DataLockTest : public TempFolderTest {
protected:
    // Asks another process whether the data folder's lock is free: a fresh process that opens
    // the lock file on its own and tries the same kind of lock.
    bool freeForOthers() const {
        const std::string lockFile = path(".voxmg.lock");
        const pid_t child = ::fork();
        if (child == 0) {
            const int fd = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
            struct flock whole {};
            whole.l_type = F_WRLCK;
            whole.l_whence = SEEK_SET;
            ::_exit(fd >= 0 && ::fcntl(fd, F_OFD_SETLK, &whole) == 0 ? 0 : 7);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
};

TEST_F(DataLockTest, HeldUntilReleasedAndThenFreeForOthers) {
    {
        DataFolderLock lock = DataFolderLock::acquire(m_folder.path());
        EXPECT_EQ(lock.status(), Status::Held);
        EXPECT_FALSE(freeForOthers());
        DataFolderLock moved = std::move(lock);
        EXPECT_FALSE(freeForOthers());
    }
    EXPECT_TRUE(freeForOthers());
}

TEST_F(DataLockTest, AnotherProcessMakesItWaitBoundedThenAKilledHolderLetsGo) {
    LockHolder holder(m_folder.path());
    ASSERT_TRUE(holder.held());
    const auto started = std::chrono::steady_clock::now();
    DataFolderLock busy = DataFolderLock::acquire(m_folder.path(), milliseconds(300));
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(busy.status(), Status::Busy);
    EXPECT_FALSE(busy.mayProceed());
    EXPECT_GE(waited, milliseconds(300));
    EXPECT_LT(waited, milliseconds(5000));

    holder.letGo();
    DataFolderLock after = DataFolderLock::acquire(m_folder.path(), milliseconds(2000));
    EXPECT_EQ(after.status(), Status::Held);
}

TEST_F(DataLockTest, AWaitingRunGetsTheLockWhenTheHolderEnds) {
    LockHolder holder(m_folder.path());
    ASSERT_TRUE(holder.held());
    std::thread ender([&holder] {
        std::this_thread::sleep_for(milliseconds(200));
        holder.letGo();
    });
    DataFolderLock lock = DataFolderLock::acquire(m_folder.path(), milliseconds(10000));
    ender.join();
    EXPECT_EQ(lock.status(), Status::Held);
}

// An operation that starts another in the same process (a backup falling due during a move)
// shares the lock; other processes stay out until the last take is given back. The inner take
// opens and closes a descriptor of its own, which must not drop the outer lock (it would with
// a classic POSIX lock, and with flock on NFS).
TEST_F(DataLockTest, TakesInOneProcessShareTheLock) {
    DataFolderLock outer = DataFolderLock::acquire(m_folder.path());
    {
        DataFolderLock inner = DataFolderLock::acquire(m_folder.path(), milliseconds(0));
        EXPECT_EQ(inner.status(), Status::Held);
    }
    EXPECT_FALSE(freeForOthers());
    outer.release();
    EXPECT_TRUE(freeForOthers());
}

// A lock file that cannot be used is a refusal naming why, never a run without the lock.
TEST_F(DataLockTest, ALockFileThatCannotBeUsedRefuses) {
    struct Case {
        const char* what;
        std::function<void(const std::string& lockFile)> make;
        int error;
    };
    const std::string outside = path("outside.txt");
    const Case cases[] = {
        {"a folder", [](const std::string& f) { ::mkdir(f.c_str(), 0755); }, EISDIR},
        {"a link to a file elsewhere", [&](const std::string& f) { ::symlink(outside.c_str(), f.c_str()); },
         ELOOP},
        {"a dangling link", [](const std::string& f) { ::symlink("/nonexistent/x", f.c_str()); }, ELOOP},
        {"a FIFO", [](const std::string& f) { ::mkfifo(f.c_str(), 0644); }, EINVAL},
    };
    for (const Case& c : cases) {
        TempFolder data;
        c.make(data.file(".voxmg.lock"));
        DataFolderLock lock = DataFolderLock::acquire(data.path(), milliseconds(100));
        EXPECT_EQ(lock.status(), Status::Refused) << c.what;
        EXPECT_FALSE(lock.mayProceed()) << c.what;
        EXPECT_EQ(lock.error(), c.error) << c.what;
    }
    EXPECT_FALSE(std::filesystem::exists(outside)) << "the lock file was made through the link";
}

TEST_F(DataLockTest, AReadOnlyFolderOrAnotherUsersLockFileRefuses) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes anywhere";
    }
    const std::string readOnly = mkdir("ro");
    ::chmod(readOnly.c_str(), 0555);
    EXPECT_EQ(DataFolderLock::acquire(readOnly).status(), Status::Refused);
    ::chmod(readOnly.c_str(), 0755);

    const std::string foreign = mkdir("foreign");
    writeFile(foreign + "/.voxmg.lock", "");
    ::chmod((foreign + "/.voxmg.lock").c_str(), 0400);  // as another user's file with mode 0600
    DataFolderLock lock = DataFolderLock::acquire(foreign);
    EXPECT_EQ(lock.status(), Status::Refused);
    EXPECT_EQ(lock.error(), EACCES);
}

TEST_F(DataLockTest, AFolderWithoutALockFileGoesOnUnlocked) {
    for (const std::string& folder : {path("missing"), std::string()}) {
        DataFolderLock lock = DataFolderLock::acquire(folder, milliseconds(100));
        EXPECT_EQ(lock.status(), Status::Unlocked) << folder;
        EXPECT_TRUE(lock.mayProceed());
    }
}

TEST(DataFolderOfMessage, FromBoxAndResponseMessages) {
    struct Case {
        const char* message;
        const char* dataFolder;
    };
    const Case cases[] = {
        {"/data/office/rusuroku/201/20261207120000.vmdat", "/data"},
        {"/data/office/naisen/205/x.vminf", "/data"},
        {"/srv/voice/data/office/outou/001.vmdat", "/srv/voice/data"},
        {"rusuroku/201/x.vmdat", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dataFolderOfMessage(c.message), c.dataFolder) << c.message;
    }
}

}  // namespace
}  // namespace voxmg::test
