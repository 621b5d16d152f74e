#include "core/mail/mail_worker.h"

#include <algorithm>

namespace voxmg::mail {

OutboxCounts countJobs(const std::vector<MailJob>& jobs) {
    OutboxCounts c;
    for (const MailJob& j : jobs) {
        ++(j.state == JobState::Failed ? c.failed : j.state == JobState::Silent ? c.silent : c.waiting);
    }
    return c;
}

MailWorker::MailWorker(std::function<std::optional<std::time_t>()> pass, std::chrono::seconds longestWait,
                       std::function<std::time_t()> clock, std::function<void(std::chrono::seconds)> asleep)
    : m_pass(std::move(pass)),
      m_longestWait(longestWait),
      m_clock(std::move(clock)),
      m_asleep(std::move(asleep)),
      m_thread([this] { run(); }) {}

MailWorker::~MailWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void MailWorker::wake() {
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_changed.notify_all();
}

void MailWorker::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        m_woken = false;
        lock.unlock();
        const std::optional<std::time_t> due = m_pass();
        lock.lock();
        // Sleep until the next job is due, at least a second (a job due now that failed again
        // gets its pause from the pass), at most the longest wait.
        std::chrono::seconds wait = m_longestWait;
        if (const std::time_t now = m_clock(); due) {
            // Compared before subtracting: the ledger may hold any time at all, and a later one
            // than now minus a positive now cannot overflow.
            const std::time_t left = *due <= now ? 1 : *due - now;
            wait = std::min(wait, std::chrono::seconds(left));
        }
        if (m_asleep) {
            lock.unlock();  // a wake meanwhile stays in m_woken
            m_asleep(wait);
            lock.lock();
        }
        m_changed.wait_for(lock, wait, [this] { return m_stopping || m_woken; });
    }
}

}  // namespace voxmg::mail
