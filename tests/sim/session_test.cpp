#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "sim_fixture.h"

namespace voxmg::sim::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "line without CR LF";
        if (end == std::string::npos) {
            break;
        }
        result.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return result;
}

TEST_F(SimulatorTest, GreetsWithTheModelName) {
    RawFtpClient client(m_simulator->port());
    EXPECT_EQ(client.readLine().value_or(""), "220 Zu-QX FTP server ready.");

    Config other = baseConfig();
    other.model = "Zu-QY";
    restart(other);
    RawFtpClient second(m_simulator->port());
    EXPECT_EQ(second.readLine().value_or("").substr(0, 10), "220 Zu-QY ");
}

struct LoginCase {
    const char* user;
    const char* password;
    int code;
};

class LoginTest : public SimulatorTest, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(LoginTest, AnswersPass) {
    RawFtpClient client(m_simulator->port());
    EXPECT_EQ(replyCode(client.login(GetParam().user, GetParam().password)), GetParam().code);
    // Only a logged-in session may change directory.
    EXPECT_EQ(replyCode(client.command("CWD /rusuroku")), GetParam().code == 230 ? 250 : 530);
}

INSTANTIATE_TEST_SUITE_P(Accounts, LoginTest,
                         ::testing::Values(LoginCase{"hozen", "hozen", 230},
                                           LoginCase{"kansei", "kansei", 230},
                                           LoginCase{"hozen", "kansei", 530}, LoginCase{"hozen", "", 530},
                                           LoginCase{"admin", "admin", 530},
                                           LoginCase{"HOZEN", "hozen", 530}));

TEST_F(SimulatorTest, AccountsComeFromTheConfiguration) {
    Config config = baseConfig();
    config.accounts = {{"hozen", "secret"}};
    restart(config);
    RawFtpClient refused(m_simulator->port());
    EXPECT_EQ(replyCode(refused.login("hozen", "hozen")), 530);
    RawFtpClient accepted(m_simulator->port());
    EXPECT_EQ(replyCode(accepted.login("hozen", "secret")), 230);
}

TEST_F(SimulatorTest, PassWithoutUserIsRefused) {
    RawFtpClient client(m_simulator->port());
    client.readLine();
    EXPECT_EQ(replyCode(client.command("PASS hozen")), 503);
}

struct CwdCase {
    std::string from;
    std::string argument;
    int code;
    std::string listedFirst;  // first name NLST shows afterwards
};

class CwdTest : public SimulatorTest, public ::testing::WithParamInterface<CwdCase> {};

TEST_P(CwdTest, ChangesOnlyIntoExistingFoldersUnderTheRoot) {
    auto client = loggedIn();
    ASSERT_EQ(replyCode(client->command("CWD " + GetParam().from)), 250);
    EXPECT_EQ(replyCode(client->command("CWD " + GetParam().argument)), GetParam().code);
    auto listing = client->download("NLST");
    ASSERT_EQ(replyCode(listing.last), 226);
    EXPECT_EQ(listing.data.substr(0, listing.data.find("\r\n")), GetParam().listedFirst);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CwdTest,
    ::testing::Values(CwdCase{"/", "/rusuroku", 250, "*001."},
                      CwdCase{"/", "/rusuroku/001", 250, kMessage1 + ".vmdat"},
                      CwdCase{"/", "/naisen/201/", 250, kExtension + ".vmdat"},
                      CwdCase{"/rusuroku", "001", 250, kMessage1 + ".vmdat"},
                      CwdCase{"/rusuroku/001", "../", 250, "*001."},
                      CwdCase{"/rusuroku/001", "../../naisen", 250, "*201."},
                      CwdCase{"/", "../", 550, "*naisen."}, CwdCase{"/rusuroku", "../../..", 550, "*001."},
                      CwdCase{"/rusuroku", "/rusuroku/../../tmp", 550, "*001."},
                      CwdCase{"/", "/nothing", 550, "*naisen."}, CwdCase{"/", "..\\..", 550, "*naisen."},
                      CwdCase{"/", "/rusuroku/001/" + kMessage1 + ".vmdat", 550, "*naisen."}));

TEST_F(SimulatorTest, ClimbsToTheRootWithRepeatedParentSteps) {
    auto client = loggedIn();
    ASSERT_EQ(replyCode(client->command("CWD /rusuroku/001")), 250);
    EXPECT_EQ(replyCode(client->command("CWD ../")), 250);
    EXPECT_EQ(replyCode(client->command("CWD ../")), 250);
    EXPECT_EQ(replyCode(client->command("CWD ../")), 550);
    EXPECT_EQ(client->download("NLST").data, "*naisen.\r\n*outou.\r\n*rusuroku.\r\n");
}

