// Active-mode data connections, retrieve, store, delete, abort and the connection probe.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "core/base/paths.h"
#include "core/device/ftp_mng.h"
#include "core/device/ftp_reply.h"
#include "core/store/file_mng.h"
#include "core/store/incoming_message.h"

namespace voxmg {

namespace {

constexpr std::size_t kChunkSize = 1024;

// A complete retrieval kept with its record: under its final name now (not synced), or, given
// `pending`, waiting there for the run's next sync.
TransferResult keepMessage(IncomingMessage& incoming, std::atomic<int>& cancel, bool response,
                           std::vector<PendingFile>* pending) {
    // Only a file that begins with the main unit's header is a message: anything else would be
    // stored where no list shows it, and then deleted on the main unit as if it were safe here.
    auto header = incoming.header();
    if (!header || !header->hasModelText()) {
        return TransferResult::Malformed;
    }
    CFileMng files(cancel);
    FILESTS_INFO record = files.downloadRecord(incoming.finalPath(), *header, response);
    if (pending == nullptr) {
        return incoming.commit(record) ? TransferResult::Done : TransferResult::DiskRefused;
    }
    std::optional<PendingFile> finished = incoming.finish(record);
    if (!finished) {
        return TransferResult::DiskRefused;
    }
    pending->push_back(std::move(*finished));
    return TransferResult::Done;
}

}  // namespace

net::UniqueFd CFtpMng::listenForData(std::string& portCommand) {
    auto local = net::localEndpoint(m_conn->control.get());
    if (!local) {
        return {};
    }
    // The main unit connects back to the address it already reaches us on.
    net::UniqueFd listener = net::listenTcp(local->address);
    auto bound = listener ? net::localEndpoint(listener.get()) : std::nullopt;
    if (!bound) {
        return {};
    }
    portCommand = ftp::portCommand(local->address, bound->port);
    return listener;
}

TransferResult CFtpMng::openDataConnection(std::string_view command) {
    if (!m_conn || !m_conn->control) {
        return TransferResult::Failed;
    }
    std::string port;
    m_conn->dataListen = listenForData(port);
    if (!m_conn->dataListen) {
        return TransferResult::Failed;
    }
    for (std::string_view step : {std::string_view(port), command}) {
        if (int rc = commandExchange(step); rc != 0) {
            m_conn->dataListen.reset();
            return fromCode<TransferResult>(rc);
        }
    }
    if (!acceptFromServer()) {
        m_conn->dataListen.reset();
        return TransferResult::Failed;
    }
    return TransferResult::Done;
}

bool CFtpMng::acceptFromServer() {
    // Anyone on the network could race the main unit to our listening port and feed us a
    // file; only a connection from the main unit's own address is taken, others are dropped
    // and the wait goes on within its limit.
    auto deadline = std::chrono::steady_clock::now() + m_timeouts.accept;
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        net::Wait wait = net::waitReadable(m_conn->dataListen.get(), left);
        pump();
        if (wait != net::Wait::Ready) {
            return false;
        }
        net::Endpoint peer;
        net::UniqueFd socket = net::acceptOne(m_conn->dataListen.get(), &peer);
        if (!socket) {
            return false;
        }
        if (peer.address == m_conn->server.address) {
            m_conn->data = std::move(socket);
            return true;
        }
    }
}

void CFtpMng::closeDataConnection() {
    if (m_conn) {
        m_conn->dataListen.shutdownAndReset();
        m_conn->data.shutdownAndReset();
    }
}

std::chrono::steady_clock::time_point CFtpMng::transferDeadline(std::optional<std::uint64_t> size) const {
    auto now = std::chrono::steady_clock::now();
    if (!size) {
        return now + m_timeouts.listingTotal;
    }
    return now + m_timeouts.data * static_cast<long>(*size / kChunkSize + 2);
}

long CFtpMng::receiveChunk(std::uint8_t* buffer, std::size_t size,
                           std::chrono::steady_clock::time_point deadline) {
    // A wait that expires ends the chunk (and, with nothing received, the transfer): the
    // end-of-transfer reply then tells whether the file was complete. A transfer still going
    // at its deadline has failed.
    std::size_t collected = 0;
    while (collected < size) {
        // What has arrived is taken without a wait first: during a transfer it usually has.
        long ready = net::receiveWaiting(m_conn->data.get(), buffer + collected, size - collected);
        if (ready == -1) {
            return -1;
        }
        if (ready == 0) {
            break;
        }
        if (ready > 0) {
            collected += static_cast<std::size_t>(ready);
            continue;
        }
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return -1;
        }
        net::Wait wait = net::waitReadable(m_conn->data.get(), std::min(left, m_timeouts.data));
        if (wait == net::Wait::TimedOut) {
            if (left <= m_timeouts.data) {
                return -1;
            }
            break;
        }
        if (wait == net::Wait::Failed) {
            return -1;
        }
        long n = net::receiveSome(m_conn->data.get(), buffer + collected, size - collected);
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        collected += static_cast<std::size_t>(n);
    }
    return static_cast<long>(collected);
}

