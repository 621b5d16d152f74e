#include "core/store/data_lock.h"

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "store_fixtures.h"
#include "support/lock_holder.h"

namespace voxmg::test {
namespace {

using std::chrono::milliseconds;
using Status = DataFolderLock::Status;

class DataLockTest : public TempFolderTest {
protected:
    // Asks another process (util-linux flock) whether the data folder's lock is free.
    bool freeForOthers() const {
        const std::string command = "flock -n -E 7 '" + path(".voxmg.lock") + "' true";
        return WEXITSTATUS(std::system(command.c_str())) == 0;
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
// shares the lock; other processes stay out until the last take is given back.
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