TEST_F(SimulatorTest, NameListingsListFilesAndMarkFolders) {
    auto client = loggedIn();
    auto root = client->download("NLST");
    EXPECT_EQ(replyCode(root.first), 150);
    EXPECT_EQ(replyCode(root.last), 226);
    EXPECT_EQ(root.data, "*naisen.\r\n*outou.\r\n*rusuroku.\r\n");

    ASSERT_EQ(replyCode(client->command("CWD /rusuroku/001")), 250);
    // Each message's voice data file comes right before its recording info file.
    EXPECT_EQ(lines(client->download("NLST").data),
              (std::vector<std::string>{kMessage1 + ".vmdat", kMessage1 + ".vminf", kProtected + ".vmdat",
                                        kProtected + ".vminf", kMessage3 + ".vmdat", kMessage3 + ".vminf"}));
    EXPECT_EQ(lines(client->download("NLST *.vminf").data),
              (std::vector<std::string>{kMessage1 + ".vminf", kProtected + ".vminf", kMessage3 + ".vminf"}));
}

TEST_F(SimulatorTest, EmptyListingsAreRefusedWith550) {
    auto client = loggedIn();
    ASSERT_EQ(replyCode(client->command("CWD /rusuroku/002")), 250);
    EXPECT_EQ(replyCode(client->download("NLST").first), 550);
    EXPECT_EQ(replyCode(client->download("NLST -l").first), 550);
    ASSERT_EQ(replyCode(client->command("CWD /rusuroku/001")), 250);
    EXPECT_EQ(replyCode(client->download("NLST *.wav").first), 550);
    // The refused listing used up its PORT; the next one still works.
    EXPECT_EQ(replyCode(client->download("NLST").last), 226);
}

TEST_F(SimulatorTest, DetailedListingPutsSizeAndNameInFixedColumns) {
    auto client = loggedIn();
    ASSERT_EQ(replyCode(client->command("CWD /rusuroku/001")), 250);
    auto all = lines(client->download("NLST -l").data);
    ASSERT_EQ(all.size(), 6u);
    const std::vector<std::pair<std::string, std::size_t>> expected{
        {kMessage1 + ".vmdat", 256 + 3000},   {kMessage1 + ".vminf", 256},
        {kProtected + ".vmdat", 256 + 1500},  {kProtected + ".vminf", 256},
        {kMessage3 + ".vmdat", 256 + 123456}, {kMessage3 + ".vminf", 256}};
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::string& line = all[i];
        ASSERT_GE(line.size(), 24u + 9u + 33u) << line;
        std::string sizeColumn = line.substr(24, 9);
        EXPECT_EQ(std::stoul(sizeColumn.substr(sizeColumn.find_first_not_of(' '))), expected[i].second)
            << line;
        EXPECT_EQ(line.substr(line.size() - 33), expected[i].first) << line;
        EXPECT_EQ(line[23], ' ') << "the size must not run into the columns before it: " << line;
    }
    auto voiceOnly = lines(client->download("NLST -l *.vmdat").data);
    ASSERT_EQ(voiceOnly.size(), 3u);
    EXPECT_EQ(voiceOnly[2].substr(voiceOnly[2].size() - 33), kMessage3 + ".vmdat");
}

TEST_F(SimulatorTest, RetrieveIsByteExact) {
    auto client = loggedIn();
    ASSERT_EQ(replyCode(client->command("CWD /rusuroku/001")), 250);
    auto big = client->download("RETR " + kMessage3 + ".vmdat");
    EXPECT_EQ(replyCode(big.first), 150);
    EXPECT_EQ(replyCode(big.last), 226);
    EXPECT_EQ(big.data, readFile(m_root.file("rusuroku/001/" + kMessage3 + ".vmdat")));
    auto absolute = client->download("RETR /outou/" + kResponse + ".vmdat");
    EXPECT_EQ(absolute.data, minimalHeader(false) + patternBytes(2000));
}

