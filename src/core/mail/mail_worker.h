#pragma once

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/mail/mail_outbox.h"

// The window's mail sender: one thread that runs a pass over the outbox when woken (a
// download put a message in, the user sent one again) and when the earliest paused job comes
// due. It never touches the main unit's connection, so downloads never wait for it, nor it for
// them. Every wait is bounded; the destructor stops and joins the thread.
namespace voxmg::mail {

struct OutboxCounts {
    int waiting = 0;
    int failed = 0;
    int silent = 0;
};
OutboxCounts countJobs(const std::vector<MailJob>& jobs);

class MailWorker {
public:
    // `pass` sends what is due and returns when the next job will be due (nothing: none waits).
    // `longestWait` bounds the sleep, so a job put in by another program is seen in time.
    // `asleep`, when given, hears how long the thread is about to sleep after each pass (tests
    // wait for it instead of for a time).
    explicit MailWorker(
        std::function<std::optional<std::time_t>()> pass,
        std::chrono::seconds longestWait = std::chrono::minutes(5),
        std::function<std::time_t()> clock = [] { return std::time(nullptr); },
        std::function<void(std::chrono::seconds)> asleep = {});
    ~MailWorker();
    MailWorker(const MailWorker&) = delete;
    MailWorker& operator=(const MailWorker&) = delete;

    // Runs a pass soon (at once when the thread is waiting).
    void wake();

private:
    void run();

    std::function<std::optional<std::time_t>()> m_pass;
    std::chrono::seconds m_longestWait;
    std::function<std::time_t()> m_clock;
    std::function<void(std::chrono::seconds)> m_asleep;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_woken = true;  // the first pass runs at start: jobs may wait from the last run
    bool m_stopping = false;
    std::thread m_thread;  // last: started when everything above is ready
};

}  // namespace voxmg::mail
