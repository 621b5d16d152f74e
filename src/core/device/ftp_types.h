#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/device/listing_buffer.h"
#include "core/device/socket.h"

// Values the FTP client is built with and the connection record it keeps per login.
namespace voxmg {

// What the login dialog and the settings give: the main unit's address, the account, and an
// optional port (0 = the "ftp" entry of the services database, 21 when there is none).
struct FtpLogin {
    std::u16string address;
    std::u16string user;
    std::u16string password;
    int port = 0;
};

// Time limits of the dialogue with the main unit, and how much a listing may hold. The
// defaults are the program's; tests shorten them.
struct FtpTimeouts {
    // Per wait for more of a reply line, and the connect. A line must come whole within
    // kWaitsPerReplyLine such waits, so a peer trickling bytes cannot hold it open for ever.
    std::chrono::milliseconds reply{10000};
    std::chrono::milliseconds longReply{180000};  // the same for a store's final reply
    std::chrono::milliseconds accept{10000};      // the main unit's data connection
    std::chrono::milliseconds data{10000};        // per wait for data; silence ends a transfer
    std::chrono::milliseconds transferEnd{5000};  // the reply after a retrieval
    std::chrono::milliseconds drain{1};           // per wait while draining stray replies
    std::chrono::milliseconds drainTotal{2000};   // all of one drain, however many lines come
    // All of one listing; a retrieval of a known size gets one `data` wait per 1024 bytes, so
    // a peer that trickles bytes cannot keep a transfer going for ever.
    std::chrono::milliseconds listingTotal{600000};

    static constexpr int kWaitsPerReplyLine = 3;

    // A listing of more bytes than this fails rather than pass for a shorter one.
    std::size_t listingBytes = ftp::kListingMaxBytes;

    // Every time limit divided by `divisor` (the drain's per wait stays at 1 ms).
    FtpTimeouts dividedBy(int divisor) const;
};

// Stops and restarts the main frame's liveness timer (and resets its idle counter) around
// work on the connection; no-ops when the client runs without a frame.
struct LivenessHooks {
    std::function<void()> stop;
    std::function<void()> restart;
};

// The connection record: one per connect attempt, replaced on the next one.
struct FtpConnection {
    net::UniqueFd control;
    net::UniqueFd dataListen;  // open only while a data connection is being set up or used
    net::UniqueFd data;
    net::Endpoint server;     // the control connection's peer
    std::string localFolder;  // where retrievals write; the program folder after the greeting
    long chunkCount = 0;      // runs across retrievals until one resets it
    std::uint64_t byteCount = 0;
    int passive = 0;  // always 0: data connections are opened in active mode
};

// Name listing patterns.
enum class ListKind { All = 0, RecordingInfo = 1, VoiceData = 2 };

// The three name listings of the box listing.
struct BoxListing {
    std::u16string root;
    std::u16string answering;  // names in /rusuroku
    std::u16string extension;  // names in /naisen
};

struct DetailedListing {
    std::u16string text;
    std::size_t byteLength = 0;  // bytes received from the main unit
};

// Control port: the override when it is a valid port, else the services database entry, else 21.
int controlPort(int overridePort, const std::function<std::optional<int>()>& servicesLookup);
std::optional<int> servicesDatabaseFtpPort();

}  // namespace voxmg