TEST_F(SimulatorTest, RetrieveRefusesMissingAndEscapingNames) {
    auto client = loggedIn();
    ASSERT_EQ(replyCode(client->command("CWD /rusuroku/001")), 250);
    EXPECT_EQ(replyCode(client->download("RETR nothing.vmdat").first), 550);
    EXPECT_EQ(replyCode(client->download("RETR ../../../../etc/passwd").first), 550);
    EXPECT_EQ(replyCode(client->download("RETR /rusuroku/001").first), 550);
    // A transfer command without PORT has nowhere to send the data.
    EXPECT_EQ(replyCode(client->command("RETR " + kMessage1 + ".vmdat")), 425);
}

TEST_F(SimulatorTest, StoreWritesResponseMessagesIntoOutou) {
    auto client = loggedIn();
    const std::string base = "202412100930_TUE_A005_0000";
    std::string bytes = minimalHeader(false) + patternBytes(70000);
    auto stored = client->upload("STOR /outou/" + base + ".vmdat", bytes);
    EXPECT_EQ(replyCode(stored.first), 150);
    EXPECT_EQ(replyCode(stored.last), 226);
    EXPECT_EQ(readFile(m_root.file("outou/" + base + ".vmdat")), bytes);
    // The main unit keeps every message as a pair; the recording info is the header.
    EXPECT_EQ(readFile(m_root.file("outou/" + base + ".vminf")), minimalHeader(false));
    EXPECT_FALSE(fs::exists(m_root.file("outou/." + base + ".vmdat.part")));
}

TEST_F(SimulatorTest, StoreReplacesAnOlderMessageOfTheSameNumber) {
    auto client = loggedIn();
    const std::string newer = "202412101200_TUE_A001_0000";
    auto stored = client->upload("STOR /outou/" + newer + ".vmdat", minimalHeader(false) + patternBytes(100));
    EXPECT_EQ(replyCode(stored.last), 226);
    EXPECT_TRUE(fs::exists(m_root.file("outou/" + newer + ".vmdat")));
    EXPECT_FALSE(fs::exists(m_root.file("outou/" + kResponse + ".vmdat")));
    EXPECT_FALSE(fs::exists(m_root.file("outou/" + kResponse + ".vminf")));
}

TEST_F(SimulatorTest, StoreRefusesAnOlderOrBusyMessageWith450) {
    auto client = loggedIn();
    const std::string older = "202411010000_FRI_A001_0000.vmdat";
    EXPECT_EQ(replyCode(client->upload("STOR /outou/" + older, minimalHeader(false)).first), 450);
    Faults faults;
    faults.inUse = {kResponse + ".vmdat"};
    m_simulator->setFaults(faults);
    const std::string newer = "202412311200_TUE_A001_0000.vmdat";
    EXPECT_EQ(replyCode(client->upload("STOR /outou/" + newer, minimalHeader(false)).first), 450);
    EXPECT_FALSE(fs::exists(m_root.file("outou/" + older)));
    EXPECT_FALSE(fs::exists(m_root.file("outou/" + newer)));
    EXPECT_TRUE(fs::exists(m_root.file("outou/" + kResponse + ".vmdat")));
}

TEST_F(SimulatorTest, StoreElsewhereIsRefused) {
    auto client = loggedIn();
    const std::string good = "202412100930_TUE_A005_0000.vmdat";
    for (const std::string& target : std::vector<std::string>{
             "/rusuroku/001/" + good, "/outou/../rusuroku/001/" + good, "/" + good, "/outou/*.vmdat",
             "/outou", "/outou/x.vmdat", "/outou/202412100930_TUE_A000_0000.vmdat",
             "/outou/202412100930_TUE_A301_0000.vmdat", "/outou/202412100930_TUE_A005_0000.wav",
             "/outou/" + kMessage1 + ".vmdat"}) {
        EXPECT_EQ(replyCode(client->upload("STOR " + target, "data").first), 553) << target;
    }
    EXPECT_FALSE(fs::exists(m_root.file("rusuroku/001/" + good)));
    EXPECT_FALSE(fs::exists(m_root.file(good)));
    EXPECT_FALSE(fs::exists(m_root.file("outou/x.vmdat")));
}

TEST_F(SimulatorTest, DeleteRemovesTheWholeMessage) {
    auto client = loggedIn();
    EXPECT_EQ(replyCode(client->command("DELE /rusuroku/001/" + kMessage1 + ".vminf")), 250);
    EXPECT_FALSE(fs::exists(m_root.file("rusuroku/001/" + kMessage1 + ".vminf")));
    EXPECT_FALSE(fs::exists(m_root.file("rusuroku/001/" + kMessage1 + ".vmdat")));
    EXPECT_EQ(replyCode(client->command("DELE /outou/" + kResponse + ".vmdat")), 250);
    EXPECT_FALSE(fs::exists(m_root.file("outou/" + kResponse + ".vminf")));
    // Gone now, so a second delete finds nothing.
    EXPECT_EQ(replyCode(client->command("DELE /rusuroku/001/" + kMessage1 + ".vminf")), 550);
}

