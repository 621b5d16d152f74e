#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The few POSIX socket facilities the FTP client uses, behind an fd owner and plain functions
// so that no system header leaks into the client's interface. IPv4 only: the main unit speaks
// nothing else, and active mode sends a dotted IPv4 address in PORT.
namespace voxmg::net {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    explicit operator bool() const { return valid(); }
    int release();
    void reset(int fd = -1);
    // Shut both directions down before closing, so the peer sees the end at once even when
    // another descriptor still refers to the socket.
    void shutdownAndReset();

private:
    int m_fd = -1;
};

// Addresses and ports in host byte order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

enum class Wait { Ready, TimedOut, Failed };

Wait waitReadable(int fd, std::chrono::milliseconds limit);
Wait waitWritable(int fd, std::chrono::milliseconds limit);

// First IPv4 address of a host name or dotted address.
std::optional<std::uint32_t> resolveIpv4(const std::string& host);
// Connects within the time limit; the socket is returned in blocking mode.
UniqueFd connectTcp(Endpoint to, std::chrono::milliseconds limit);
// A socket listening on the address with a port the system picks, backlog 1.
UniqueFd listenTcp(std::uint32_t address);
// Accepts one connection; invalid when accept failed.
UniqueFd acceptOne(int listenFd, Endpoint* peer);

std::optional<Endpoint> localEndpoint(int fd);
std::string dotted(std::uint32_t address);

// Sends all bytes, waiting at most `limit` for room before each send; false on failure.
// Never raises SIGPIPE: a peer that went away is an ordinary failure here.
bool sendAll(int fd, std::string_view bytes, std::chrono::milliseconds limit);
// One receive; returns the byte count, 0 at the peer's end, -1 on error.
long receiveSome(int fd, void* buffer, std::size_t size);
// The same, but the bytes stay in the socket for the next receive.
long peekSome(int fd, void* buffer, std::size_t size);
// What is there already, without waiting: the byte count, 0 at the peer's end, -1 on error,
// kNothingYet when nothing has arrived.
inline constexpr long kNothingYet = -2;
long receiveWaiting(int fd, void* buffer, std::size_t size);

}  // namespace voxmg::net
