#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <vector>

#include "core/mail/mail_worker.h"

using namespace voxmg::mail;
using namespace std::chrono_literals;

namespace {

// What the worker's thread reports as it goes to sleep after each pass.
struct Sleeps {
    std::mutex m;
    std::condition_variable changed;
    std::vector<std::chrono::seconds> waits;

    std::function<void(std::chrono::seconds)> hook() {
        return [this](std::chrono::seconds wait) {
            std::lock_guard lock(m);
            waits.push_back(wait);
            changed.notify_all();
        };
    }
    // Until the thread has gone to sleep `n` times (a minute at most, should it never).
    bool until(std::size_t n) {
        std::unique_lock lock(m);
        return changed.wait_for(lock, std::chrono::minutes(1), [&] { return waits.size() >= n; });
    }
    std::chrono::seconds last() {
        std::lock_guard lock(m);
        return waits.back();
    }
};

TEST(MailWorker, PassesAtStartAndWhenWokenNotBetween) {
    std::atomic<int> passes{0};
    Sleeps sleeps;
    MailWorker worker(
        [&]() -> std::optional<std::time_t> {
            ++passes;
            return std::nullopt;  // nothing waits: sleep the longest wait
        },
        std::chrono::minutes(5), [] { return std::time(nullptr); }, sleeps.hook());
    ASSERT_TRUE(sleeps.until(1));
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(sleeps.last(), std::chrono::minutes(5)) << "no job waits: asleep until woken";
    worker.wake();
    ASSERT_TRUE(sleeps.until(2));
    EXPECT_EQ(passes, 2);
}

// The ledger may hold any time at all: the wait stays between a second and the longest wait.
TEST(MailWorker, DueTimesSetTheSleepWithinBounds) {
    const std::pair<std::time_t, std::chrono::seconds> table[] = {
        {std::numeric_limits<std::time_t>::min(), 1s},
        {0, 1s},
        {1000, 1s},
        {1001, 1s},
        {1030, 30s},
        {std::numeric_limits<std::time_t>::max(), std::chrono::hours(1)},
    };
    for (const auto& [due, expected] : table) {
        Sleeps sleeps;
        MailWorker worker([due = due]() -> std::optional<std::time_t> { return due; }, std::chrono::hours(1),
                          [] { return std::time_t{1000}; }, sleeps.hook());
        ASSERT_TRUE(sleeps.until(1)) << due;
        EXPECT_EQ(sleeps.last(), expected) << due;
    }
}

TEST(MailWorker, StopsAtOnceWhileWaitingLong) {
    const auto start = std::chrono::steady_clock::now();
    {
        Sleeps sleeps;
        MailWorker worker([]() -> std::optional<std::time_t> { return std::nullopt; }, std::chrono::hours(1),
                          [] { return std::time(nullptr); }, sleeps.hook());
        ASSERT_TRUE(sleeps.until(1));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(OutboxState, Counts) {
    std::vector<MailJob> jobs(4);
    jobs[0].nextAttempt = 500;
    jobs[1].nextAttempt = 300;
    jobs[2].state = JobState::Failed;
    jobs[2].nextAttempt = 100;
    jobs[3].state = JobState::Silent;
    const OutboxCounts c = countJobs(jobs);
    EXPECT_EQ(c.waiting, 2);
    EXPECT_EQ(c.failed, 1);
    EXPECT_EQ(c.silent, 1);
}

}  // namespace