TEST_F(SimulatorTest, DeleteKeepsProtectedAndBusyMessages) {
    Faults faults;
    faults.inUse = {kMessage3 + ".vmdat"};
    m_simulator->setFaults(faults);
    auto client = loggedIn();
    EXPECT_EQ(replyCode(client->command("DELE /rusuroku/001/" + kProtected + ".vminf")), 550);
    EXPECT_EQ(replyCode(client->command("DELE /rusuroku/001/" + kMessage3 + ".vminf")), 450);
    EXPECT_EQ(replyCode(client->command("DELE /rusuroku/001/missing.vminf")), 550);
    EXPECT_EQ(replyCode(client->command("DELE /rusuroku/001")), 550);
    EXPECT_EQ(replyCode(client->command("DELE ../../x")), 550);
    EXPECT_TRUE(fs::exists(m_root.file("rusuroku/001/" + kProtected + ".vmdat")));
    EXPECT_TRUE(fs::exists(m_root.file("rusuroku/001/" + kMessage3 + ".vmdat")));
    EXPECT_TRUE(fs::exists(m_root.file("rusuroku/001/" + kMessage3 + ".vminf")));
}

TEST_F(SimulatorTest, WildcardDeleteEmptiesABoxButForProtectedMessages) {
    auto client = loggedIn();
    ASSERT_EQ(replyCode(client->command("CWD /rusuroku/001")), 250);
    EXPECT_EQ(replyCode(client->command("CWD ../")), 250);
    EXPECT_EQ(replyCode(client->command("DELE /rusuroku/001/*.vminf")), 250);
    EXPECT_FALSE(fs::exists(m_root.file("rusuroku/001/" + kMessage1 + ".vmdat")));
    EXPECT_FALSE(fs::exists(m_root.file("rusuroku/001/" + kMessage3 + ".vminf")));
    EXPECT_TRUE(fs::exists(m_root.file("rusuroku/001/" + kProtected + ".vmdat")));
    EXPECT_TRUE(fs::exists(m_root.file("rusuroku/001/" + kProtected + ".vminf")));
    // Nothing left to delete is still a success; a missing box is not.
    EXPECT_EQ(replyCode(client->command("DELE /rusuroku/002/*.vminf")), 250);
    EXPECT_EQ(replyCode(client->command("DELE /rusuroku/009/*.vminf")), 550);
    EXPECT_EQ(replyCode(client->command("DELE /../*.vminf")), 550);
}

TEST_F(SimulatorTest, UnknownAndMalformedCommandsGetErrorsNotACrash) {
    auto client = loggedIn();
    EXPECT_EQ(replyCode(client->command("SYST")), 500);
    EXPECT_EQ(replyCode(client->command("TYPE I")), 200);  // for other FTP clients
    EXPECT_EQ(replyCode(client->command("TYPE E")), 504);
    EXPECT_EQ(replyCode(client->command("PASV")), 500);
    EXPECT_EQ(replyCode(client->command("")), 500);
    EXPECT_EQ(replyCode(client->command(std::string("\x01\x02\xff", 3))), 500);
    EXPECT_EQ(replyCode(client->command(std::string(10000, 'A'))), 500);
    EXPECT_EQ(replyCode(client->command("CWD")), 501);
    EXPECT_EQ(replyCode(client->command("PORT 1,2,3")), 501);
    EXPECT_EQ(replyCode(client->command("PORT 127,0,0,1,300,1")), 501);
    EXPECT_EQ(replyCode(client->command("CWD /rusuroku/\x01")), 550);
    // Data connections go only back to the client's own address.
    EXPECT_EQ(replyCode(client->command("PORT 10,1,2,3,4,5")), 500);
    EXPECT_EQ(replyCode(client->command("CWD /rusuroku")), 250);
}

TEST_F(SimulatorTest, AbortWithoutATransferIsAcknowledged) {
    auto client = loggedIn();
    EXPECT_EQ(client->command("ABOR"), "225 ABOR command successful.");
    EXPECT_EQ(replyCode(client->command("ABOR")), 225);
}

