#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/base/flags.h"
#include "core/device/bulk_download.h"

namespace voxmg {
class CFtpMng;
}

// Always-download: a worker thread that fetches one box after another from the main unit while
// the user is logged in and the feature is on; the boxes of the open lists first, in a fixed
// order, otherwise every box of the current box folder.
namespace voxmg::always {

// The frame's connection as the worker may use it for one box: the client of the session in
// force (none while logged out) and the session's number. Each login, logout and reconnect
// gives a new number; what the worker reports about a session that has ended is dropped.
struct WorkerConnection {
    CFtpMng* client = nullptr;
    std::uint64_t generation = 0;
};

// What the worker reads of the frame and asks of it. Called on the worker's thread: the
// program's implementation keeps thread-safe copies of what it reads and queues what it asks
// to the user-interface thread. The worker never waits for the user-interface thread.
class WorkerHost {
public:
    virtual ~WorkerHost() = default;
    virtual bool loggedIn() const = 0;
    virtual bool enabled() const = 0;           // Download/Always
    virtual std::string boxFolder() const = 0;  // data root + current box folder name
    // Titles of the open list windows, the active (top) one first.
    virtual std::vector<std::u16string> listTitles() const = 0;
    // Asked for at the start of every box, while the worker holds the gate (a reconnect
    // replaces the client only while the worker is paused).
    virtual WorkerConnection connection() = 0;
    // The conversion, gain and WAV folder the window's own downloads use now, given to the
    // client before every box, so a change in the settings counts from the next box. Nothing:
    // the client keeps what it has.
    virtual std::optional<DownloadSettings> downloadSettings() const { return std::nullopt; }

    // Reload the active list if it shows this box ("/rusuroku/NAME"); empty: whatever it shows.
    virtual void refreshList(const std::string& remoteBox) = 0;
    virtual void showMessage(const UserMessage& message) = 0;
    // Memory shortage: the feature goes off until the user switches it on again.
    virtual void switchOff() = 0;
    // The main unit cannot delete: automatic deletion goes off for the current box folder.
    virtual void autoDeleteRefused() = 0;
    // A communication error on session `generation`: unless that session has ended meanwhile,
    // the connection is closed, the user logged out and `message` shown. loggedIn() must read
    // false from the moment this returns.
    virtual void connectionLost(std::uint64_t generation, const UserMessage& message) = 0;
};

// The pauses of the loop; tests shorten them.
struct WorkerTimings {
    std::chrono::milliseconds loggedOut{300};
    std::chrono::milliseconds takeConnection{200};
    std::chrono::milliseconds off{300};
    std::chrono::milliseconds paused{100};
    std::chrono::milliseconds noBoxFolder{100};
    std::chrono::milliseconds afterBox{500};
};

// The order of one cycle: the work queue built from the list titles, and the done list of the
// folder scan.
class BoxChooser {
public:
    // The next box's remote path ("/rusuroku/NAME" or "/naisen/NAME"), or nothing when the cycle
    // is complete. Asks the host for a list refresh when the top list changed.
    std::optional<std::string> next(const std::vector<std::u16string>& titles, const std::string& boxFolder,
                                    WorkerHost& host);
    void markDone(const std::string& remoteBox);
    // A cycle is complete: the next one starts from an empty queue and done list.
    void endCycle();
    // Logged out: everything forgotten.
    void reset();

private:
    std::optional<std::string> fromTitles(const std::vector<std::u16string>& titles,
                                          const std::string& boxFolder);
    std::optional<std::string> folderScan(const std::string& boxFolder) const;

    std::vector<std::string> m_queue;
    std::vector<std::string> m_done;
    std::u16string m_lastTop;
    bool m_refreshRequested = false;
};

class AlwaysDownloadWorker {
public:
    AlwaysDownloadWorker(WorkerHost& host, Flags& flags, WorkerTimings timings = {});
    ~AlwaysDownloadWorker();
    AlwaysDownloadWorker(const AlwaysDownloadWorker&) = delete;
    AlwaysDownloadWorker& operator=(const AlwaysDownloadWorker&) = delete;

    void start();
    // Asks the worker to stop (a box in progress stops at once) and waits for it.
    void stop();
    bool running() const { return m_thread.joinable(); }

    // One pass of the loop; false once the stop request was seen.
    bool pass();

private:
    // Why no box can begin now, as the pause before the next pass; none when one may.
    std::optional<std::chrono::milliseconds> idleWait();
    // Runs the next box of the cycle under a box lease; the pause before the next pass.
    std::chrono::milliseconds runNextBox();
    void handleResult(const std::string& remoteBox, EngineResult result, std::uint64_t generation);

    WorkerHost& m_host;
    Flags& m_flags;
    WorkerTimings m_timings;
    BoxChooser m_chooser;
    bool m_connectionTaken = false;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

namespace always_text {
inline constexpr char16_t kNoSpace[] =
    u"ＰＣのメモリ不足です。\n常時ダウンロード機能を解除します。\nメモリを確保したあとで再設定してください。";
}

}  // namespace voxmg::always
