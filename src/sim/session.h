#pragma once

#include <netinet/in.h>

#include <atomic>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sim/net.h"
#include "sim/remote_tree.h"
#include "sim/simulator.h"

// One control connection of the simulator, served on its own thread from greeting to QUIT.
namespace voxmg::sim {

struct SessionEnvironment {
    const Config& config;  // model and accounts; not changed while serving
    RemoteTree& tree;
    std::function<Faults()> faults;               // current faults, read before every command
    std::function<void(std::string)> logCommand;  // each received line, passwords masked
    const std::atomic<bool>& stopping;
};

class Session {
public:
    Session(SessionEnvironment environment, UniqueFd control);
    void run();

private:
    enum class Outcome { Complete, Aborted, Dropped, Failed };

    std::optional<std::string> readLine();
    bool collectControlInput();  // false when the client has closed
    bool abortRequested();
    bool reply(int code, std::string_view text);
    bool greet();
    bool handle(const std::string& verb, const std::string& argument);
    bool handleLogin(const std::string& verb, const std::string& argument);
    bool handleCwd(const std::string& argument);
    bool handlePort(const std::string& argument);
    bool handleNlst(const std::string& argument, const sockaddr_in& dataAddress);
    bool handleRetr(const std::string& argument, const sockaddr_in& dataAddress);
    bool handleStor(const std::string& argument, const sockaddr_in& dataAddress);
    bool handleDele(const std::string& argument);

    // `endless`: after the bytes, zeros until the client goes away.
    Outcome sendData(int fd, std::string_view bytes, long dropAfter, bool endless);
    Outcome receiveData(int fd, std::string& bytes, long dropAfter);
    bool finishTransfer(const std::string& verb, Outcome outcome);

    SessionEnvironment m_env;
    UniqueFd m_control;
    Faults m_faults;                         // snapshot for the command in hand
    std::string m_input;                     // received bytes not yet split into lines
    bool m_discarding = false;               // dropping the rest of an overlong line
    std::deque<std::string> m_pendingLines;  // lines read ahead while a transfer ran
    std::string m_user;
    bool m_loggedIn = false;
    std::string m_cwd = "/";
    std::optional<sockaddr_in> m_dataAddress;  // from PORT, used by the next transfer
};

}  // namespace voxmg::sim