TEST_F(SimulatorTest, AbortDuringARetrievalEndsItAndKeepsTheSession) {
    writeFile(m_root.file("rusuroku/001/big.vmdat"), minimalHeader(false) + patternBytes(16 * 1024 * 1024));
    auto client = loggedIn();
    ASSERT_EQ(replyCode(client->command("CWD /rusuroku/001")), 250);
    ASSERT_EQ(replyCode(client->sendPort()), 200);
    ASSERT_EQ(replyCode(client->command("RETR big.vmdat")), 150);
    int data = client->acceptData();
    ASSERT_GE(data, 0);
    char some[512];
    ASSERT_GT(::recv(data, some, sizeof some, 0), 0);
    // What a cancelling client does: drop the data connection, then ABOR.
    ::close(data);
    client->sendRaw("ABOR\r\n");
    EXPECT_EQ(replyCode(client->readLine().value_or("")), 426);
    EXPECT_EQ(replyCode(client->readLine().value_or("")), 225);
    EXPECT_EQ(replyCode(client->command("CWD /naisen")), 250);
}

TEST_F(SimulatorTest, CancelledUploadLeavesNoFile) {
    auto client = loggedIn();
    ASSERT_EQ(replyCode(client->sendPort()), 200);
    ASSERT_EQ(replyCode(client->command("STOR /outou/202412100930_TUE_A005_0000.vmdat")), 150);
    int data = client->acceptData();
    ASSERT_GE(data, 0);
    ::send(data, "partial", 7, MSG_NOSIGNAL);
    ::close(data);
    client->sendRaw("ABOR\r\n");
    EXPECT_EQ(replyCode(client->readLine().value_or("")), 426);
    EXPECT_EQ(replyCode(client->readLine().value_or("")), 225);
    EXPECT_FALSE(fs::exists(m_root.file("outou/202412100930_TUE_A005_0000.vmdat")));
}

TEST_F(SimulatorTest, ServesTwoClientsAtOnce) {
    writeFile(m_root.file("rusuroku/001/big.vmdat"), minimalHeader(false) + patternBytes(16 * 1024 * 1024));
    auto first = loggedIn();
    auto second = std::make_unique<RawFtpClient>(m_simulator->port());
    ASSERT_EQ(replyCode(first->command("CWD /rusuroku/001")), 250);
    // The first client's retrieval stalls with nobody reading its data...
    ASSERT_EQ(replyCode(first->sendPort()), 200);
    ASSERT_EQ(replyCode(first->command("RETR big.vmdat")), 150);
    int stalled = first->acceptData();
    ASSERT_GE(stalled, 0);
    // ...while the second logs in, changes directory and lists on its own.
    EXPECT_EQ(replyCode(second->login("kansei", "kansei")), 230);
    ASSERT_EQ(replyCode(second->command("CWD /naisen/201")), 250);
    EXPECT_EQ(second->download("NLST").data, kExtension + ".vmdat\r\n" + kExtension + ".vminf\r\n");
    ::close(stalled);
    EXPECT_EQ(replyCode(first->readLine().value_or("")), 426);
    EXPECT_EQ(replyCode(first->command("NOOP")), 500);
}

TEST_F(SimulatorTest, LogsCommandsWithPasswordsMasked) {
    auto client = loggedIn();
    client->command("CWD /outou");
    client->command("QUIT");
    EXPECT_EQ(m_simulator->commandLog(),
              (std::vector<std::string>{"USER hozen", "PASS ****", "CWD /outou", "QUIT"}));
    m_simulator->clearCommandLog();
    EXPECT_TRUE(m_simulator->commandLog().empty());
}

TEST_F(SimulatorTest, QuitSaysGoodbyeAndCloses) {
    auto client = loggedIn();
    EXPECT_EQ(replyCode(client->command("QUIT")), 221);
    EXPECT_TRUE(client->closedByServer());
}

TEST_F(SimulatorTest, StopsWhileClientsStayConnected) {
    auto idle = loggedIn();
    RawFtpClient silent(m_simulator->port());
    auto started = std::chrono::steady_clock::now();
    m_simulator->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_TRUE(idle->closedByServer());
    // It can serve again after a stop.
    ASSERT_TRUE(m_simulator->start());
    EXPECT_EQ(replyCode(loggedIn()->command("CWD /outou")), 250);
}

}  // namespace
}  // namespace voxmg::sim::test
