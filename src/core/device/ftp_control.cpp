// The control connection: login, command exchange, reply lines, drain and disconnect.
#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <array>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/device/ftp_mng.h"
#include "core/device/ftp_reply.h"

namespace voxmg {

namespace {

// How much of the control connection is looked at in one go: a reply line or more.
constexpr std::size_t kControlWindow = 4096;

// Most lines one drain takes away.
constexpr int kDrainMaxLines = 64;

}  // namespace

FtpTimeouts FtpTimeouts::dividedBy(int divisor) const {
    FtpTimeouts t = *this;
    if (divisor > 1) {
        for (auto* limit :
             {&t.reply, &t.longReply, &t.accept, &t.data, &t.transferEnd, &t.listingTotal, &t.drainTotal}) {
            *limit /= divisor;
        }
    }
    return t;
}

int controlPort(int overridePort, const std::function<std::optional<int>()>& servicesLookup) {
    if (overridePort > 0 && overridePort <= 65535) {
        return overridePort;
    }
    auto port = servicesLookup ? servicesLookup() : std::nullopt;
    return port && *port > 0 && *port <= 65535 ? *port : 21;
}

std::optional<int> servicesDatabaseFtpPort() {
    // getservbyname is not reentrant, but only the one thread holding the client asks.
    const servent* entry = ::getservbyname("ftp", "tcp");
    if (entry == nullptr) {
        return std::nullopt;
    }
    return static_cast<int>(ntohs(static_cast<std::uint16_t>(entry->s_port)));
}

CFtpMng::CFtpMng(FtpLogin login, Flags& flags, Pump pump, FtpTimeouts timeouts)
    : m_login(std::move(login)), m_flags(flags), m_pump(std::move(pump)), m_timeouts(timeouts) {}

CFtpMng::~CFtpMng() = default;

LoginResult CFtpMng::connectAndLogin() {
    m_conn = std::make_unique<FtpConnection>();
    auto address = net::resolveIpv4(text::cp932FromUtf16(m_login.address));
    if (!address) {
        return LoginResult::ConnectFailed;
    }
    net::Endpoint server{*address,
                         static_cast<std::uint16_t>(controlPort(m_login.port, &servicesDatabaseFtpPort))};
    m_conn->control = net::connectTcp(server, m_timeouts.reply);
    pump();
    if (!m_conn->control) {
        return LoginResult::ConnectFailed;
    }
    m_conn->server = server;

    std::string greeting;
    if (commandExchange({}, &greeting) == -1 || ftp::replyCode(greeting) != 220) {
        return LoginResult::ConnectFailed;
    }
    if (!ftp::greetingNamesModel(greeting)) {
        return LoginResult::UnsupportedModel;
    }
    if (greeting[3] == '-') {
        // A greeting of several lines: its other lines came with the first one. Left in place
        // they would be read as the answer to USER, and a line without the model name there
        // refuses the login.
        drainReplies();
    }
    m_conn->localFolder = m_env.programFolder.empty() ? paths::settingsFolder() : m_env.programFolder;

    // PASS is sent even when USER already logged us in (230): its reply decides.
    if (sendCommand("USER", text::utf8FromUtf16(m_login.user)) != 0 ||
        sendCommand("PASS", text::utf8FromUtf16(m_login.password)) != 0) {
        return LoginResult::LoginRefused;
    }
    // Files must arrive byte for byte. The main unit sends them as they are, but a server that
    // starts in ASCII mode would rewrite their CR and LF bytes. An older main unit refuses
    // TYPE (500), and an answer that comes late is drained before the next operation: the
    // login stands whatever comes back.
    commandExchange("TYPE I\r\n");
    return LoginResult::LoggedIn;
}

void CFtpMng::disconnect() {
    if (m_conn) {
        commandExchange("QUIT\r\n");
        m_conn->data.shutdownAndReset();
        m_conn->dataListen.shutdownAndReset();
        m_conn->control.shutdownAndReset();
        m_conn.reset();
    }
    if (m_liveness.stop) {
        m_liveness.stop();
    }
}

int CFtpMng::commandExchange(std::string_view command, std::string* reply) {
    if (!m_conn || !m_conn->control) {
        return -1;
    }
    if (!command.empty()) {
        // A failed send shows up as a missing reply.
        net::sendAll(m_conn->control.get(), text::cp932FromUtf8(command), m_timeouts.reply);
    }
    std::string line;
    if (readReplyLine(line, ftp::kReplyLineMax, false) < 0) {
        return -1;
    }
    int result = ftp::exchangeResult(line);
    if (reply) {
        *reply = std::move(line);
    }
    return result;
}

int CFtpMng::sendCommand(std::string_view verb, std::string_view argument, std::string* reply) {
    auto line = ftp::commandLine(verb, argument);
    return line ? commandExchange(*line, reply) : -1;
}

int CFtpMng::readReplyLine(std::string& line, std::size_t maxChars, bool longWait) {
    return readReplyLineWithin(line, maxChars, longWait ? m_timeouts.longReply : m_timeouts.reply);
}

int CFtpMng::readReplyLineWithin(std::string& line, std::size_t maxChars, std::chrono::milliseconds limit) {
    line.clear();
    if (!m_conn || !m_conn->control || maxChars == 0) {
        return -1;
    }
    // Each wait for more of the line may take the whole limit, but the line as a whole gets only
    // a few such waits: a peer sending a byte now and then must not hold us here for ever.
    const int fd = m_conn->control.get();
    const auto deadline = std::chrono::steady_clock::now() + limit * FtpTimeouts::kWaitsPerReplyLine;
    ftp::ReplyLineBuilder builder(maxChars);
    std::array<char, kControlWindow> window{};
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return -1;
        }
        net::Wait wait = net::waitReadable(fd, std::min(limit, left));
        pump();
        if (wait != net::Wait::Ready) {
            return -1;
        }
        // Look at what has come and take from the socket this line and nothing after it: the
        // bytes that follow belong to whoever reads next, and the end of a retrieval is read
        // raw from the socket.
        long seen = net::peekSome(fd, window.data(), window.size());
        if (seen < 0) {
            return -1;
        }
        if (seen == 0) {
            // The main unit closed the connection: the line ends there.
            line = builder.take();
            return static_cast<int>(line.size());
        }
        std::size_t wanted =
            builder.lineBytes(std::string_view(window.data(), static_cast<std::size_t>(seen)));
        long taken = net::receiveSome(fd, window.data(), wanted);
        if (taken <= 0) {
            return -1;
        }
        if (builder.push(std::string_view(window.data(), static_cast<std::size_t>(taken)))) {
            line = builder.take();
            return static_cast<int>(line.size());
        }
    }
}

void CFtpMng::drainReplies() {
    // Stray replies are a few lines at most. A peer that keeps sending lines must not hold us
    // here: the drain stops after so many lines or so much time, and whatever is left shows
    // up as a wrong or missing reply to the next command, which the callers handle.
    const auto deadline = std::chrono::steady_clock::now() + m_timeouts.drainTotal;
    std::string line;
    for (int lines = 0; lines < kDrainMaxLines && std::chrono::steady_clock::now() < deadline; ++lines) {
        pump();
        if (readReplyLineWithin(line, ftp::kReplyLineMax, m_timeouts.drain) <= 0) {
            return;
        }
    }
}

void CFtpMng::climbToRoot() {
    // Box directories lie two levels down; five steps up reach the root from anywhere the
    // program goes, and a reply other than success means we are there already.
    for (int i = 0; i < 5 && commandExchange("CWD ../\r\n") == 0; ++i) {
    }
}

}  // namespace voxmg
