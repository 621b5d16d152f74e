#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "sim_fixture.h"

namespace voxmg::sim::test {
namespace {

namespace fs = std::filesystem;

class FaultTest : public SimulatorTest {
protected:
    void inject(const Faults& faults) { m_simulator->setFaults(faults); }
};

TEST_F(FaultTest, NoGreetingKeepsSilent) {
    Faults faults;
    faults.noGreeting = true;
    inject(faults);
    RawFtpClient client(m_simulator->port());
    ASSERT_TRUE(client.connected());
    EXPECT_FALSE(client.readLine(700ms).has_value());
    client.sendRaw("USER hozen\r\n");
    EXPECT_FALSE(client.readLine(300ms).has_value());
}

TEST_F(FaultTest, DelayHoldsBackEveryReply) {
    auto client = loggedIn();
    Faults faults;
    faults.replyDelay = 400ms;
    inject(faults);
    auto started = std::chrono::steady_clock::now();
    client->sendRaw("CWD /outou\r\n");
    EXPECT_FALSE(client->readLine(150ms).has_value());
    EXPECT_EQ(replyCode(client->readLine(2s).value_or("")), 250);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 400ms);
}

TEST_F(FaultTest, DataConnectionDropsAfterNBytes) {
    Faults faults;
    faults.dropDataAfterBytes = 1000;
    inject(faults);
    auto client = loggedIn();
    auto retrieval = client->download("RETR /rusuroku/001/" + kMessage3 + ".vmdat");
    EXPECT_EQ(retrieval.data, readFile(m_root.file("rusuroku/001/" + kMessage3 + ".vmdat")).substr(0, 1000));
    EXPECT_EQ(replyCode(retrieval.last), 426);
    // A file shorter than the limit goes through whole.
    auto small = client->download("RETR /rusuroku/001/" + kMessage1 + ".vminf");
    EXPECT_EQ(small.data.size(), 256u);
    EXPECT_EQ(replyCode(small.last), 226);
}

TEST_F(FaultTest, ControlConnectionCanDropWithTheData) {
    Faults faults;
    faults.dropDataAfterBytes = 0;
    faults.dropControlAfterDrop = true;
    inject(faults);
    auto client = loggedIn();
    auto retrieval = client->download("RETR /rusuroku/001/" + kMessage1 + ".vmdat");
    EXPECT_EQ(replyCode(retrieval.first), 150);
    EXPECT_TRUE(retrieval.data.empty());
    EXPECT_EQ(retrieval.last, "");
    EXPECT_TRUE(client->closedByServer());
}

TEST_F(FaultTest, FileVanishesBetweenListingAndRetrieval) {
    Faults faults;
    faults.vanishOnRetrieve = {kMessage1 + ".vmdat"};
    inject(faults);
    auto client = loggedIn();
    ASSERT_EQ(replyCode(client->command("CWD /rusuroku/001")), 250);
    EXPECT_NE(client->download("NLST").data.find(kMessage1 + ".vmdat"), std::string::npos);
    EXPECT_EQ(replyCode(client->download("RETR " + kMessage1 + ".vmdat").first), 550);
    EXPECT_FALSE(fs::exists(m_root.file("rusuroku/001/" + kMessage1 + ".vmdat")));
    EXPECT_EQ(client->download("NLST").data.find(kMessage1 + ".vmdat"), std::string::npos);
    EXPECT_EQ(replyCode(client->download("RETR " + kMessage3 + ".vmdat").last), 226);
}

struct ForcedCase {
    std::string verb;
    int code;
    std::string line;  // what the client sends
    bool transfer;
};

class ForcedReplyTest : public FaultTest, public ::testing::WithParamInterface<ForcedCase> {};

TEST_P(ForcedReplyTest, ChosenCommandGetsTheChosenCode) {
    auto client = loggedIn();
    Faults faults;
    faults.replyCodes[GetParam().verb] = GetParam().code;
    inject(faults);
    std::string reply =
        GetParam().transfer ? client->download(GetParam().line).first : client->command(GetParam().line);
    EXPECT_EQ(replyCode(reply), GetParam().code);
    // The command was not carried out.
    EXPECT_TRUE(fs::exists(m_root.file("rusuroku/001/" + kMessage1 + ".vmdat")));
    EXPECT_FALSE(fs::exists(m_root.file("outou/202412100930_TUE_A005_0000.vmdat")));
    // Other commands answer as usual.
    EXPECT_EQ(replyCode(client->command("ABOR")), GetParam().verb == "ABOR" ? GetParam().code : 225);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ForcedReplyTest,
    ::testing::Values(ForcedCase{"DELE", 450, "DELE /rusuroku/001/" + kMessage1 + ".vminf", false},
                      ForcedCase{"DELE", 550, "DELE /rusuroku/001/*.vminf", false},
                      ForcedCase{"STOR", 452, "STOR /outou/202412100930_TUE_A005_0000.vmdat", true},
                      ForcedCase{"CWD", 550, "CWD /rusuroku", false},
                      ForcedCase{"RETR", 550, "RETR /rusuroku/001/" + kMessage1 + ".vmdat", true},
                      ForcedCase{"NLST", 550, "NLST", true}, ForcedCase{"ABOR", 500, "ABOR", false},
                      ForcedCase{"PORT", 421, "PORT 127,0,0,1,4,1", false}));

TEST_F(FaultTest, StoreCanFailAfterItsData) {
    Faults faults;
    faults.transferEndCodes["STOR"] = 452;
    inject(faults);
    auto client = loggedIn();
    auto stored = client->upload("STOR /outou/202412100930_TUE_A005_0000.vmdat", minimalHeader(false));
    EXPECT_EQ(replyCode(stored.first), 150);
    EXPECT_EQ(replyCode(stored.last), 452);
    EXPECT_FALSE(fs::exists(m_root.file("outou/202412100930_TUE_A005_0000.vmdat")));
}

// A main unit that says 226 for a store it does not hold whole: right after 150, before any
// data, or after a part. Either way it keeps the first 100 bytes.
class LyingStoreTest : public FaultTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LyingStoreTest, AnswersCompleteAndKeepsOnlyPart) {
    Faults faults;
    faults.storeCompleteEarly = GetParam();
    faults.claimCompleteAfterDrop = !GetParam();
    faults.dropDataAfterBytes = 100;
    inject(faults);
    auto client = loggedIn();
    const std::string bytes = minimalHeader(false) + patternBytes(5000);
    auto stored = client->upload("STOR /outou/202412100930_TUE_A005_0000.vmdat", bytes);
    EXPECT_EQ(replyCode(stored.first), 150);
    EXPECT_EQ(replyCode(stored.last), 226);
    // The early answer comes before the simulator has stored anything: wait for the file.
    const std::string path = m_root.file("outou/202412100930_TUE_A005_0000.vmdat");
    for (int i = 0; i < 200 && !fs::exists(path); ++i) {
        ::usleep(10'000);
    }
    EXPECT_EQ(readFile(path), bytes.substr(0, 100));
}

INSTANTIATE_TEST_SUITE_P(When, LyingStoreTest, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "BeforeData" : "AfterPart");
});