bool CFtpMng::receiveUntilEnd(bool cancellable, std::chrono::steady_clock::time_point deadline,
                              const std::function<bool(std::span<const std::uint8_t>)>& take) {
    // One chunk per step, one window message before each, the cancel-all flag between them.
    std::array<std::uint8_t, kChunkSize> chunk{};
    for (;;) {
        pump();
        if (cancellable && cancelled()) {
            abort(false);
            return true;
        }
        long n = receiveChunk(chunk.data(), chunk.size(), deadline);
        if (n <= 0) {
            return n == 0;
        }
        if (!take(std::span<const std::uint8_t>(chunk.data(), static_cast<std::size_t>(n)))) {
            return true;
        }
    }
}

bool CFtpMng::readTransferEndRaw() {
    // After a retrieval the reply is taken with one plain receive, as the main unit sends it
    // in one piece; lines left over are removed by the next drain. True when a reply came
    // that does not report a failure.
    net::Wait wait = net::waitReadable(m_conn->control.get(), m_timeouts.transferEnd);
    pump();
    if (wait != net::Wait::Ready) {
        return false;
    }
    std::array<char, kChunkSize> buffer{};
    long n = net::receiveSome(m_conn->control.get(), buffer.data(), buffer.size());
    if (n <= 0) {
        return false;
    }
    // A main unit that broke the transfer off says so here (426 and the like); the file is
    // then incomplete and must not pass as retrieved.
    std::string_view reply(buffer.data(), static_cast<std::size_t>(n));
    return ftp::replyCode(reply.substr(0, reply.find("\r\n"))).value_or(0) < 400;
}

void CFtpMng::countChunk(std::size_t bytes, bool quiet) {
    m_conn->byteCount += bytes;
    if (!quiet) {
        ++m_conn->chunkCount;
        if (m_progress && m_flags.alwaysDownloadInProgress.load() == 0) {
            m_progress->setPosition(static_cast<int>(m_conn->chunkCount));
        }
    }
}

TransferResult CFtpMng::retrieve(std::string_view remoteName, std::string_view localName, bool resetCounter,
                                 bool quiet) {
    if (!m_conn || !m_conn->control) {
        return TransferResult::Failed;
    }
    // The local name may come from a listing of the main unit: it must not leave the folder.
    if (paths::isUnsafeName(localName)) {
        return TransferResult::Failed;
    }
    auto command = ftp::commandLine("RETR", remoteName);
    if (!command) {
        return TransferResult::Failed;
    }
    // Received under a temporary name (created anew, never through a planted link or FIFO)
    // and renamed once complete: the final name never holds a part of the file.
    std::string path = paths::join(m_conn->localFolder, localName);
    std::string temp = paths::join(m_conn->localFolder, std::string(IncomingMessage::kTempPrefix) + "XXXXXX");
    net::UniqueFd file(::mkostemp(temp.data(), O_CLOEXEC));
    if (!file) {
        return TransferResult::DiskRefused;
    }
    auto dropTemp = [&temp] { ::unlink(temp.c_str()); };
    if (TransferResult rc = openDataConnection(*command); rc != TransferResult::Done) {
        dropTemp();
        return rc;
    }
    m_conn->byteCount = 0;
    if (resetCounter) {
        m_conn->chunkCount = 0;
    }
    bool writeFailed = false;
    bool receiveFailed =
        !receiveUntilEnd(true, transferDeadline(std::nullopt), [&](std::span<const std::uint8_t> chunk) {
            if (!m_env.writes->write(file.get(), chunk)) {
                writeFailed = true;
                return false;
            }
            countChunk(chunk.size(), quiet);
            return true;
        });
    closeDataConnection();
    bool ended = !receiveFailed && readTransferEndRaw();
    if (cancelled()) {
        dropTemp();
        return TransferResult::Cancelled;
    }
    // A file we could not write completely is a failure even when the main unit sent it all.
    bool stored = ended && !writeFailed && ::fchmod(file.get(), 0644) == 0 && m_env.writes->sync(file.get());
    stored = ::close(file.release()) == 0 && stored;
    if (!stored || !m_env.writes->rename(temp, path)) {
        dropTemp();
        return writeFailed ? TransferResult::DiskRefused : TransferResult::Failed;
    }
    return TransferResult::Done;
}

