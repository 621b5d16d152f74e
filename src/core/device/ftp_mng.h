#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/base/flags.h"
#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/device/ftp_types.h"

namespace voxmg {

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
    void setLivenessHooks(LivenessHooks hooks) { m_liveness = std::move(hooks); }

    // The current connection record, or null before the first attempt and after disconnect.
    FtpConnection* connection() { return m_conn.get(); }

    // --- control connection (ftp_control.cpp)
    enum LoginResult { LoggedIn = 0, ConnectFailed = 1, LoginRefused = 2, UnsupportedModel = 3 };
    int connectAndLogin();
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
    // PORT + the transfer command + accepting the main unit's connection: 0, a code, or -1.
    int openDataConnection(std::string_view command);
    void closeDataConnection();
    // 1 with the root, /rusuroku and /naisen names; a reply code; or -1.
    int boxListing(BoxListing& out);
    // 1 with the names; -2 directory missing; 0 or -1 on other failures.
    int nameListing(std::string_view directory, ListKind kind, std::u16string& text);
    // 1 with the "NLST -l" text; -2 directory missing; a reply code or -1.
    int detailedListing(std::string_view directory, ListKind kind, DetailedListing& out);
    // Into the connection's local folder: 0 done, -2 cancelled, -1 failure, or a reply code.
    int retrieve(std::string_view remoteName, std::string_view localName, bool resetCounter, bool quiet);
    // Stores into /outou/: 0 done, a reply code, or -1.
    int storeResponseMessage(std::string_view fileName, std::span<const std::uint8_t> data);
    int deleteFile(std::string_view remotePath);
    int abort(bool quick);
    // 1 alive, 0 lost.
    int probe();

private:
    int sendCommand(std::string_view verb, std::string_view argument, std::string* reply = nullptr);
    int readReplyLineWithin(std::string& line, std::size_t maxChars, std::chrono::milliseconds limit);
    void climbToRoot();
    net::UniqueFd listenForData(std::string& portCommand);
    bool acceptFromServer();
    long receiveChunk(std::uint8_t* buffer, std::size_t size);
    int receiveListing(std::size_t maxChars, bool cancellable, std::u16string& text,
                       std::size_t* byteLength = nullptr);
    bool readTransferEndRaw();
    bool cancelled() const { return m_flags.cancelAll.load() != 0; }
    void pump() const { pumpOnce(m_pump); }

    FtpLogin m_login;
    Flags& m_flags;
    Pump m_pump;
    FtpTimeouts m_timeouts;
    ProgressSink* m_progress = nullptr;
    LivenessHooks m_liveness;
    std::unique_ptr<FtpConnection> m_conn;
};

}  // namespace voxmg
