#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/device/ftp_mng.h"
#include "fake_ftp_server.h"
#include "support/temp_folder.h"

// A logged-in client against the scripted server, for the client's tests.
namespace voxmg::test {

using Session = FakeFtpServer::Session;

// What the scripted server answers. A reply found for the whole command line wins over one for
// its verb; RETR and NLST send `files[argument]` over a data connection; STOR keeps the data.
struct Script {
    std::map<std::string, std::string> replies;
    std::map<std::string, std::string> files;
    std::string storeFinal = "226 Transfer complete.\r\n";
    std::function<bool(Session&, const std::string& line)> special;  // true = handled

    // The server's thread writes what STOR brought while the test's thread may already be
    // reading it: when the final reply never comes, no reply orders the two.
    void keepStored(std::string data) {
        std::lock_guard lock(m_storedLock);
        m_stored = std::move(data);
    }
    std::string stored() const {
        std::lock_guard lock(m_storedLock);
        return m_stored;
    }

private:
    mutable std::mutex m_storedLock;
    std::string m_stored;
};

inline void answer(Script& script, Session& s, const std::string& line) {
    if (script.special && script.special(s, line)) {
        return;
    }
    std::string verb = line.substr(0, line.find(' '));
    std::string argument = line.size() > verb.size() ? line.substr(verb.size() + 1) : std::string();
    for (const std::string& key : {line, verb}) {
        if (auto it = script.replies.find(key); it != script.replies.end()) {
            s.reply(it->second);
            return;
        }
    }
    static const std::map<std::string, std::string> defaults = {{"USER", "331 Password required.\r\n"},
                                                                {"PASS", "230 Logged in.\r\n"},
                                                                {"CWD", "250 OK.\r\n"},
                                                                {"PORT", "200 PORT OK.\r\n"},
                                                                {"QUIT", "221 Bye.\r\n"},
                                                                {"ABOR", "225 ABOR OK.\r\n"},
                                                                {"DELE", "250 Deleted.\r\n"}};
    if (verb == "RETR" || verb == "NLST") {
        s.reply("150 Opening data connection.\r\n");
        s.openData();
        s.sendData(script.files[argument]);
        s.closeData();
        s.reply("226 Transfer complete.\r\n");
    } else if (verb == "STOR") {
        s.reply("150 Opening data connection.\r\n");
        s.openData();
        script.keepStored(s.readDataToEnd());
        s.closeData();
        s.reply(script.storeFinal);
    } else if (auto it = defaults.find(verb); it != defaults.end()) {
        s.reply(it->second);
    } else {
        s.reply("500 Unknown command.\r\n");
    }
}

class RecordingProgress : public ProgressSink {
public:
    void setPosition(int position) override { positions.push_back(position); }
    std::vector<int> positions;
};

class FtpClientTest : public ::testing::Test {
protected:
    static constexpr const char* kGreeting = "220 Zu-QX FTP server ready.\r\n";

    void start(std::string greeting = kGreeting) {
        m_server = std::make_unique<FakeFtpServer>(
            std::move(greeting), [this](Session& s, const std::string& line) { answer(script, s, line); });
        client = std::make_unique<CFtpMng>(
            FtpLogin{u"127.0.0.1", u"hozen", u"secret", m_server->port()}, flags,
            [this] {
                if (onPump) {
                    onPump();
                }
            },
            timeouts);
    }
    void startLoggedIn() {
        start();
        ASSERT_EQ(client->connectAndLogin(), LoginResult::LoggedIn);
        client->connection()->localFolder = folder.path();
    }
    std::vector<std::string> commands() const { return m_server->commands(); }
    bool sent(const std::string& line) const {
        auto all = commands();
        return std::find(all.begin(), all.end(), line) != all.end();
    }
    long count(const std::string& line) const {
        auto all = commands();
        return std::count(all.begin(), all.end(), line);
    }

    Flags flags;
    FtpTimeouts timeouts = FtpTimeouts{}.dividedBy(20);
    std::function<void()> onPump;
    Script script;
    test::TempFolder folder;
    std::unique_ptr<CFtpMng> client;

private:
    std::unique_ptr<FakeFtpServer> m_server;
};

}  // namespace voxmg::test
