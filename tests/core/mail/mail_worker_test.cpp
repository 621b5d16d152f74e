#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

#include "core/mail/mail_worker.h"

using namespace voxmg::mail;
using namespace std::chrono_literals;

namespace {

// Waits up to two seconds for `done`.
template <typename F>
bool eventually(F done) {
    for (int i = 0; i < 500 && !done(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

TEST(MailWorker, PassesAtStartAndWhenWokenNotBetween) {
    std::atomic<int> passes{0};
    MailWorker worker([&]() -> std::optional<std::time_t> {
        ++passes;
        return std::nullopt;  // nothing waits: sleep the longest wait
    });
    ASSERT_TRUE(eventually([&] { return passes == 1; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(passes, 1) << "no job waits: no pass until woken";
    worker.wake();
    EXPECT_TRUE(eventually([&] { return passes == 2; }));
}

TEST(MailWorker, ADueJobBringsThePassBack) {
    std::atomic<int> passes{0};
    std::atomic<std::time_t> now{1000};
    MailWorker worker(
        [&]() -> std::optional<std::time_t> {
            ++passes;
            return now + 1;  // the next job comes due in a second
        },
        std::chrono::seconds(300), [&] { return now.load(); });
    EXPECT_TRUE(eventually([&] { return passes >= 2; })) << "the worker slept past the due job";
}

// A job file may hold any time at all: the wait stays between a second and the longest wait.
TEST(MailWorker, ExtremeDueTimesWaitWithinBounds) {
    for (const std::time_t due :
         {std::numeric_limits<std::time_t>::min(), std::time_t{0}, std::numeric_limits<std::time_t>::max()}) {
        std::atomic<int> passes{0};
        const auto start = std::chrono::steady_clock::now();
        {
            MailWorker worker(
                [&]() -> std::optional<std::time_t> {
                    ++passes;
                    return due;
                },
                std::chrono::hours(1), [] { return std::time_t{1000}; });
            if (due <= 1000) {
                EXPECT_TRUE(eventually([&] { return passes >= 2; }))
                    << due << ": a past job comes back in a second";
            } else {
                std::this_thread::sleep_for(50ms);
                EXPECT_EQ(passes, 1) << due;
            }
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, 8s) << due;
    }
}

TEST(MailWorker, StopsAtOnceWhileWaitingLong) {
    const auto start = std::chrono::steady_clock::now();
    {
        MailWorker worker([]() -> std::optional<std::time_t> { return std::nullopt; }, std::chrono::hours(1));
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
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
