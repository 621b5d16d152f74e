#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A deliberately small FTP client for the simulator's tests: raw lines in, raw lines out, so
// a test sees exactly what the simulator sent. Not the program's client.
namespace voxmg::sim::test {

using namespace std::chrono_literals;

class RawFtpClient {
public:
    explicit RawFtpClient(std::uint16_t port);
    ~RawFtpClient();
    RawFtpClient(const RawFtpClient&) = delete;
    RawFtpClient& operator=(const RawFtpClient&) = delete;

    bool connected() const { return m_control >= 0; }

    // One line without its CR LF; empty optional on timeout or when the server closed.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = 5s);
    void sendRaw(std::string_view bytes);
    // Sends the line with CR LF and returns the first reply line ("" when none came).
    std::string command(std::string_view line);
    std::string login(std::string_view user, std::string_view password);

    struct Transfer {
        std::string first;  // reply to the transfer command
        std::string data;   // bytes of the data connection
        std::string last;   // reply after the data ("" when none came)
    };
    Transfer download(std::string_view line);
    Transfer upload(std::string_view line, std::string_view bytes);

    // For tests that drive a data connection by hand: sends PORT for a new listening socket
    // and returns its reply; acceptData() then takes the simulator's connection.
    std::string sendPort();
    int acceptData(std::chrono::milliseconds timeout = 5s);

    // True when the server closes the control connection within the timeout.
    bool closedByServer(std::chrono::milliseconds timeout = 5s);

private:
    int m_control = -1;
    int m_listener = -1;
    std::string m_buffer;
};

// The decimal reply code at the start of a line, or 0.
int replyCode(std::string_view line);

}  // namespace voxmg::sim::test
