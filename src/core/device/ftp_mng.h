#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/base/flags.h"
#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/device/download_env.h"
#include "core/device/ftp_results.h"
#include "core/device/ftp_types.h"
#include "core/device/listing_lines.h"
#include "core/store/incoming_message.h"

namespace voxmg {

struct BoxRun;

// The program's FTP client for the main unit: one control connection per login, replies
// read line by line with time limits, active-mode data connections. Every operation blocks
// the calling thread, pumps the caller's events while it waits, and returns an integer code;
// nothing throws. Used by one thread at a time (the UI thread, or the always-download worker
// while it holds the gate). The download engines are further members in ftp_engines*.cpp.
class CFtpMng {
public:
    CFtpMng(FtpLogin login, Flags& flags, Pump pump, FtpTimeouts timeouts = {});
    ~CFtpMng();  // closes the sockets without QUIT
    CFtpMng(const CFtpMng&) = delete;
    CFtpMng& operator=(const CFtpMng&) = delete;

    void setLogin(FtpLogin login) { m_login = std::move(login); }
    const FtpLogin& login() const { return m_login; }
    void setProgressSink(ProgressSink* sink) { m_progress = sink; }
    ProgressSink* progressSink() const { return m_progress; }

    // Who keeps the caller's events going while the client waits, for as long as the returned
    // scope lives: the UI thread's pump for user operations, none for the always-download
    // worker, which must never run the UI thread's events. The previous pump comes back after.
    class PumpScope {
    public:
        PumpScope(CFtpMng& ftp, Pump pump)
            : m_ftp(ftp), m_saved(std::exchange(ftp.m_pump, std::move(pump))) {}
        ~PumpScope() { m_ftp.m_pump = std::move(m_saved); }
        PumpScope(const PumpScope&) = delete;
        PumpScope& operator=(const PumpScope&) = delete;

    private:
        CFtpMng& m_ftp;
        Pump m_saved;
    };
    [[nodiscard]] PumpScope pumpedBy(Pump pump) { return PumpScope(*this, std::move(pump)); }

    // What stops the client's transfers and file work, for as long as the returned scope
    // lives: the user's cancel-all by default, the box cancel while the always-download worker
    // runs a box (the worker never touches the user's flag). The previous one comes back after.
    class CancelScope {
    public:
        CancelScope(CFtpMng& ftp, std::atomic<int>& cancel)
            : m_ftp(ftp), m_saved(std::exchange(ftp.m_cancel, &cancel)) {}
        ~CancelScope() { m_ftp.m_cancel = m_saved; }
        CancelScope(const CancelScope&) = delete;
        CancelScope& operator=(const CancelScope&) = delete;

    private:
        CFtpMng& m_ftp;
        std::atomic<int>* m_saved;
    };
    [[nodiscard]] CancelScope cancelledBy(std::atomic<int>& cancel) { return CancelScope(*this, cancel); }
    void setLivenessHooks(LivenessHooks hooks) { m_liveness = std::move(hooks); }

    // The current connection record, or null before the first attempt and after disconnect.
    FtpConnection* connection() { return m_conn.get(); }

    // --- control connection (ftp_control.cpp)
    LoginResult connectAndLogin();
    // QUIT, close everything, drop the record, stop the liveness timer.
    void disconnect();
    // Sends the command (UTF-8 text ending in CR LF, sent as CP932; empty = send nothing)
    // and reads one reply line: 0 success, another reply code, or -1 for no reply.
    int commandExchange(std::string_view command, std::string* reply = nullptr);
    // One reply line of at most `maxChars` characters; its length, or -1 when a wait expired.
    int readReplyLine(std::string& line, std::size_t maxChars, bool longWait);
    // Reads and drops replies nobody waits for (the rest of a multi-line reply and the like).
    void drainReplies();

