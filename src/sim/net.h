#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "core/device/socket.h"

// Small POSIX socket helpers of the simulator. Every wait is cut into short slices so that a
// stopping simulator is never held up by a client that has gone quiet.
namespace voxmg::sim {

using net::UniqueFd;

enum class WaitResult { Ready, TimedOut, Stopped, Error };

// Waits until fd is readable, `timeout` has passed or `stopping` is set.
WaitResult waitReadable(int fd, std::chrono::milliseconds timeout, const std::atomic<bool>& stopping);

// Sends every byte (no SIGPIPE); false when the peer is gone.
bool sendAll(int fd, std::string_view bytes);

// Sleeps for `duration` unless `stopping` is set first.
void sleepUnlessStopping(std::chrono::milliseconds duration, const std::atomic<bool>& stopping);

// Connects out to an IPv4 address within `timeout`; an invalid fd on failure.
UniqueFd connectTo(const sockaddr_in& address, std::chrono::milliseconds timeout,
                   const std::atomic<bool>& stopping);

// A listening IPv4 TCP socket on address:port (port 0 = any free one).
UniqueFd listenOn(const std::string& address, std::uint16_t port, int backlog);
std::optional<sockaddr_in> localAddress(int fd);
std::optional<sockaddr_in> peerAddress(int fd);

// Parses the argument of PORT ("h1,h2,h3,h4,p1,p2").
std::optional<sockaddr_in> parsePortArgument(std::string_view argument);

}  // namespace voxmg::sim
