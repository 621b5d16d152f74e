// The client against a third-party server (pyftpdlib), for the generic commands. Differences
// the client copes with: the data connection is made at PORT time (so RETR gets 125, not 150),
// it starts in ASCII mode (the client's TYPE I after login makes transfers binary), there is no
// wildcard NLST and no "NLST -l" (both answered 550, which the client reads as an empty
// listing), and an interrupted transfer is answered 426 + 226 rather than 225.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "core/base/paths.h"
#include "core/device/ftp_mng.h"
#include "core/lists/delete_operation.h"
#include "core/lists/response_upload.h"
#include "core/store/file_mng.h"
#include "support/message_files.h"
#include "support/temp_folder.h"

namespace voxmg {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

constexpr const char* kServerScript = R"(
import logging, sys
logging.disable(logging.CRITICAL)
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_user("hozen", "secret", sys.argv[1], perm="elradfmwMT")
class Handler(FTPHandler):
    banner = "Zu-QX compatible test server"
Handler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever(timeout=0.1)
)";

// pyftpdlib on loopback, in a child process that reports its port on stdout.
class PyFtpServer {
public:
    explicit PyFtpServer(const std::string& root) {
        int out[2];
        if (::access(kPython, X_OK) != 0 || ::pipe(out) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            // A test that dies must not leave its server behind: it would hold the test
            // runner's output open, and the runner would wait for it for ever.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(out[1], 1);
            ::close(out[0]);
            ::close(out[1]);
            ::execl(kPython, kPython, "-c", kServerScript, root.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        // Read up to the end of the line, and keep the pipe open while the server runs: the
        // line may come in pieces, and a closed pipe would end the server at its next write.
        m_output = out[0];
        std::string text;
        char c = 0;
        while (m_pid > 0 && ::read(m_output, &c, 1) == 1 && c != '\n') {
            text.push_back(c);
        }
        m_port = std::atoi(text.c_str());
    }
    ~PyFtpServer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_output);
    }
    PyFtpServer(const PyFtpServer&) = delete;
    PyFtpServer& operator=(const PyFtpServer&) = delete;
    int port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    int m_port = 0;
};

class PyFtpdlibTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(remote.path() + "/rusuroku/01");
        std::filesystem::create_directories(remote.path() + "/naisen");
        std::filesystem::create_directories(remote.path() + "/outou");
        test::writeFile(remote.file("rusuroku/01/a.vmdat"), test::patternBytes(5000));
        test::writeFile(remote.file("rusuroku/01/a.vminf"), "info");
        server = std::make_unique<PyFtpServer>(remote.path());
        if (server->port() == 0) {
            GTEST_SKIP() << "pyftpdlib is not available for " << kPython;
        }
        client = std::make_unique<CFtpMng>(FtpLogin{u"127.0.0.1", u"hozen", u"secret", server->port()}, flags,
                                           Pump{}, FtpTimeouts{}.dividedBy(10));
        ASSERT_EQ(client->connectAndLogin(), LoginResult::LoggedIn);
        client->connection()->localFolder = local.path();
    }

    test::TempFolder remote;
    test::TempFolder local;
    Flags flags;
    std::unique_ptr<PyFtpServer> server;
    std::unique_ptr<CFtpMng> client;
};

TEST_F(PyFtpdlibTest, WrongPasswordIsRefused) {
    client->setLogin({u"127.0.0.1", u"hozen", u"wrong", server->port()});
    EXPECT_EQ(client->connectAndLogin(), LoginResult::LoginRefused);
}

TEST_F(PyFtpdlibTest, ListsRetrievesStoresAndDeletes) {
    std::u16string names;
    ASSERT_EQ(client->nameListing("/rusuroku/01", ListKind::All, names), ListingResult::Listed);
    EXPECT_EQ(names, u"a.vmdat\r\na.vminf\r\n");
    EXPECT_EQ(client->nameListing("/rusuroku/99", ListKind::All, names), ListingResult::NoDirectory);
    // No wildcard listing here: its 550 reads as "no such files".
    EXPECT_EQ(client->nameListing("/rusuroku/01", ListKind::RecordingInfo, names), ListingResult::Listed);
    EXPECT_TRUE(names.empty());

    ASSERT_EQ(client->retrieve("a.vmdat", "a.vmdat", true, false), TransferResult::Done);
    EXPECT_TRUE(test::readFile(local.file("a.vmdat")) == test::patternBytes(5000));

    const std::string message = test::patternBytes(3000);
    auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(message.data()), message.size());
    ASSERT_EQ(client->storeResponseMessage("200001010000_001_A001_0000.vmdat", bytes), TransferResult::Done);
    EXPECT_TRUE(test::readFile(remote.file("outou/200001010000_001_A001_0000.vmdat")) == message);

    EXPECT_EQ(client->deleteFile("/rusuroku/01/a.vminf"), TransferResult::Done);
    EXPECT_FALSE(std::filesystem::exists(remote.file("rusuroku/01/a.vminf")));
    EXPECT_EQ(client->deleteFile("/rusuroku/01/a.vminf"), TransferResult::NoSuchFile);

    BoxListing boxes;
    ASSERT_EQ(client->boxListing(boxes), ListingResult::Listed);
    EXPECT_EQ(boxes.root, u"naisen\r\noutou\r\nrusuroku\r\n");
    EXPECT_EQ(boxes.extension, u"");
    EXPECT_EQ(boxes.answering, u"01\r\n");
    EXPECT_TRUE(client->probe());
    client->drainReplies();
    client->abort(true);
    client->disconnect();
    EXPECT_EQ(client->connection(), nullptr);
}

