#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A scripted FTP server for the client's tests: it sends a chosen greeting, logs every command
// line and hands it to a handler that answers with whatever bytes the test wants, including
// malformed, overlong or missing replies. One connection at a time, on 127.0.0.1, port 0.
namespace voxmg::test {

class FakeFtpServer {
public:
    class Session {
    public:
        // Sends return false once the client has gone or the server is stopping, so a handler
        // may send without end and still let the test finish.
        bool reply(std::string_view raw);
        // Connects to the address of the last PORT command, from `fromAddress`.
        bool openData(const char* fromAddress = "127.0.0.1");
        bool sendData(std::string_view bytes);
        std::string readDataToEnd();
        void closeData();
        bool hasData() const { return m_data >= 0; }
        bool stopping() const { return m_stop->load(); }

    private:
        friend class FakeFtpServer;
        int m_control = -1;
        int m_data = -1;
        std::string m_portAddress;
        std::uint16_t m_portPort = 0;
        const std::atomic<bool>* m_stop = nullptr;
    };
    using Handler = std::function<void(Session&, const std::string& line)>;

    FakeFtpServer(std::string greeting, Handler handler);
    ~FakeFtpServer();
    FakeFtpServer(const FakeFtpServer&) = delete;
    FakeFtpServer& operator=(const FakeFtpServer&) = delete;

    std::uint16_t port() const { return m_port; }
    std::vector<std::string> commands() const;

private:
    void serve();
    void serveConnection(int control);

    std::string m_greeting;
    Handler m_handler;
    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::vector<std::string> m_commands;
    std::thread m_thread;
};

}  // namespace voxmg::test
