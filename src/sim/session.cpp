#include "sim/session.h"

#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <utility>

namespace voxmg::sim {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kMaxLine = 4096;
constexpr std::size_t kChunk = 1024;
// Response messages are a few hundred kilobytes; anything far larger is not one.
constexpr std::size_t kMaxUpload = 64 * 1024 * 1024;
constexpr auto kDataConnectTimeout = 10s;
constexpr auto kUploadIdleTimeout = 60s;
// A client that cancels an upload closes the data connection and then sends ABOR; the end of
// the data alone does not tell a finished upload from a cancelled one.
constexpr auto kAbortGrace = 100ms;

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Some clients put Telnet interrupt bytes before ABOR; only the text from the first letter
// on counts.
std::string withoutTelnetPrefix(const std::string& line) {
    auto start = std::find_if(line.begin(), line.end(), [](unsigned char c) { return std::isalpha(c); });
    return std::string(start, line.end());
}

std::string lastComponent(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}
std::string parentPath(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool hasWildcard(std::string_view text) {
    return text.find_first_of("*?[") != std::string_view::npos;
}

const char* forcedText(int code) {
    switch (code) {
        case 450:
            return "Requested file action not taken: file busy.";
        case 452:
            return "Insufficient storage space.";
        case 550:
            return "Requested action not taken.";
        default:
            return "Forced reply.";
    }
}

}  // namespace

Session::Session(SessionEnvironment environment, UniqueFd control)
    : m_env(std::move(environment)), m_control(std::move(control)) {}

void Session::run() {
    m_faults = m_env.faults();
    if (m_faults.noGreeting) {
        // A main unit that accepts and then stays silent: read and ignore until it is closed.
        while (readLine()) {
        }
        return;
    }
    if (!greet()) {
        return;
    }
    while (auto line = readLine()) {
        m_faults = m_env.faults();
        std::string command = withoutTelnetPrefix(*line);
        auto space = command.find(' ');
        std::string verb = upper(command.substr(0, space));
        std::string argument = space == std::string::npos ? std::string() : command.substr(space + 1);
        m_env.logCommand(verb == "PASS" ? std::string("PASS ****") : *line);
        if (!handle(verb, argument)) {
            return;
        }
    }
}

bool Session::greet() {
    const std::string& model = m_env.config.model;
    if (m_faults.multiLineGreeting) {
        std::string lines = "220-" + model + " FTP server ready.\r\n220-Voice mail storage.\r\n";
        if (!sendAll(m_control.get(), lines)) {
            return false;
        }
    }
    bool multiLine = m_faults.multiLineReplies;
    m_faults.multiLineReplies = false;  // the greeting's own continuation is multiLineGreeting
    bool sent = reply(220, model + " FTP server ready.");
    m_faults.multiLineReplies = multiLine;
    return sent;
}

std::optional<std::string> Session::readLine() {
    for (;;) {
        if (!m_pendingLines.empty()) {
            std::string line = std::move(m_pendingLines.front());
            m_pendingLines.pop_front();
            return line;
        }
        auto waited = waitReadable(m_control.get(), 24h, m_env.stopping);
        if (waited != WaitResult::Ready) {
            return std::nullopt;
        }
        if (!collectControlInput()) {
            return std::nullopt;  // closed by the client
        }
    }
}

bool Session::collectControlInput() {
    char buffer[kChunk];
    ssize_t n = ::recv(m_control.get(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
    }
    if (n <= 0) {
        return false;
    }
    std::string_view received(buffer, static_cast<std::size_t>(n));
    if (m_discarding) {
        auto newline = received.find('\n');
        if (newline == std::string_view::npos) {
            return true;
        }
        received.remove_prefix(newline + 1);
        m_discarding = false;
    }
    m_input.append(received);
    std::size_t end;
    while ((end = m_input.find('\n')) != std::string::npos) {
        std::string line = m_input.substr(0, end);
        m_input.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        m_pendingLines.push_back(line.size() > kMaxLine ? line.substr(0, kMaxLine) : std::move(line));
    }
    // An overlong line is answered once from its start and the rest of it dropped, so a
    // client cannot make the server hold unbounded input.
    if (m_input.size() > kMaxLine) {
        m_pendingLines.push_back(m_input.substr(0, kMaxLine));
        m_input.clear();
        m_discarding = true;
    }
    return true;
}

bool Session::abortRequested() {
    if (waitReadable(m_control.get(), 0ms, m_env.stopping) == WaitResult::Ready) {
        collectControlInput();
    }
    auto abort = std::find_if(m_pendingLines.begin(), m_pendingLines.end(), [](const std::string& line) {
        return upper(withoutTelnetPrefix(line).substr(0, 4)) == "ABOR";
    });
    if (abort == m_pendingLines.end()) {
        return false;
    }
    m_env.logCommand(*abort);
    m_pendingLines.erase(abort);
    return true;
}

bool Session::reply(int code, std::string_view text) {
    if (m_faults.replyDelay.count() > 0) {
        sleepUnlessStopping(m_faults.replyDelay, m_env.stopping);
    }
    std::string codeText = std::to_string(code);
    std::string out;
    if (m_faults.multiLineReplies) {
        out += codeText + "-" + std::string(text) + "\r\n";
    }
    std::string line = codeText + " " + std::string(text);
    if (line.size() < m_faults.longReplyLength) {
        line.append(m_faults.longReplyLength - line.size(), '.');
    }
    out += line + "\r\n";
    return sendAll(m_control.get(), out);
}

bool Session::handle(const std::string& verb, const std::string& argument) {
    if (verb == "QUIT") {
        reply(221, "Goodbye.");
        return false;
    }
    if (auto forced = m_faults.replyCodes.find(verb); forced != m_faults.replyCodes.end()) {
        if (verb == "NLST" || verb == "RETR" || verb == "STOR") {
            m_dataAddress.reset();
        }
        return reply(forced->second, forcedText(forced->second));
    }
    if (verb == "USER" || verb == "PASS") {
        return handleLogin(verb, argument);
    }
    static const std::vector<std::string> kKnown{"CWD",  "PORT", "NLST", "RETR",
                                                 "STOR", "DELE", "ABOR", "TYPE"};
    if (std::find(kKnown.begin(), kKnown.end(), verb) == kKnown.end()) {
        return reply(500, "'" + verb + "': command not understood.");
    }
    if (!m_loggedIn) {
        return reply(530, "Please login with USER and PASS.");
    }
    if (verb == "ABOR") {
        return reply(225, "ABOR command successful.");
    }
    if (verb == "PORT") {
        return handlePort(argument);
    }
    // Our client sends TYPE I once after login; accepting ASCII too lets other FTP clients (curl
    // in the benchmarks) fetch from the simulator. Every transfer is binary anyway.
    if (verb == "TYPE") {
        return argument == "I" || argument == "A" ? reply(200, "Type set to " + argument + ".")
                                                  : reply(504, "TYPE " + argument + " not implemented.");
    }
    if (argument.empty() && verb != "NLST") {
        return reply(501, verb + ": argument required.");
    }
    if (verb == "CWD") {
        return handleCwd(argument);
    }
    if (verb == "DELE") {
        return handleDele(argument);
    }
    // A PORT serves the one transfer command that follows it.
    auto dataAddress = std::exchange(m_dataAddress, std::nullopt);
    if (!dataAddress) {
        return reply(425, "Use PORT first.");
    }
    if (verb == "NLST") {
        return handleNlst(argument, *dataAddress);
    }
    return verb == "RETR" ? handleRetr(argument, *dataAddress) : handleStor(argument, *dataAddress);
}

bool Session::handleLogin(const std::string& verb, const std::string& argument) {
    if (verb == "USER") {
        if (argument.empty()) {
            return reply(501, "USER: argument required.");
        }
        m_user = argument;
        m_loggedIn = false;
        return reply(331, "Password required for " + m_user + ".");
    }
    if (m_user.empty()) {
        return reply(503, "Login with USER first.");
    }
    auto account = m_env.config.accounts.find(m_user);
    if (account == m_env.config.accounts.end() || account->second != argument) {
        m_user.clear();
        return reply(530, "Login incorrect.");
    }
    m_loggedIn = true;
    return reply(230, "User " + m_user + " logged in.");
}

bool Session::handleCwd(const std::string& argument) {
    auto path = m_env.tree.resolve(m_cwd, argument);
    if (!path || !m_env.tree.isDirectory(*path)) {
        return reply(550, argument + ": No such file or directory.");
    }
    m_cwd = *path;
    return reply(250, "CWD command successful.");
}

bool Session::handlePort(const std::string& argument) {
    auto address = parsePortArgument(argument);
    if (!address) {
        return reply(501, "Illegal PORT command.");
    }
    // Data connections go back to the client's own host only, never to a third party.
    auto peer = peerAddress(m_control.get());
    if (!peer || peer->sin_addr.s_addr != address->sin_addr.s_addr) {
        return reply(500, "Illegal PORT command.");
    }
    m_dataAddress = address;
    return reply(200, "PORT command successful.");
}

bool Session::handleNlst(const std::string& argument, const sockaddr_in& dataAddress) {
    bool detailed = false;
    std::string target;
    std::size_t position = 0;
    while (position < argument.size()) {
        auto end = argument.find(' ', position);
        std::string token = argument.substr(position, end - position);
        position = end == std::string::npos ? argument.size() : end + 1;
        if (token.size() > 1 && token.front() == '-') {
            detailed = detailed || token.find('l') != std::string::npos;
        } else if (!token.empty()) {
            target = token;
        }
    }
    std::optional<std::string> directory = m_cwd;
    std::string pattern;
    if (!target.empty()) {
        auto whole = m_env.tree.resolve(m_cwd, target);
        if (whole && m_env.tree.isDirectory(*whole)) {
            directory = whole;
        } else {
            auto slash = target.rfind('/');
            pattern = slash == std::string::npos ? target : target.substr(slash + 1);
            directory =
                slash == std::string::npos ? m_cwd : m_env.tree.resolve(m_cwd, target.substr(0, slash + 1));
        }
    }
    auto entries = directory ? m_env.tree.list(*directory, pattern) : std::nullopt;
    if (!entries) {
        return reply(550, target + ": No such file or directory.");
    }
    // An empty directory or a pattern that matches nothing is an error for the main unit.
    if (entries->empty()) {
        return reply(550, "No files found.");
    }
    std::string text;
    for (const auto& entry : *entries) {
        text += (detailed ? RemoteTree::detailLine(entry) : RemoteTree::nameLine(entry)) + "\r\n";
    }
    if (!reply(150, "Opening ASCII mode data connection for file list.")) {
        return false;
    }
    UniqueFd data = connectTo(dataAddress, kDataConnectTimeout, m_env.stopping);
    if (!data.valid()) {
        return reply(425, "Can't open data connection.");
    }
    Outcome outcome = sendData(data.get(), text, -1, false);
    data.reset();
    return finishTransfer("NLST", outcome);
}

bool Session::handleRetr(const std::string& argument, const sockaddr_in& dataAddress) {
    auto path = m_env.tree.resolve(m_cwd, argument);
    if (path) {
        const auto& vanishing = m_faults.vanishOnRetrieve;
        if (std::find(vanishing.begin(), vanishing.end(), lastComponent(*path)) != vanishing.end()) {
            m_env.tree.removeFile(*path);
        }
    }
    auto content = path && m_env.tree.isFile(*path) ? m_env.tree.readFile(*path) : std::nullopt;
    if (!content) {
        return reply(550, argument + ": No such file or directory.");
    }
    if (!reply(150, "Opening BINARY mode data connection for " + lastComponent(*path) + " (" +
                        std::to_string(content->size()) + " bytes).")) {
        return false;
    }
    UniqueFd data = connectTo(dataAddress, kDataConnectTimeout, m_env.stopping);
    if (!data.valid()) {
        return reply(425, "Can't open data connection.");
    }
    Outcome outcome = sendData(data.get(), *content, m_faults.dropDataAfterBytes, m_faults.endlessData);
    data.reset();
    if (outcome == Outcome::Dropped && m_faults.dropControlAfterDrop) {
        return false;
    }
    return finishTransfer("RETR", outcome);
}

bool Session::handleStor(const std::string& argument, const sockaddr_in& dataAddress) {
    auto path = m_env.tree.resolve(m_cwd, argument);
    // The main unit takes uploads of response messages only.
    if (!path || parentPath(*path) != "/outou" || !m_env.tree.isDirectory("/outou")) {
        return reply(553, argument + ": Uploads go to /outou/ only.");
    }
    std::string name = lastComponent(*path);
    switch (m_env.tree.checkResponseUpload(name, m_faults.inUse)) {
        case RemoteTree::UploadCheck::NotResponseName:
            return reply(553, name + ": Not a response message name.");
        case RemoteTree::UploadCheck::InUse:
            return reply(450, name + ": Message in use.");
        case RemoteTree::UploadCheck::Older:
            return reply(450, name + ": A newer message of this number is stored.");
        case RemoteTree::UploadCheck::Accepted:
            break;
    }
    // A lying main unit reports the store done before it has read anything; what it keeps is
    // then whatever arrives (all of it, or the first dropDataAfterBytes bytes).
    const bool early = m_faults.storeCompleteEarly;
    if (!reply(150, "Opening BINARY mode data connection for " + name + ".") ||
        (early && !reply(226, "Transfer complete."))) {
        return false;
    }
    UniqueFd data = connectTo(dataAddress, kDataConnectTimeout, m_env.stopping);
    if (!data.valid()) {
        return early || reply(425, "Can't open data connection.");
    }
    std::string bytes;
    Outcome outcome = receiveData(data.get(), bytes, m_faults.dropDataAfterBytes);
    data.reset();
    if (m_faults.silentAfterStore) {
        return true;
    }
    if (outcome == Outcome::Dropped && m_faults.dropControlAfterDrop) {
        return false;
    }
    const bool keepsPart = outcome == Outcome::Dropped && (early || m_faults.claimCompleteAfterDrop);
    if (keepsPart) {
        bytes.resize(std::min(bytes.size(), static_cast<std::size_t>(m_faults.dropDataAfterBytes)));
    }
    if ((outcome == Outcome::Complete || keepsPart) && !m_faults.transferEndCodes.contains("STOR")) {
        if (!m_env.tree.storeResponse(name, bytes)) {
            return early || reply(452, "Insufficient storage space.");
        }
    }
    if (early) {
        return true;
    }
    return finishTransfer("STOR", keepsPart ? Outcome::Complete : outcome);
}

bool Session::handleDele(const std::string& argument) {
    auto path = m_env.tree.resolve(m_cwd, argument);
    if (!path || *path == "/") {
        return reply(550, argument + ": No such file or directory.");
    }
    std::string name = lastComponent(*path);
    if (hasWildcard(name)) {
        // The wildcard form deletes every message of a box that may go and leaves protected
        // and busy ones; a box with nothing left to delete is a success too, since clients
        // read a 550 here as "this main unit cannot delete by wildcard".
        if (!m_env.tree.deleteMatching(parentPath(*path), name, m_faults.inUse)) {
            return reply(550, argument + ": No such file or directory.");
        }
        return reply(250, "DELE command successful.");
    }
    switch (m_env.tree.deleteMessage(*path, m_faults.inUse)) {
        case RemoteTree::DeleteResult::Deleted:
            return reply(250, "DELE command successful.");
        case RemoteTree::DeleteResult::InUse:
            return reply(450, name + ": Message in use.");
        case RemoteTree::DeleteResult::Protected:
            return reply(550, name + ": Message is protected.");
        case RemoteTree::DeleteResult::Absent:
            break;
    }
    return reply(550, argument + ": No such file or directory.");
}

Session::Outcome Session::sendData(int fd, std::string_view bytes, long dropAfter, bool endless) {
    bool dropping = dropAfter >= 0 && static_cast<std::size_t>(dropAfter) < bytes.size();
    if (dropping) {
        bytes = bytes.substr(0, static_cast<std::size_t>(dropAfter));
    }
    static const std::string zeros(kChunk, '\0');
    const std::size_t chunk = std::clamp<std::size_t>(m_faults.dataChunkBytes, 1, kChunk);
    while (!bytes.empty() || endless) {
        if (m_env.stopping.load()) {
            return Outcome::Failed;
        }
        if (abortRequested()) {
            return Outcome::Aborted;
        }
        if (m_faults.dataChunkDelay.count() > 0) {
            sleepUnlessStopping(m_faults.dataChunkDelay, m_env.stopping);
        }
        auto piece = bytes.empty() ? std::string_view(zeros).substr(0, chunk) : bytes.substr(0, chunk);
        if (!sendAll(fd, piece)) {
            return Outcome::Failed;
        }
        bytes.remove_prefix(std::min(bytes.size(), piece.size()));
    }
    if (dropping && m_faults.claimCompleteAfterDrop) {
        return Outcome::Complete;  // a peer that lies: short data, then "226"
    }
    return dropping ? Outcome::Dropped : Outcome::Complete;
}

Session::Outcome Session::receiveData(int fd, std::string& bytes, long dropAfter) {
    auto idleSince = std::chrono::steady_clock::now();
    for (;;) {
        if (abortRequested()) {
            return Outcome::Aborted;
        }
        auto waited = waitReadable(fd, 50ms, m_env.stopping);
        if (waited == WaitResult::Stopped || waited == WaitResult::Error) {
            return Outcome::Failed;
        }
        if (waited == WaitResult::TimedOut) {
            if (std::chrono::steady_clock::now() - idleSince > kUploadIdleTimeout) {
                return Outcome::Failed;
            }
            continue;
        }
        char buffer[kChunk];
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0) {
            return Outcome::Failed;
        }
        if (n == 0) {
            break;
        }
        if (bytes.size() + static_cast<std::size_t>(n) > kMaxUpload) {
            return Outcome::Failed;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (dropAfter >= 0 && bytes.size() >= static_cast<std::size_t>(dropAfter)) {
            return Outcome::Dropped;  // the caller closes the connection mid-file
        }
        idleSince = std::chrono::steady_clock::now();
    }
    sleepUnlessStopping(kAbortGrace, m_env.stopping);
    return abortRequested() ? Outcome::Aborted : Outcome::Complete;
}

bool Session::finishTransfer(const std::string& verb, Outcome outcome) {
    switch (outcome) {
        case Outcome::Complete:
            if (auto forced = m_faults.transferEndCodes.find(verb);
                forced != m_faults.transferEndCodes.end()) {
                return reply(forced->second, forcedText(forced->second));
            }
            return reply(226, "Transfer complete.");
        case Outcome::Aborted:
            return reply(426, "Transfer aborted.") && reply(225, "ABOR command successful.");
        case Outcome::Dropped:
        case Outcome::Failed:
            break;
    }
    return reply(426, "Connection closed; transfer aborted.");
}

}  // namespace voxmg::sim
