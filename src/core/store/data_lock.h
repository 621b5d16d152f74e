#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace voxmg {

// One writer at a time on a data folder. The window and voxmgctl, or two voxmgctl runs, may
// work on the same data folder; every operation that changes it (moves, copies, deletions,
// conversions, imports, edits, box folder and box name changes, WAV clean-up, downloads,
// backups) holds an exclusive lock on a lock file in the data folder for as long as it writes.
// Reading takes no lock. The lock goes with the process, so a killed run never blocks the next
// one.
//
// It is an open-file-description lock (F_OFD_SETLK) on one descriptor per process: unlike
// flock, NFS and SMB mounts pass it on to the server, so two PCs on one network folder are kept
// apart; unlike a classic POSIX lock, closing some other descriptor of the file does not drop it.
//
// The lock keeps processes apart. Within the program, the window's operations and the
// always-download worker already take turns (the worker is paused first), and an operation may
// start another (a backup that falls due during a move): so a second take in the same process
// shares the lock it already holds instead of waiting on itself.
class DataFolderLock {
public:
    // Hidden, and without a message extension, so no folder load lists it.
    static constexpr std::string_view kFileName = ".voxmg.lock";

    enum class Status {
        Held,      // this run holds the lock
        Busy,      // another operation held it for the whole wait
        Refused,   // the lock file cannot be used (another user's file, a folder or a link by
                   // that name, a read-only folder): nothing may be written, see error()
        Unlocked,  // no folder, a folder that does not exist, or a file system without locks:
                   // the operation goes on and meets the folder's own error
    };

    // Takes the lock of `dataFolder`, waiting up to `wait` while another operation holds it.
    static DataFolderLock acquire(const std::string& dataFolder,
                                  std::chrono::milliseconds wait = std::chrono::milliseconds(0));

    DataFolderLock() = default;
    ~DataFolderLock() { release(); }
    DataFolderLock(DataFolderLock&& other) noexcept;
    DataFolderLock& operator=(DataFolderLock&& other) noexcept;
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    Status status() const { return m_status; }
    // False when another operation holds the lock or the lock file cannot be used.
    bool mayProceed() const { return m_status == Status::Held || m_status == Status::Unlocked; }
    // Why the lock file was refused: the errno of opening or locking it.
    int error() const { return m_error; }
    // Gives the lock back before the object ends.
    void release();

    // The lock file's identity: the key under which this process shares a held lock.
    struct Key {
        unsigned long long device = 0;
        unsigned long long inode = 0;
        auto operator<=>(const Key&) const = default;
    };

private:
    Key m_key{};
    Status m_status = Status::Unlocked;
    int m_error = 0;
};

// The lock file of a data folder.
std::string dataLockPath(const std::string& dataFolder);

// The data folder that holds a message file: <data folder>/<box folder>/<kind>/<box>/<file>
// for a box message, <data folder>/<box folder>/<response folder>/<file> for a response
// message. Empty when the path is too short to have one.
std::string dataFolderOfMessage(const std::string& messagePath);

}  // namespace voxmg
