#include <gtest/gtest.h>

#include <filesystem>

#include "scripted_client_fixture.h"

namespace voxmg {
namespace {

using test::FakeFtpServer;
using test::FtpClientTest;
using test::RecordingProgress;
using Session = FakeFtpServer::Session;

// ---- retrieve

TEST_F(FtpClientTest, RetrieveReplacesExistingFileAndCountsChunks) {
    const std::string content = test::patternBytes(3000);
    script.files["a.vmdat"] = content;
    startLoggedIn();
    test::writeFile(folder.file("b.vmdat"), std::string(10000, 'z'));
    RecordingProgress progress;
    client->setProgressSink(&progress);
    client->connection()->chunkCount = 7;

    ASSERT_EQ(client->retrieve("a.vmdat", "b.vmdat", true, false), TransferResult::Done);
    EXPECT_TRUE(test::readFile(folder.file("b.vmdat")) == content);
    EXPECT_EQ(client->connection()->byteCount, 3000u);
    EXPECT_EQ(progress.positions, (std::vector<int>{1, 2, 3}));

    // Without the reset the chunk counter runs on across retrievals.
    ASSERT_EQ(client->retrieve("a.vmdat", "a.vmdat", false, false), TransferResult::Done);
    EXPECT_EQ(client->connection()->chunkCount, 6);
}

TEST_F(FtpClientTest, RetrieveQuietOrDuringAlwaysDownloadShowsNoProgress) {
    script.files["a.vminf"] = test::patternBytes(2000);
    startLoggedIn();
    RecordingProgress progress;
    client->setProgressSink(&progress);
    ASSERT_EQ(client->retrieve("a.vminf", "a.vminf", true, true), TransferResult::Done);
    EXPECT_EQ(client->connection()->chunkCount, 0);
    flags.alwaysDownloadInProgress = 1;
    ASSERT_EQ(client->retrieve("a.vminf", "a.vminf", true, false), TransferResult::Done);
    EXPECT_EQ(client->connection()->chunkCount, 2);
    EXPECT_TRUE(progress.positions.empty());
}

TEST_F(FtpClientTest, RetrieveOfGoneFileReturnsItsCodeAndWritesNothing) {
    script.replies["RETR gone.vmdat"] = "550 No such file.\r\n";
    startLoggedIn();
    EXPECT_EQ(client->retrieve("gone.vmdat", "gone.vmdat", true, false), TransferResult::NoSuchFile);
    EXPECT_FALSE(std::filesystem::exists(folder.file("gone.vmdat")));
}

TEST_F(FtpClientTest, RetrieveNeverWritesOutsideLocalFolder) {
    startLoggedIn();
    for (const char* name : {"../escape.vmdat", "sub/x.vmdat", "..", "", "a\nb"}) {
        EXPECT_EQ(client->retrieve("x.vmdat", name, true, false), TransferResult::Failed) << name;
    }
    for (const auto& line : commands()) {
        EXPECT_FALSE(line.starts_with("RETR")) << line;
    }
}

TEST_F(FtpClientTest, RetrieveWithoutEndReplyFails) {
    script.special = [](Session& s, const std::string& line) {
        if (!line.starts_with("RETR")) {
            return false;
        }
        s.reply("150 Opening.\r\n");
        s.openData();
        s.sendData("partial");
        s.closeData();
        return true;
    };
    startLoggedIn();
    EXPECT_EQ(client->retrieve("a.vmdat", "a.vmdat", true, false), TransferResult::Failed);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST_F(FtpClientTest, TransferBrokenOffByServerIsNoSuccess) {
    script.special = [](Session& s, const std::string& line) {
        if (!line.starts_with("RETR")) {
            return false;
        }
        s.reply("150 Opening.\r\n");
        s.openData();
        s.sendData("first half");
        s.closeData();
        s.reply("426 Connection closed; transfer aborted.\r\n");
        return true;
    };
    startLoggedIn();
    EXPECT_EQ(client->retrieve("a.vmdat", "a.vmdat", true, false), TransferResult::Failed);
}

TEST_F(FtpClientTest, DataConnectionFromAnotherAddressIsRefused) {
    script.special = [](Session& s, const std::string& line) {
        if (!line.starts_with("RETR")) {
            return false;
        }
        s.reply("150 Opening.\r\n");
        // An intruder on the network races the main unit to our data port.
        if (s.openData("127.0.0.2")) {
            s.sendData("FORGED");
            s.closeData();
        }
        if (line == "RETR good.vmdat") {
            s.openData();
            s.sendData("GENUINE");
            s.closeData();
        }
        s.reply("226 Done.\r\n");
        return true;
    };
    startLoggedIn();
    ASSERT_EQ(client->retrieve("good.vmdat", "good.vmdat", true, false), TransferResult::Done);
    EXPECT_EQ(test::readFile(folder.file("good.vmdat")), "GENUINE");
    client->drainReplies();
    EXPECT_EQ(client->retrieve("only-intruder.vmdat", "x.vmdat", true, false), TransferResult::Failed);
    EXPECT_FALSE(std::filesystem::exists(folder.file("x.vmdat")));
}

TEST_F(FtpClientTest, CancelDuringRetrievalAbortsAndLeavesNoFile) {
    script.special = [](Session& s, const std::string& line) {
        if (line.starts_with("RETR")) {
            // Send part of the file and hold the connection open, as a slow main unit would.
            s.reply("150 Opening.\r\n");
            s.openData();
            s.sendData(test::patternBytes(4096));
            return true;
        }
        if (line == "ABOR" && s.hasData()) {
            s.closeData();
            s.reply("426 Transfer aborted.\r\n226 ABOR successful.\r\n");
            return true;
        }
        return false;
    };
    startLoggedIn();
    onPump = [this] {
        if (client->connection() && client->connection()->chunkCount >= 2) {
            flags.cancelAll = 1;
        }
    };
    EXPECT_EQ(client->retrieve("a.vmdat", "a.vmdat", true, false), TransferResult::Cancelled);
    EXPECT_EQ(count("ABOR"), 2);
    // Half a file never stands under the file's name, nor is anything left beside it.
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

// ---- store, delete, abort, probe

struct StoreCase {
    const char* finalReply;
    TransferResult result;
};

class StoreFinalReply : public FtpClientTest, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(StoreFinalReply, DecidesResult) {
    script.storeFinal = GetParam().finalReply;
    timeouts.longReply = timeouts.reply;  // keeps the silent case short
    startLoggedIn();
    const std::string data = test::patternBytes(2500);
    auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    EXPECT_EQ(client->storeResponseMessage("200001010000_001_A001_0000.vmdat", bytes), GetParam().result);
    EXPECT_TRUE(sent("STOR /outou/200001010000_001_A001_0000.vmdat"));
    EXPECT_TRUE(script.stored() == data);
}

INSTANTIATE_TEST_SUITE_P(Table, StoreFinalReply,
                         ::testing::Values(StoreCase{"226 Transfer complete.\r\n", TransferResult::Done},
                                           StoreCase{"250 OK.\r\n", TransferResult::Done},
                                           StoreCase{"220 Zu-QY\r\n", fromCode<TransferResult>(220)},
                                           StoreCase{"150 Opening.\r\n", fromCode<TransferResult>(150)},
                                           StoreCase{"452 Insufficient storage.\r\n",
                                                     fromCode<TransferResult>(452)},
                                           StoreCase{"", TransferResult::Failed}));

TEST_F(FtpClientTest, StoreRefusedOrUnsafeName) {
    script.replies["STOR"] = "553 Not allowed.\r\n";
    startLoggedIn();
    const std::uint8_t data[] = {1, 2, 3};
    EXPECT_EQ(client->storeResponseMessage("a.vmdat", data), fromCode<TransferResult>(553));
    EXPECT_EQ(client->storeResponseMessage("../rusuroku/a.vmdat", data), TransferResult::Failed);
    EXPECT_EQ(count("STOR /outou/a.vmdat"), 1);
}

TEST_F(FtpClientTest, DeleteClimbsToRootAndReturnsReplyCode) {
    script.replies["DELE /rusuroku/01/*.vminf"] = "550 Not allowed.\r\n";
    startLoggedIn();
    EXPECT_EQ(client->deleteFile("/rusuroku/01/a.vminf"), TransferResult::Done);
    EXPECT_EQ(client->deleteFile("/rusuroku/01/*.vminf"), TransferResult::NoSuchFile);
    EXPECT_EQ(count("CWD ../"), 10);
}

TEST_F(FtpClientTest, AbortReadsUntil225SoLaterRepliesStayInStep) {
    script.replies["ABOR"] = "426 Aborted.\r\n225 ABOR done.\r\n";
    script.replies["PWD"] = "257 \"/\"\r\n";
    startLoggedIn();
    client->abort(false);
    // The second ABOR's own two lines: drain them as the engines do before their work.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    client->drainReplies();
    std::string line;
    EXPECT_EQ(client->commandExchange("PWD\r\n", &line), 0);
    EXPECT_EQ(line, "257 \"/\"");
}

struct ProbeCase {
    const char* portReply;
    bool alive;
};

class Probe : public FtpClientTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(Probe, AnyReplyMeansAlive) {
    script.replies["PORT"] = GetParam().portReply;
    startLoggedIn();
    EXPECT_EQ(client->probe(), GetParam().alive);
    EXPECT_EQ(client->connection()->dataListen.valid(), false);
}

INSTANTIATE_TEST_SUITE_P(Table, Probe,
                         ::testing::Values(ProbeCase{"200 PORT OK.\r\n", true},
                                           ProbeCase{"500 Unknown.\r\n", true},
                                           ProbeCase{"421 Closing.\r\n", true}, ProbeCase{"", false}));

TEST_F(FtpClientTest, EverythingFailsQuietlyWithoutConnection) {
    start();
    std::u16string text;
    BoxListing boxes;
    const std::uint8_t data[] = {1};
    EXPECT_FALSE(client->probe());
    EXPECT_EQ(client->commandExchange("NOOP\r\n"), -1);
    EXPECT_EQ(client->nameListing("/outou", ListKind::All, text), ListingResult::Failed);
    EXPECT_EQ(client->boxListing(boxes), ListingResult::Failed);
    EXPECT_EQ(client->retrieve("a", "a", true, false), TransferResult::Failed);
    EXPECT_EQ(client->storeResponseMessage("a", data), TransferResult::Failed);
    EXPECT_EQ(client->deleteFile("/a"), TransferResult::Failed);
    client->drainReplies();
    client->disconnect();
}

}  // namespace
}  // namespace voxmg