    // --- data connections and listings (ftp_data.cpp, ftp_listings.cpp)
    // PORT + the transfer command + accepting the main unit's connection.
    TransferResult openDataConnection(std::string_view command);
    void closeDataConnection();
    // The root, /rusuroku and /naisen names; Listed, a reply code or Failed.
    ListingResult boxListing(BoxListing& out);
    // Listed, NoDirectory, Refused or Failed.
    ListingResult nameListing(std::string_view directory, ListKind kind, std::u16string& text);
    // The "NLST -l" text: Listed, NoDirectory, a reply code or Failed.
    ListingResult detailedListing(std::string_view directory, ListKind kind, DetailedListing& out);
    // A file as it comes into the connection's local folder (voxmgctl get).
    TransferResult retrieve(std::string_view remoteName, std::string_view localName, bool resetCounter,
                            bool quiet);
    // A message file into `folder` under its remote name, complete or not at all: received
    // into a temporary file, checked against the listed size, given its record and renamed
    // into place without a sync. With `pending`, the rename is left to the caller, who syncs
    // and names a batch of files (PendingFile::commitAll).
    TransferResult retrieveMessage(std::string_view remoteName, const std::string& folder,
                                   std::optional<std::uint64_t> listedSize, bool response, bool resetCounter,
                                   bool quiet, std::vector<PendingFile>* pending = nullptr);
    // Stores into /outou/.
    TransferResult storeResponseMessage(std::string_view fileName, std::span<const std::uint8_t> data);
    TransferResult deleteFile(std::string_view remotePath);
    void abort(bool quick);
    // True when the main unit answered.
    bool probe();

    // --- download engines (ftp_engines.cpp, ftp_backup.cpp). With no connection each fails at
    // once; otherwise it stops the liveness timer, drains stray replies and works in the given
    // local folder.
    void setDownloadEnv(DownloadEnv env) { m_env = std::move(env); }
    // A fresh copy of the settings the engines read, taken by the UI thread before a run.
    void setDownloadSettings(DownloadSettings settings) { m_env.settings = std::move(settings); }
    const DownloadEnv& downloadEnv() const { return m_env; }
    bool connected() const;
    CountResult countBoxFiles(const std::string& localFolder, std::string_view remoteDir, bool infoOnly);
    BoxResult downloadBox(std::string_view remoteDir, const std::string& localFolder, bool byWorker,
                          bool refresh);
    BoxResult downloadBoxInfoOnly(const std::string& localFolder, std::string_view remoteDir);
    // `listed` counts the voice data files.
    BoxResult downloadResponseMessages(const std::string& localFolder,
                                       std::string_view remoteDir = "/outou/");
    // DELE of one message; `localFiles`, its files here, are synced with their folder first
    // (DiskRefused, nothing deleted, when that failed).
    TransferResult deleteOnMainUnit(const std::string& localFolder, std::string_view remotePath,
                                    const std::vector<std::string>& localFiles = {});
    // The space a voice data file needs: its listed size rounded up to whole 4096-byte clusters.
    VoiceSizeResult voiceDataSize(std::string_view fileName, const std::string& localFolder,
                                  std::string_view remoteDir);
    EngineResult fetchVoiceData(const std::string& localFolder, std::string_view remoteDir,
                                std::string_view fileName);
    TransferResult uploadResponseMessage(std::span<const std::uint8_t> data, std::string_view fileName,
                                         const std::string& localFolder);
    BoxResult backupDownloadBox(std::string_view remoteDir, std::string_view kind, std::string_view box,
                                const BackupTarget& target);
    BoxResult backupDownloadResponseMessages(std::string_view remoteDir, const BackupTarget& target);

private:
    // Liveness timer stopped, replies drained and local folder set for one engine call.
    class EngineScope {
    public:
        EngineScope(CFtpMng& ftp, const std::string& localFolder);
        ~EngineScope();
        EngineScope(const EngineScope&) = delete;
        EngineScope& operator=(const EngineScope&) = delete;

