#include "fake_ftp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace voxmg::test {

namespace {

bool waitIn(int fd, const std::atomic<bool>& stop) {
    pollfd p{fd, POLLIN, 0};
    while (!stop) {
        int rc = ::poll(&p, 1, 20);
        if (rc > 0) {
            return true;
        }
        if (rc < 0) {
            return false;
        }
    }
    return false;
}

bool sendRaw(int fd, std::string_view bytes, const std::atomic<bool>& stop) {
    pollfd p{fd, POLLOUT, 0};
    while (fd >= 0 && !bytes.empty()) {
        // A client that stopped reading must not keep the server thread from its stop.
        if (stop || ::poll(&p, 1, 20) < 0) {
            return false;
        }
        if (p.revents == 0) {
            continue;  // no room yet; a hang-up or error shows in the send below
        }
        ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return bytes.empty();
}

}  // namespace

bool FakeFtpServer::Session::reply(std::string_view raw) {
    return sendRaw(m_control, raw, *m_stop);
}

bool FakeFtpServer::Session::openData(const char* fromAddress) {
    closeData();
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    ::inet_pton(AF_INET, fromAddress, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_portPort);
    ::inet_pton(AF_INET, m_portAddress.c_str(), &to.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return false;
    }
    m_data = fd;
    return true;
}

bool FakeFtpServer::Session::sendData(std::string_view bytes) {
    return sendRaw(m_data, bytes, *m_stop);
}

std::string FakeFtpServer::Session::readDataToEnd() {
    std::string all;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::recv(m_data, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return all;
        }
        all.append(buffer, static_cast<std::size_t>(n));
    }
}

void FakeFtpServer::Session::closeData() {
    if (m_data >= 0) {
        ::close(m_data);
        m_data = -1;
    }
}

FakeFtpServer::FakeFtpServer(std::string greeting, Handler handler)
    : m_greeting(std::move(greeting)), m_handler(std::move(handler)) {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(m_listen, 4) == 0 &&
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
        m_port = ntohs(a.sin_port);
    }
    m_thread = std::thread([this] { serve(); });
}

FakeFtpServer::~FakeFtpServer() {
    m_stop = true;
    m_thread.join();
    ::close(m_listen);
}

std::vector<std::string> FakeFtpServer::commands() const {
    std::lock_guard lock(m_lock);
    return m_commands;
}

void FakeFtpServer::serve() {
    while (waitIn(m_listen, m_stop)) {
        int control = ::accept(m_listen, nullptr, nullptr);
        if (control < 0) {
            return;
        }
        // Each reply leaves at once, so a reply sent in pieces arrives in pieces.
        int on = 1;
        ::setsockopt(control, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        serveConnection(control);
        ::close(control);
    }
}

void FakeFtpServer::serveConnection(int control) {
    Session session;
    session.m_control = control;
    session.m_stop = &m_stop;
    session.reply(m_greeting);
    std::string line;
    char byte = 0;
    while (waitIn(control, m_stop) && ::recv(control, &byte, 1, 0) == 1) {
        line.push_back(byte);
        if (!line.ends_with("\r\n")) {
            continue;
        }
        line.resize(line.size() - 2);
        {
            std::lock_guard lock(m_lock);
            m_commands.push_back(line);
        }
        if (line.starts_with("PORT ")) {
            unsigned h[4] = {}, p[2] = {};
            if (std::sscanf(line.c_str() + 5, "%u,%u,%u,%u,%u,%u", &h[0], &h[1], &h[2], &h[3], &p[0],
                            &p[1]) == 6) {
                session.m_portAddress = std::to_string(h[0]) + "." + std::to_string(h[1]) + "." +
                                        std::to_string(h[2]) + "." + std::to_string(h[3]);
                session.m_portPort = static_cast<std::uint16_t>(p[0] * 256 + p[1]);
            }
        }
        m_handler(session, line);
        line.clear();
    }
    session.closeData();
}

}  // namespace voxmg::test