TEST_F(FaultTest, MultiLineGreetingCarriesTheModelInEveryLine) {
    Faults faults;
    faults.multiLineGreeting = true;
    inject(faults);
    RawFtpClient client(m_simulator->port());
    auto first = client.readLine().value_or("");
    EXPECT_EQ(first.substr(0, 10), "220-Zu-QX ");
    std::string last = first;
    while (last.size() > 3 && last[3] == '-') {
        last = client.readLine().value_or("");
    }
    EXPECT_EQ(last.substr(0, 4), "220 ");
}

TEST_F(FaultTest, MultiLineRepliesPrecedeTheFinalLine) {
    auto client = loggedIn();
    Faults faults;
    faults.multiLineReplies = true;
    inject(faults);
    EXPECT_EQ(client->command("CWD /outou").substr(0, 4), "250-");
    EXPECT_EQ(client->readLine().value_or("").substr(0, 4), "250 ");
}

TEST_F(FaultTest, LongRepliesArePaddedToTheChosenLength) {
    Faults faults;
    faults.longReplyLength = 600;
    inject(faults);
    RawFtpClient client(m_simulator->port());
    auto greeting = client.readLine().value_or("");
    EXPECT_EQ(greeting.size(), 600u);
    EXPECT_EQ(greeting.substr(0, 10), "220 Zu-QX ");
    EXPECT_EQ(client.command("USER hozen").size(), 600u);
}

}  // namespace
}  // namespace voxmg::sim::test