    private:
        CFtpMng& m_ftp;
    };
    BoxResult runBoxDownload(BoxRun& run);
    // The listed lines in order; the code the box ends with.
    EngineResult downloadListedLines(BoxRun& run, const std::vector<std::string>& lines, int& handled);
    // The code a cancel or a pause request ends the box with between two lines.
    std::optional<EngineResult> stopBetweenLines(BoxRun& run);
    // One listed file of a box: fetched unless complete here, and its message completed.
    EngineResult downloadListedFile(BoxRun& run, const listing::Entry& entry, int& handled);
    // The first file going into a folder clears what interrupted downloads left there.
    void enterFolder(BoxRun& run, const std::string& folder);
    struct FileFetch {
        EngineResult code = EngineResult::Done;
        bool gone = false;       // the main unit no longer had it
        bool retrieved = false;  // fetched now (not found complete here)
        bool malformed = false;  // no message: passed over, left on the main unit
    };
    FileFetch fetchUnlessComplete(BoxRun& run, const listing::Entry& entry, const std::string& folder);
    // One recording info file of a name listing, unless it is complete here already.
    FileFetch fetchInfoUnlessComplete(const std::string& localFolder, const std::string& name);
    EngineResult convertCompletedMessage(BoxRun& run, const std::string& folder,
                                         const std::string& voicePath);
    EngineResult failRun(BoxRun& run, EngineResult code);
    // Syncs and names the files waiting in the run (a backup's); false when the disk refused.
    bool flushPending(BoxRun& run);
    static constexpr std::size_t kFilesPerSync = 64;
    // After the last line: automatic deletion and the marking of what the main unit no longer has.
    EngineResult finishBox(BoxRun& run);
    EngineResult deleteCompletedMessages(BoxRun& run, bool& changed);
    // Marks the listed voice files the main unit no longer lists as deleted there; true when
    // there was any.
    bool markGoneFromUnit(BoxRun& run, const std::set<std::string>& stillListed);
    bool isProtectedLocally(const std::string& folder, const std::string& base) const;
    BoxResult runResponseDownload(BoxRun& run);
    // The size the main unit lists for one voice data file (none when it is not listed).
    VoiceSizeResult listedVoiceSize(std::string_view fileName, std::string_view remoteDir);
    int sendCommand(std::string_view verb, std::string_view argument, std::string* reply = nullptr);
    int readReplyLineWithin(std::string& line, std::size_t maxChars, std::chrono::milliseconds limit);
    void climbToRoot();
    net::UniqueFd listenForData(std::string& portCommand);
    bool acceptFromServer();
    // When a transfer must be over: a known size gets one data wait per chunk, anything else
    // the listing limit.
    std::chrono::steady_clock::time_point transferDeadline(std::optional<std::uint64_t> size) const;
    // A retrieved chunk: the byte count, and unless quiet the chunk count the progress shows.
    void countChunk(std::size_t bytes, bool quiet);
    long receiveChunk(std::uint8_t* buffer, std::size_t size, std::chrono::steady_clock::time_point deadline);
    // Receives the data connection to its end (or a cancel, or `take` returning false), handing
    // each chunk to `take`; false when a receive failed.
    bool receiveUntilEnd(bool cancellable, std::chrono::steady_clock::time_point deadline,
                         const std::function<bool(std::span<const std::uint8_t>)>& take);
    ListingResult receiveListing(std::size_t maxChars, bool cancellable, std::u16string& text,
                                 std::size_t* byteLength = nullptr);
    bool readTransferEndRaw();
    bool cancelled() const { return m_cancel->load() != 0; }
    void pump() const { pumpOnce(m_pump); }

    FtpLogin m_login;
    Flags& m_flags;
    std::atomic<int>* m_cancel = &m_flags.cancelAll;
    Pump m_pump;
    FtpTimeouts m_timeouts;
    ProgressSink* m_progress = nullptr;
    LivenessHooks m_liveness;
    std::unique_ptr<FtpConnection> m_conn;
    DownloadEnv m_env;
};

}  // namespace voxmg