TEST_F(PyFtpdlibTest, LineEndBytesTravelUnchangedBothWays) {
    // In ASCII mode the server would turn LF into CR LF on the way out and CR LF into LF on
    // the way in; voice frames hold such bytes anywhere.
    const std::string bytes = std::string("\n\r\r\n\n\nA\r\rB\r\n\x0a\x0d") + test::patternBytes(3000) + "\r";
    test::writeFile(remote.file("rusuroku/01/crlf.vmdat"), bytes);
    ASSERT_EQ(client->commandExchange("CWD /rusuroku/01\r\n"), 0);
    ASSERT_EQ(client->retrieve("crlf.vmdat", "crlf.vmdat", true, false), TransferResult::Done);
    EXPECT_TRUE(test::readFile(local.file("crlf.vmdat")) == bytes);

    auto span = std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ASSERT_EQ(client->storeResponseMessage("200001010000_002_A002_0000.vmdat", span), TransferResult::Done);
    EXPECT_TRUE(test::readFile(remote.file("outou/200001010000_002_A002_0000.vmdat")) == bytes);
}

TEST_F(PyFtpdlibTest, CancelledRetrievalKeepsConnectionUsable) {
    test::writeFile(remote.file("rusuroku/01/big.vmdat"), test::patternBytes(4 << 20));
    client = std::make_unique<CFtpMng>(
        FtpLogin{u"127.0.0.1", u"hozen", u"secret", server->port()}, flags,
        [this, armed = true]() mutable {
            if (armed && client->connection()->chunkCount >= 3) {
                flags.cancelAll = 1;
                armed = false;
            }
        },
        FtpTimeouts{}.dividedBy(10));
    ASSERT_EQ(client->connectAndLogin(), LoginResult::LoggedIn);
    client->connection()->localFolder = local.path();
    std::u16string names;
    ASSERT_EQ(client->nameListing("/rusuroku/01", ListKind::All, names), ListingResult::Listed);
    EXPECT_EQ(client->retrieve("big.vmdat", "big.vmdat", true, false), TransferResult::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(local.file("big.vmdat")));  // no half file under its name
    flags.cancelAll = 0;
    client->drainReplies();
    EXPECT_EQ(client->retrieve("a.vmdat", "a.vmdat", true, false), TransferResult::Done);
    EXPECT_TRUE(test::readFile(local.file("a.vmdat")) == test::patternBytes(5000));
}

// The delete of a list against a server that is not the main unit: it knows no "NLST -l", so a
// main-unit-only delete does not find the message listed and leaves it alone; a delete on both
// sides goes through with one DELE of the recording info file.
TEST_F(PyFtpdlibTest, ListDeleteAgainstAnotherServer) {
    const std::string base = "202612061300_SUN_R101_00001";
    std::filesystem::create_directories(remote.path() + "/rusuroku/101");
    const test::Bytes message = test::boxMessage();
    test::writeFile(remote.file("rusuroku/101/" + base + ".vmdat"),
                    std::string(message.begin() + 990, message.end()));
    test::writeFile(remote.file("rusuroku/101/" + base + ".vminf"),
                    std::string(message.begin() + 990, message.begin() + 1246));
    std::filesystem::create_directories(local.path() + "/rusuroku/101");
    const std::string path = local.file("rusuroku/101/" + base + ".vmdat");
    test::writeFile(path, message);

    delete_op::DeleteRequest unitOnly{{path}, delete_op::DeleteKind::UnitOnly};
    auto refused = delete_op::run(unitOnly, client.get(), flags, {}, nullptr);
    ASSERT_EQ(refused.rows.size(), 1u);
    EXPECT_EQ(refused.rows[0].outcome, delete_op::RowOutcome::Gone);
    EXPECT_TRUE(std::filesystem::exists(remote.file("rusuroku/101/" + base + ".vminf")));

    delete_op::DeleteRequest both{{path}, delete_op::DeleteKind::Both};
    auto deleted = delete_op::run(both, client.get(), flags, {}, nullptr);
    EXPECT_TRUE(deleted.success);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(remote.file("rusuroku/101/" + base + ".vminf")));
}

// The upload of response messages against a server that is not the main unit: the main
// unit's bytes of each file arrive unchanged, and each row is marked as uploaded.
TEST_F(PyFtpdlibTest, ResponseUploadSendsTheUnitBytes) {
    std::filesystem::create_directories(local.path() + "/outou");
    const std::string first = test::writeResponse(local.path(), 1);
    const std::string second = test::writeResponse(local.path(), 2);
    auto result = response_upload::run({{first, "", second}}, *client, flags, {}, nullptr);
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.uploaded, 2);
    for (const std::string& path : {first, second}) {
        const std::string name(paths::fileName(path));
        EXPECT_TRUE(test::readFile(remote.file("outou/" + name)) == test::readFile(path).substr(990)) << name;
        FILESTS_INFO record;
        ASSERT_TRUE(CFileMng(flags).readRecord(path, record));
        EXPECT_EQ(record.played, 1);
    }
}

}  // namespace
}  // namespace voxmg
