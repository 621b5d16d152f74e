#include "sim/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <thread>
#include <vector>

namespace voxmg::sim {

namespace {

constexpr std::chrono::milliseconds kSlice{50};

int pollOnce(int fd, short events, std::chrono::milliseconds timeout) {
    pollfd p{fd, events, 0};
    int rc = 0;
    do {
        rc = ::poll(&p, 1, static_cast<int>(timeout.count()));
    } while (rc < 0 && errno == EINTR);
    if (rc <= 0) {
        return rc;
    }
    return p.revents;
}

}  // namespace

WaitResult waitReadable(int fd, std::chrono::milliseconds timeout, const std::atomic<bool>& stopping) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (stopping.load()) {
            return WaitResult::Stopped;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        int rc = pollOnce(fd, POLLIN, std::clamp(left, std::chrono::milliseconds{0}, kSlice));
        if (rc < 0) {
            return WaitResult::Error;
        }
        // A hang-up or error also counts as readable: the following recv reports it.
        if (rc > 0) {
            return WaitResult::Ready;
        }
        if (left.count() <= 0) {
            return WaitResult::TimedOut;
        }
    }
}

bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void sleepUnlessStopping(std::chrono::milliseconds duration, const std::atomic<bool>& stopping) {
    auto deadline = std::chrono::steady_clock::now() + duration;
    while (!stopping.load() && std::chrono::steady_clock::now() < deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        std::this_thread::sleep_for(std::min(left, kSlice));
    }
}

UniqueFd connectTo(const sockaddr_in& address, std::chrono::milliseconds timeout,
                   const std::atomic<bool>& stopping) {
    UniqueFd fd{::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)};
    if (!fd.valid()) {
        return {};
    }
    int rc = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (rc < 0 && errno != EINPROGRESS) {
        return {};
    }
    if (rc < 0) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        int events = 0;
        while (events == 0) {
            if (stopping.load() || std::chrono::steady_clock::now() >= deadline) {
                return {};
            }
            events = pollOnce(fd.get(), POLLOUT, kSlice);
            if (events < 0) {
                return {};
            }
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) < 0 || error != 0) {
            return {};
        }
    }
    int flags = ::fcntl(fd.get(), F_GETFL);
    ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

UniqueFd listenOn(const std::string& address, std::uint16_t port, int backlog) {
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &bound.sin_addr) != 1) {
        return {};
    }
    UniqueFd fd{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    if (!fd.valid()) {
        return {};
    }
    int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&bound), sizeof bound) < 0 ||
        ::listen(fd.get(), backlog) < 0) {
        return {};
    }
    return fd;
}

std::optional<sockaddr_in> localAddress(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) < 0) {
        return std::nullopt;
    }
    return address;
}

std::optional<sockaddr_in> peerAddress(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) < 0) {
        return std::nullopt;
    }
    return address;
}

std::optional<sockaddr_in> parsePortArgument(std::string_view argument) {
    std::vector<unsigned> parts;
    while (parts.size() < 6) {
        unsigned value = 256;
        auto [end, ec] = std::from_chars(argument.data(), argument.data() + argument.size(), value);
        if (ec != std::errc{} || value > 255) {
            return std::nullopt;
        }
        parts.push_back(value);
        argument.remove_prefix(static_cast<std::size_t>(end - argument.data()));
        if (parts.size() < 6) {
            if (argument.empty() || argument.front() != ',') {
                return std::nullopt;
            }
            argument.remove_prefix(1);
        }
    }
    if (!argument.empty()) {
        return std::nullopt;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3]);
    address.sin_port = htons(static_cast<std::uint16_t>(parts[4] << 8 | parts[5]));
    if (address.sin_port == 0) {
        return std::nullopt;
    }
    return address;
}

}  // namespace voxmg::sim
