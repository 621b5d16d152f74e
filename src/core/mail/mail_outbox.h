#pragma once

#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The mail outbox folder under the settings folder: the sender's lock and the silence marks of
// the messages the sender measured. What each message's mail became is kept in the mail ledger
// (mail_ledger.h); the job files earlier versions kept here are read once, to move them there.
namespace voxmg::mail {

enum class JobState : int {
    Waiting = 0,  // to be sent at `nextAttempt`
    Failed = 1,   // refused for good; kept with the reply until sent again by hand
    Silent = 2,   // no speech and silent messages are not sent; kept for the mark
    Sent = 3,     // the server took it
    GivenUp = 4,  // given up by hand (送らずに消す)
    Old = 5,      // stored before its box's mail began
};

enum class SilenceMark : int { Unknown = 0, Speech = 1, Silent = 2 };

struct MailJob {
    std::string id;           // the ledger's number for it, as text
    std::string messagePath;  // the voice file, where it was last found
    std::string box;          // box key, "本社/rusuroku/001"
    std::string boxFolder;    // with fileName, who the message is: "本社"
    std::string fileName;     // "202412020900_MON_R001_00001.vmdat"
    int attempts = 0;
    std::time_t queued = 0;
    std::time_t nextAttempt = 0;
    std::string lastReply;  // the server's last answer, or why it could not be reached
    std::string reason;     // the last failure in a few Japanese words; lastReply is its detail
    JobState state = JobState::Waiting;
    SilenceMark silence = SilenceMark::Unknown;
    bool sendAnyway = false;  // put back by hand: sent even when silent
    std::time_t sent = 0;     // when the server took it
};

inline constexpr std::string_view kOutboxFolderName = "mail-outbox";

// A job file of an earlier version; nothing when it is not one (a torn or foreign file).
std::optional<MailJob> parseJob(std::string_view text);

enum class EnqueueResult : int { Queued = 0, AlreadyQueued = 1, WriteFailed = 2 };

class Outbox {
public:
    // `folder` is made (0700) when missing.
    explicit Outbox(std::string folder);
    static std::string folderIn(const std::string& settingsFolder);

    const std::string& folder() const { return m_folder; }

    // Remembers that the message named `baseName` holds no speech. The mark outlives its mail
    // (a silent message that was mailed all the same keeps it) and follows the message to
    // another box; the recording info itself is never changed for it.
    bool markSilent(std::string_view baseName) const;
    // Notes a data folder the sender is to look in besides the program's own. Kept outside the
    // ledger, in a small file read without writing, so a download goes on while the settings
    // folder is full and the ledger cannot be opened.
    bool noteDataFolder(std::string_view dataFolder) const;
    // Notes that a ledger was made here (see kLedgerMadeName).
    bool noteLedgerMade() const;

private:
    std::string m_folder;
};

inline constexpr std::string_view kSilentMarksName = "silent-marks";

inline constexpr std::string_view kDataFoldersName = "data-folders";
// Made with the outbox folder by this version (an earlier version's folder lacks it), and noted
// once a ledger was made here: together they tell an upgrade and a lost ledger from a ledger
// that could not be made yet.
inline constexpr std::string_view kLedgerOutboxName = "ledger-outbox";
inline constexpr std::string_view kLedgerMadeName = "ledger-made";

// The data folders noted in the outbox `folder`, in the order they were noted.
std::vector<std::string> notedDataFolders(const std::string& folder);

// The base names of the messages marked silent in the outbox `folder`; empty when there is
// none (mail never set up). Reading makes nothing.
std::set<std::string, std::less<>> silentMarks(const std::string& folder);
// The name a message is marked by: its voice or info file's name without the extension.
std::string silentMarkKey(std::string_view messagePath);
// Whether the message at `messagePath` is marked silent in the outbox of `settingsFolder`.
bool markedSilent(const std::string& settingsFolder, std::string_view messagePath);

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
