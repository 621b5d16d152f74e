#pragma once

#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The mail outbox: one small job file per message in a folder of its own under the settings
// folder. A job file only appears complete (written under a temporary name, synced, renamed)
// and goes only after the server took the whole mail, so a kill or an outage delays mail but
// never loses it.
namespace voxmg::mail {

enum class JobState : int {
    Waiting = 0,  // to be sent at `nextAttempt`
    Failed = 1,   // refused for good; kept with the reply until sent again by hand
    Silent = 2,   // no speech and silent messages are not sent; kept for the mark
};

enum class SilenceMark : int { Unknown = 0, Speech = 1, Silent = 2 };

struct MailJob {
    std::string id;           // the job file's name without ".job"
    std::string messagePath;  // the voice file
    std::string box;          // box key, "本社/rusuroku/001"
    int attempts = 0;
    std::time_t queued = 0;
    std::time_t nextAttempt = 0;
    std::string lastReply;  // the server's last answer, or why it could not be reached
    std::string reason;     // the last failure in a few Japanese words; lastReply is its detail
    JobState state = JobState::Waiting;
    SilenceMark silence = SilenceMark::Unknown;
    bool sendAnyway = false;  // put back by hand: sent even when silent
};

inline constexpr std::string_view kOutboxFolderName = "mail-outbox";

// The job file's text and back; nothing when it is not a job file (a torn or foreign file).
std::string jobText(const MailJob& job);
std::optional<MailJob> parseJob(std::string_view text, std::string id);

enum class EnqueueResult : int { Queued = 0, AlreadyQueued = 1, WriteFailed = 2 };

class Outbox {
public:
    // `folder` is made (0700) when missing.
    explicit Outbox(std::string folder);
    static std::string folderIn(const std::string& settingsFolder);

    const std::string& folder() const { return m_folder; }

    // A message put in twice keeps its first job: its attempts and pause stay. A job that failed
    // for good waits again, due now. The job file and its folder entry are synced.
    EnqueueResult enqueue(const std::string& messagePath, const std::string& box, std::time_t now) const;
    // Every job, oldest first. Files that are not jobs are left alone.
    std::vector<MailJob> jobs() const;
    std::optional<MailJob> find(const std::string& id) const;
    bool save(const MailJob& job) const;
    bool remove(const MailJob& job) const;
    // A failed or silent job waits again, due now, its count restarted; a silent one is sent.
    // False for a job that is waiting already (or none).
    bool retry(const std::string& id, std::time_t now) const;
    // Gives up a failed or silent job: it leaves the outbox unsent (its message stays where it
    // is). False for a job that is waiting (it may be on its way) or none.
    bool discard(const std::string& id) const;
    // Removes the temporary files of writes that a kill cut short, once they are older than
    // any write still under way could be; the number removed.
    int sweepLeftovers(std::time_t now) const;

    // Remembers that the message named `baseName` holds no speech. The mark outlives its job
    // (a silent message that was mailed all the same keeps it) and follows the message to
    // another box; the recording info itself is never changed for it.
    bool markSilent(std::string_view baseName) const;

private:
    std::string pathOf(const std::string& id) const;

    std::string m_folder;
};

inline constexpr std::string_view kSilentMarksName = "silent-marks";

// The base names of the messages marked silent in the outbox `folder`; empty when there is
// none (mail never set up). Reading makes nothing.
std::set<std::string, std::less<>> silentMarks(const std::string& folder);
// The name a message is marked by: its voice or info file's name without the extension.
std::string silentMarkKey(std::string_view messagePath);
// Whether the message at `messagePath` is marked silent in the outbox of `settingsFolder`.
bool markedSilent(const std::string& settingsFolder, std::string_view messagePath);

// The job id of a message: its file's base name and a hash of the whole path, so the same
// name in two box folders makes two jobs and the same file always the same one.
std::string jobIdFor(const std::string& messagePath);

// Held by one sender at a time (flock on a file in the outbox), so the window's sender and a
// timer's `voxmgctl mail-send` never send the same job together.
class OutboxLock {
public:
    explicit OutboxLock(const std::string& folder);
    ~OutboxLock();
    OutboxLock(const OutboxLock&) = delete;
    OutboxLock& operator=(const OutboxLock&) = delete;
    bool held() const { return m_fd >= 0; }
    // Not held because another sender holds it; otherwise the outbox folder could not be used.
    bool busy() const { return m_busy; }

private:
    int m_fd = -1;
    bool m_busy = false;
};

}  // namespace voxmg::mail
