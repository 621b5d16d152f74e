// voxmg-sim as scripts start it: a separate process that says where it listens.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "sim_fixture.h"

extern char** environ;

namespace voxmg::sim::test {
namespace {

class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), VOXMG_SIM_EXE);
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
    }
    ~SimProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) {
            ::close(m_out);
        }
    }

    // The first line of standard output, or "" when none came.
    std::string firstLine() {
        std::string line;
        char c = 0;
        pollfd p{m_out, POLLIN, 0};
        while (::poll(&p, 1, 10000) > 0 && ::read(m_out, &c, 1) == 1 && c != '\n') {
            line += c;
        }
        return line;
    }

    std::uint16_t port() {
        std::string line = firstLine();
        const std::string prefix = "listening 127.0.0.1:";
        EXPECT_EQ(line.substr(0, prefix.size()), prefix) << line;
        return line.size() > prefix.size() ? static_cast<std::uint16_t>(std::stoi(line.substr(prefix.size())))
                                           : 0;
    }

    // Stops the process as a terminal would and returns its exit status.
    int stop() {
        ::kill(m_pid, SIGTERM);
        return exitStatus();
    }

    int exitStatus() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

TEST(SimCommandLineTest, ServesDemoContentOnAnEphemeralPort) {
    TempFolder folder;
    SimProcess process({"--demo", folder.path(), "--port", "0"});
    std::uint16_t port = process.port();
    ASSERT_NE(port, 0);
    RawFtpClient client(port);
    EXPECT_EQ(replyCode(client.login("kansei", "kansei")), 230);
    ASSERT_EQ(replyCode(client.command("CWD /rusuroku")), 250);
    EXPECT_NE(client.download("NLST").data.find("*001.\r\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("naisen")));
    EXPECT_EQ(process.stop(), 0);
}

TEST(SimCommandLineTest, TakesModelAndAccountsFromOptions) {
    TempFolder folder;
    SimProcess process({"--root", folder.path(), "--bind", "127.0.0.1", "--model", "Zu-QZ", "--user", "ops",
                        "--password", "pw"});
    std::uint16_t port = process.port();
    ASSERT_NE(port, 0);
    RawFtpClient refused(port);
    EXPECT_EQ(refused.readLine().value_or("").substr(0, 10), "220 Zu-QZ ");
    refused.command("USER hozen");
    EXPECT_EQ(replyCode(refused.command("PASS hozen")), 530);
    RawFtpClient accepted(port);
    EXPECT_EQ(replyCode(accepted.login("ops", "pw")), 230);
}

TEST(SimCommandLineTest, RefusesBadOptions) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--root", "/tmp", "--port", "http"},
                                               {"--root", "/tmp", "--port", "70000"},
                                               {"--root", "/tmp", "--user", "ops"},
                                               {"--root", "/tmp", "--password", "pw"},
                                               {"--port", "0"},
                                               {"--root"},
                                               {"--root", "/tmp", "--color", "red"}}) {
        SimProcess process(arguments);
        EXPECT_EQ(process.firstLine(), "");
        EXPECT_EQ(process.exitStatus(), 2) << arguments.back();
    }
}

}  // namespace
}  // namespace voxmg::sim::test
