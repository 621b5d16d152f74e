#include "core/device/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace voxmg::net {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

int UniqueFd::release() {
    int fd = m_fd;
    m_fd = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
}

void UniqueFd::shutdownAndReset() {
    if (m_fd >= 0) {
        ::shutdown(m_fd, SHUT_RDWR);
    }
    reset();
}

namespace {

Wait waitFor(int fd, short events, std::chrono::milliseconds limit) {
    if (fd < 0) {
        return Wait::Failed;
    }
    pollfd p{fd, events, 0};
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        int rc = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (rc > 0) {
            // A hang-up or error still counts as readable: the following receive reports it.
            return (p.revents & (events | POLLHUP | POLLERR)) != 0 ? Wait::Ready : Wait::Failed;
        }
        if (rc == 0) {
            return Wait::TimedOut;
        }
        if (errno != EINTR) {
            return Wait::Failed;
        }
    }
}

sockaddr_in toSockaddr(Endpoint e) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(e.address);
    a.sin_port = htons(e.port);
    return a;
}

}  // namespace

Wait waitReadable(int fd, std::chrono::milliseconds limit) {
    return waitFor(fd, POLLIN, limit);
}
Wait waitWritable(int fd, std::chrono::milliseconds limit) {
    return waitFor(fd, POLLOUT, limit);
}

std::optional<std::uint32_t> resolveIpv4(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) {
        return std::nullopt;
    }
    auto* in = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
    std::uint32_t address = ntohl(in->sin_addr.s_addr);
    ::freeaddrinfo(result);
    return address;
}

UniqueFd connectTcp(Endpoint to, std::chrono::milliseconds limit) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP));
    if (!fd) {
        return {};
    }
    sockaddr_in a = toSockaddr(to);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        if (errno != EINPROGRESS || waitWritable(fd.get(), limit) != Wait::Ready) {
            return {};
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            return {};
        }
    }
    int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return {};
    }
    return fd;
}

UniqueFd listenTcp(std::uint32_t address) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
    if (!fd) {
        return {};
    }
    sockaddr_in a = toSockaddr({address, 0});
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd.get(), 1) != 0) {
        return {};
    }
    return fd;
}

UniqueFd acceptOne(int listenFd, Endpoint* peer) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    UniqueFd fd(::accept4(listenFd, reinterpret_cast<sockaddr*>(&a), &length, SOCK_CLOEXEC));
    if (fd && peer) {
        *peer = {ntohl(a.sin_addr.s_addr), ntohs(a.sin_port)};
    }
    return fd;
}

std::optional<Endpoint> localEndpoint(int fd) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0 || a.sin_family != AF_INET) {
        return std::nullopt;
    }
    return Endpoint{ntohl(a.sin_addr.s_addr), ntohs(a.sin_port)};
}

std::string dotted(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

bool sendAll(int fd, std::string_view bytes, std::chrono::milliseconds limit) {
    while (!bytes.empty()) {
        if (waitWritable(fd, limit) != Wait::Ready) {
            return false;
        }
        ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

namespace {

long receiveWith(int fd, void* buffer, std::size_t size, int flags) {
    for (;;) {
        ssize_t n = ::recv(fd, buffer, size, flags);
        if (n >= 0 || errno != EINTR) {
            return n < 0 ? -1 : static_cast<long>(n);
        }
    }
}

}  // namespace

long receiveSome(int fd, void* buffer, std::size_t size) {
    return receiveWith(fd, buffer, size, 0);
}

long peekSome(int fd, void* buffer, std::size_t size) {
    return receiveWith(fd, buffer, size, MSG_PEEK);
}

long receiveWaiting(int fd, void* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::recv(fd, buffer, size, MSG_DONTWAIT);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return kNothingYet;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

}  // namespace voxmg::net
