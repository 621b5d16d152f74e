#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/mail/mail_outbox.h"

struct sqlite3;

// The mail ledger: what became of each message the sender has met, in one SQLite file in the
// settings folder. What is due is not kept here but computed from the box folders against it
// (see mail_due.h), so a message stored while the ledger could not be written, or whose
// download was killed before anything was noted, is still found and mailed later.
//
// A message is known by its box folder and its file name, which stay the same through a move
// to another box and a download of the same message again: once sent, held back, given up or
// found older than its box's mail, it is never mailed again by itself.
namespace voxmg::mail {

inline constexpr std::string_view kLedgerFileName = "VOXMG-mail.db";

class MailLedger {
public:
    enum class Status : int {
        Ready = 0,
        Missing = 1,     // no ledger yet, and it was not to be made
        Damaged = 2,     // the file is not a ledger (or is broken): left as it is
        CannotOpen = 3,  // a folder by that name, no permission, a missing settings folder
    };

    static std::string pathIn(const std::string& settingsFolder);

    // Opens the ledger of `settingsFolder`, making it when `create` and it is missing. A writer
    // kept busy by another program is waited for up to `busyWait`.
    explicit MailLedger(const std::string& settingsFolder, bool create = true,
                        std::chrono::milliseconds busyWait = std::chrono::seconds(5));
    ~MailLedger();
    MailLedger(const MailLedger&) = delete;
    MailLedger& operator=(const MailLedger&) = delete;

    Status status() const { return m_status; }
    bool ready() const { return m_status == Status::Ready; }
    const std::string& path() const { return m_path; }
    // The settings folder it lies in.
    const std::string& folder() const { return m_folder; }
    // Nothing stored before this time is taken for new: when the ledger was made where mail had
    // run before (an earlier version mailed those, or they went with a ledger that was lost);
    // 0 for a ledger made with the mail's first setup.
    std::time_t created() const;
    // SQLite's own words for why it is not ready, or for the last write that failed.
    const std::string& error() const { return m_error; }

    // The messages that wait, failed or are held back, oldest first.
    std::vector<MailJob> jobs() const;
    std::optional<MailJob> find(const std::string& id) const;

    // What the ledger holds for the messages of one box folder, by file name.
    struct Entry {
        std::int64_t row = 0;
        JobState state = JobState::Waiting;
        std::time_t nextAttempt = 0;
        std::string path;  // the waiting ones' only
        std::string box;
        bool seen = false;  // met by the look under way
    };
    std::unordered_map<std::string, Entry> entriesOf(const std::string& boxFolder) const;

    // Writes a message's row: a job without an id is added (and gets its id), any other is
    // replaced by id. False when the write failed (a full disk): nothing changed.
    bool save(MailJob& job);
    // Adds the rows of messages found older than their box's mail, in one transaction.
    bool addOld(const std::vector<MailJob>& jobs);
    // Adds messages found due, waiting, in one transaction. One that another program added
    // meanwhile is taken as it stands there: kept in `jobs` while it waits, dropped otherwise.
    bool addDue(std::vector<MailJob>& jobs);
    bool remove(const std::string& id);
    // A failed or held-back message waits again, due now, sent even when silent.
    bool retry(const std::string& id, std::time_t now);
    // A failed or held-back message is given up: never mailed by itself again.
    bool discard(const std::string& id);
    // Puts a message back to waiting, due now, whatever became of it (mailing it again by
    // hand); nothing when it waits already. Result as Outbox::enqueue said it.
    EnqueueResult requeue(MailJob job, std::time_t now);

    // When the mail of a box begins: messages stored before are not mailed. Set once, on the
    // box's first pass, to `from`; later calls give back the stored time.
    std::optional<std::time_t> dueFrom(const std::string& box, std::time_t from);

    // The box folder `oldName` was renamed `newName`: its rows and box times follow, their
    // paths under `oldPath` rewritten under `newPath`.
    bool renameBoxFolder(std::string_view oldName, std::string_view newName, std::string_view oldPath,
                         std::string_view newPath);

    // Runs `writes` in one transaction: all of them or none.
    bool transaction(const std::function<bool()>& writes);

private:
    bool exec(const char* sql);
    bool prepareSchema();

    sqlite3* m_db = nullptr;
    std::string m_folder;
    std::string m_path;
    std::string m_error;
    Status m_status = Status::CannotOpen;
};

// Moves the job files of an outbox folder (`settingsFolder`/mail-outbox) into the ledger: each
// that is not there yet becomes its row, then its file goes. A ".job" file that cannot be read
// (torn, empty, foreign) is renamed ".job.unreadable", so it is named once and kept for a look;
// its message, if new, is found in its box all the same.
struct JobFileMove {
    int moved = 0;
    std::vector<std::string> unreadable;  // the paths they have now
};
JobFileMove migrateJobFiles(MailLedger& ledger, const std::string& settingsFolder);

// The job id a message is shown and retried by.
std::string ledgerId(std::int64_t row);

// The box folder of a box key ("本社/rusuroku/001" -> "本社").
std::string boxFolderOf(std::string_view box);

}  // namespace voxmg::mail