TransferResult CFtpMng::retrieveMessage(std::string_view remoteName, const std::string& folder,
                                        std::optional<std::uint64_t> listedSize, bool response,
                                        bool resetCounter, bool quiet, std::vector<PendingFile>* pending) {
    if (!m_conn || !m_conn->control) {
        return TransferResult::Failed;
    }
    if (paths::isUnsafeName(remoteName)) {
        return TransferResult::Failed;
    }
    auto command = ftp::commandLine("RETR", remoteName);
    if (!command) {
        return TransferResult::Failed;
    }
    IncomingMessage incoming(folder, std::string(remoteName), listedSize, *m_env.writes);
    // The temporary file comes first: a full disk is found before the main unit sends.
    if (!incoming.open()) {
        return TransferResult::DiskRefused;
    }
    if (TransferResult rc = openDataConnection(*command); rc != TransferResult::Done) {
        return rc;
    }
    m_conn->byteCount = 0;
    if (resetCounter) {
        m_conn->chunkCount = 0;
    }
    bool receiveFailed =
        !receiveUntilEnd(true, transferDeadline(listedSize), [&](std::span<const std::uint8_t> chunk) {
            if (!incoming.append(chunk)) {
                return false;
            }
            countChunk(chunk.size(), quiet);
            return true;
        });
    closeDataConnection();
    if (receiveFailed) {
        return TransferResult::Failed;
    }
    bool ended = readTransferEndRaw();
    if (cancelled()) {
        return TransferResult::Cancelled;
    }
    if (incoming.writeFailed()) {
        return TransferResult::DiskRefused;
    }
    // A transfer that ended early (even with 226) or ran past the listed size is broken.
    if (!ended || !incoming.complete()) {
        return TransferResult::Failed;
    }
    return keepMessage(incoming, *m_cancel, response, pending);
}

TransferResult CFtpMng::storeResponseMessage(std::string_view fileName, std::span<const std::uint8_t> data) {
    if (!m_conn || !m_conn->control || paths::isUnsafeName(fileName)) {
        return TransferResult::Failed;
    }
    climbToRoot();
    auto command = ftp::commandLine("STOR", "/outou/" + std::string(fileName));
    if (TransferResult rc = openDataConnection(*command); rc != TransferResult::Done) {
        return rc;
    }
    std::size_t sent = 0;
    while (sent < data.size()) {
        std::size_t piece = std::min(kChunkSize, data.size() - sent);
        std::string_view bytes(reinterpret_cast<const char*>(data.data() + sent), piece);
        if (!net::sendAll(m_conn->data.get(), bytes, m_timeouts.data)) {
            break;
        }
        sent += piece;
        pump();
        if (cancelled()) {
            abort(true);
            break;
        }
    }
    if (!cancelled()) {
        closeDataConnection();  // the end of the data connection ends the file for the main unit
    }
    if (sent < data.size()) {
        return TransferResult::Failed;
    }
    // Storing a long message can keep the main unit busy for minutes before it answers.
    std::string line;
    auto limit = cancelled() ? m_timeouts.reply : m_timeouts.longReply;
    if (readReplyLineWithin(line, ftp::kReplyLineMax, limit) < 0) {
        return TransferResult::Failed;
    }
    return fromCode<TransferResult>(ftp::storeResult(line));
}

TransferResult CFtpMng::deleteFile(std::string_view remotePath) {
    if (!m_conn || !m_conn->control) {
        return TransferResult::Failed;
    }
    climbToRoot();
    if (int rc = sendCommand("DELE", remotePath); rc != 0) {
        return fromCode<TransferResult>(rc);
    }
    closeDataConnection();
    return TransferResult::Done;
}

void CFtpMng::abort(bool quick) {
    closeDataConnection();
    std::string line;
    int rc = commandExchange("ABOR\r\n", &line);
    // Some servers first answer for the broken transfer (426) and only then for the ABOR.
    if (rc != 225 && rc != -1 && !quick) {
        // A bounded number of lines: a peer that never says 225 must not keep us here.
        for (int i = 0;
             i < 64 && readReplyLine(line, ftp::kReplyLineMax, false) >= 0 && ftp::replyCode(line) != 225;
             ++i) {
        }
    }
    commandExchange("ABOR\r\n");
}

bool CFtpMng::probe() {
    if (!m_conn || !m_conn->control) {
        return false;
    }
    std::string port;
    m_conn->dataListen = listenForData(port);
    if (!m_conn->dataListen) {
        return false;
    }
    // Any answer, even an error code, shows the main unit is still there.
    int rc = commandExchange(port);
    closeDataConnection();
    return rc != -1;
}

}  // namespace voxmg
