#include "raw_ftp_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace voxmg::sim::test {

namespace {

bool readable(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

std::string readAll(int fd) {
    std::string data;
    char buffer[4096];
    while (readable(fd, 5s)) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

}  // namespace

int replyCode(std::string_view line) {
    int code = 0;
    for (char c : line.substr(0, 3)) {
        if (c < '0' || c > '9') {
            return 0;
        }
        code = code * 10 + (c - '0');
    }
    return line.size() >= 3 ? code : 0;
}

RawFtpClient::RawFtpClient(std::uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        m_control = fd;
    } else {
        ::close(fd);
    }
}

RawFtpClient::~RawFtpClient() {
    if (m_listener >= 0) {
        ::close(m_listener);
    }
    if (m_control >= 0) {
        ::close(m_control);
    }
}

std::optional<std::string> RawFtpClient::readLine(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto end = m_buffer.find("\r\n");
        if (end != std::string::npos) {
            std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 2);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (m_control < 0 || left.count() <= 0 || !readable(m_control, left)) {
            return std::nullopt;
        }
        char buffer[1024];
        ssize_t n = ::recv(m_control, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return std::nullopt;
        }
        m_buffer.append(buffer, static_cast<std::size_t>(n));
    }
}

void RawFtpClient::sendRaw(std::string_view bytes) {
    if (m_control >= 0) {
        ::send(m_control, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
}

std::string RawFtpClient::command(std::string_view line) {
    sendRaw(std::string(line) + "\r\n");
    return readLine().value_or("");
}

std::string RawFtpClient::login(std::string_view user, std::string_view password) {
    readLine();  // greeting
    command("USER " + std::string(user));
    return command("PASS " + std::string(password));
}

std::string RawFtpClient::sendPort() {
    if (m_listener >= 0) {
        ::close(m_listener);
    }
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_listener, 1);
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    unsigned port = ntohs(address.sin_port);
    return command("PORT 127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256));
}

int RawFtpClient::acceptData(std::chrono::milliseconds timeout) {
    if (m_listener < 0 || !readable(m_listener, timeout)) {
        return -1;
    }
    return ::accept(m_listener, nullptr, nullptr);
}

RawFtpClient::Transfer RawFtpClient::download(std::string_view line) {
    Transfer transfer;
    sendPort();
    transfer.first = command(line);
    if (replyCode(transfer.first) != 150) {
        return transfer;
    }
    int data = acceptData();
    if (data >= 0) {
        transfer.data = readAll(data);
        ::close(data);
    }
    transfer.last = readLine().value_or("");
    return transfer;
}

RawFtpClient::Transfer RawFtpClient::upload(std::string_view line, std::string_view bytes) {
    Transfer transfer;
    sendPort();
    transfer.first = command(line);
    if (replyCode(transfer.first) != 150) {
        return transfer;
    }
    int data = acceptData();
    if (data >= 0) {
        ::send(data, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        ::close(data);
    }
    transfer.last = readLine().value_or("");
    return transfer;
}

bool RawFtpClient::closedByServer(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!readable(m_control, 50ms)) {
            continue;
        }
        char buffer[1024];
        ssize_t n = ::recv(m_control, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return true;
        }
    }
    return false;
}

}  // namespace voxmg::sim::test
