#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/base/text.h"
#include "core/device/ftp_reply.h"
#include "scripted_client_fixture.h"

namespace voxmg {
namespace {

using test::FakeFtpServer;
using test::FtpClientTest;
using Session = FakeFtpServer::Session;

// ---- connect and login

struct GreetingCase {
    const char* greeting;
    LoginResult result;
};

class Greetings : public FtpClientTest, public ::testing::WithParamInterface<GreetingCase> {};

TEST_P(Greetings, DecideLoginResult) {
    start(GetParam().greeting);
    EXPECT_EQ(client->connectAndLogin(), GetParam().result);
    EXPECT_EQ(sent("USER hozen"), GetParam().result == LoginResult::LoggedIn);
    // Whatever the outcome, the record stays until the next attempt or disconnect.
    EXPECT_NE(client->connection(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Greetings,
    ::testing::Values(GreetingCase{"220 Zu-QX FTP server ready.\r\n", LoginResult::LoggedIn},
                      GreetingCase{"220-Zu-QX\r\n", LoginResult::LoggedIn},
                      GreetingCase{"220 Zu-QY FTP server ready.\r\n", LoginResult::UnsupportedModel},
                      GreetingCase{"220 ready\r\n", LoginResult::UnsupportedModel},
                      GreetingCase{"421 Too many connections.\r\n", LoginResult::ConnectFailed},
                      GreetingCase{"230 Zu-QX\r\n", LoginResult::ConnectFailed},
                      GreetingCase{"", LoginResult::ConnectFailed}));

TEST_F(FtpClientTest, GreetingOfSeveralLinesDoesNotAnswerUser) {
    script.replies["USER"] = "331 Password required.\r\n";
    script.replies["PASS"] = "230 Logged in.\r\n";
    script.replies["PWD"] = "257 \"/\"\r\n";
    start("220-Zu-QX FTP server\r\n220-Voice mail storage.\r\n220 Ready.\r\n");
    EXPECT_EQ(client->connectAndLogin(), LoginResult::LoggedIn);
    std::string line;
    EXPECT_EQ(client->commandExchange("PWD\r\n", &line), 0);
    EXPECT_EQ(line, "257 \"/\"");
}

struct TypeCase {
    const char* passReply;
    const char* typeReply;  // "" = no answer at all
    LoginResult result;
};

class BinaryType : public FtpClientTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(BinaryType, AskedOnceAfterPasswordAndNeverDecidesLogin) {
    script.replies["PASS"] = GetParam().passReply;
    script.replies["TYPE"] = GetParam().typeReply;
    start();
    EXPECT_EQ(client->connectAndLogin(), GetParam().result);
    std::vector<std::string> expected{"USER hozen", "PASS secret"};
    if (GetParam().result == LoginResult::LoggedIn) {
        expected.push_back("TYPE I");
    }
    EXPECT_EQ(commands(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BinaryType,
    ::testing::Values(TypeCase{"230 Logged in.\r\n", "200 Type set to I.\r\n", LoginResult::LoggedIn},
                      TypeCase{"230 Logged in.\r\n", "500 Unknown command.\r\n", LoginResult::LoggedIn},
                      TypeCase{"230 Logged in.\r\n", "", LoginResult::LoggedIn},
                      TypeCase{"530 Login incorrect.\r\n", "200 Type set to I.\r\n",
                               LoginResult::LoginRefused}));

TEST_F(FtpClientTest, UserAnswered230StillSendsPassWhoseReplyDecides) {
    script.replies["USER"] = "230 No password needed.\r\n";
    script.replies["PASS"] = "530 Login incorrect.\r\n";
    start();
    EXPECT_EQ(client->connectAndLogin(), LoginResult::LoginRefused);
    EXPECT_TRUE(sent("PASS secret"));
}

TEST_F(FtpClientTest, UserRefusedStopsBeforePass) {
    script.replies["USER"] = "530 Not allowed.\r\n";
    start();
    EXPECT_EQ(client->connectAndLogin(), LoginResult::LoginRefused);
    EXPECT_FALSE(sent("PASS secret"));
}

TEST_F(FtpClientTest, PasswordWithLineBreakIsNotSent) {
    start();
    client->setLogin({u"127.0.0.1", u"hozen", u"x\r\nDELE /outou/001.vmdat", client->login().port});
    EXPECT_EQ(client->connectAndLogin(), LoginResult::LoginRefused);
    for (const auto& line : commands()) {
        EXPECT_FALSE(line.starts_with("DELE")) << line;
    }
}

TEST_F(FtpClientTest, NothingListeningIsConnectFailure) {
    start();
    int port = client->login().port;
    {
        FakeFtpServer other("", [](Session&, const std::string&) {});
        port = other.port();
    }
    client->setLogin({u"127.0.0.1", u"hozen", u"secret", port});
    EXPECT_EQ(client->connectAndLogin(), LoginResult::ConnectFailed);
    client->setLogin({u"no-such-host.invalid", u"hozen", u"secret", port});
    EXPECT_EQ(client->connectAndLogin(), LoginResult::ConnectFailed);
}

TEST_F(FtpClientTest, DisconnectSendsQuitAndStopsLivenessTimer) {
    startLoggedIn();
    int stops = 0;
    client->setLivenessHooks({[&] { ++stops; }, {}});
    client->disconnect();
    EXPECT_EQ(client->connection(), nullptr);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(client->commandExchange("NOOP\r\n"), -1);
    // QUIT reaches the server; give its thread a moment to log it.
    for (int i = 0; i < 100 && !sent("QUIT"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(sent("QUIT"));
}

// ---- replies

TEST_F(FtpClientTest, LongReplyIsCutAt510AndRestIsNextLine) {
    std::string longReply = "500 " + std::string(596, 'x');
    script.replies["NOOP"] = longReply + "\r\n";
    startLoggedIn();
    std::string line;
    EXPECT_EQ(client->commandExchange("NOOP\r\n", &line), 500);
    EXPECT_EQ(line, longReply.substr(0, 510));
    EXPECT_EQ(client->readReplyLine(line, 511, false), 90);
    EXPECT_EQ(line, longReply.substr(510));
}

TEST_F(FtpClientTest, ReplyCutAnywhereOnItsWayReadsAsTheSameLines) {
    // Sent in two pieces with a pause between, cut once at every byte, CR LF included.
    const std::string reply = "214-Commands:\r\n214-USER PASS\r\n214 End.\r\n";
    script.special = [&reply, cut = std::size_t{0}](Session& s, const std::string& line) mutable {
        if (line != "HELP") {
            return false;
        }
        ++cut;
        s.reply(reply.substr(0, cut));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        s.reply(reply.substr(cut));
        return true;
    };
    startLoggedIn();
    for (std::size_t cut = 1; cut < reply.size(); ++cut) {
        std::string first, second, last;
        EXPECT_EQ(client->commandExchange("HELP\r\n", &first), 0) << cut;
        EXPECT_EQ(client->readReplyLine(second, ftp::kReplyLineMax + 1, false), 13) << cut;
        EXPECT_EQ(client->readReplyLine(last, ftp::kReplyLineMax + 1, false), 8) << cut;
        EXPECT_EQ(first + "|" + second + "|" + last, "214-Commands:|214-USER PASS|214 End.") << cut;
    }
}

TEST_F(FtpClientTest, EndOfRetrievalArrivingWithItsStartIsStillRead) {
    // A small file: the main unit has sent it and both replies before we read the first one.
    // Reading that first reply must leave the second in the socket for the end of the
    // retrieval, which is read raw from there.
    script.special = [](Session& s, const std::string& line) {
        if (!line.starts_with("RETR")) {
            return false;
        }
        s.openData();
        s.sendData("GENUINE");
        s.closeData();
        s.reply("150 Opening.\r\n226 Done.\r\n");
        return true;
    };
    startLoggedIn();
    ASSERT_EQ(client->retrieve("a.vminf", "a.vminf", true, false), TransferResult::Done);
    EXPECT_EQ(test::readFile(folder.file("a.vminf")), "GENUINE");
}

TEST_F(FtpClientTest, SilentServerGivesNoReplyWithinTheWait) {
    script.replies["NOOP"] = "";
    startLoggedIn();
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(client->commandExchange("NOOP\r\n"), -1);
    auto elapsed = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(elapsed, timeouts.reply);
    EXPECT_LT(elapsed, timeouts.reply * 4);
}

TEST_F(FtpClientTest, ReplyTrickledByteByByteEndsWithinItsLineLimit) {
    // Each byte comes well within the wait for it, but the line never ends.
    timeouts.reply = std::chrono::milliseconds(200);
    script.special = [gap = timeouts.reply * 6 / 10](Session& s, const std::string& line) {
        if (line != "NOOP") {
            return false;
        }
        for (bool more = s.reply("200 "); more; more = s.reply("x")) {
            std::this_thread::sleep_for(gap);
        }
        return true;
    };
    startLoggedIn();
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(client->commandExchange("NOOP\r\n"), -1);
    auto elapsed = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(elapsed, timeouts.reply * FtpTimeouts::kWaitsPerReplyLine);
    EXPECT_LT(elapsed, timeouts.reply * (FtpTimeouts::kWaitsPerReplyLine + 1));
}

TEST_F(FtpClientTest, DrainRemovesRestOfMultiLineReply) {
    script.replies["HELP"] = "214-Commands:\r\n214-USER PASS\r\n214 End.\r\n";
    script.replies["PWD"] = "257 \"/\"\r\n";
    startLoggedIn();
    std::string line;
    EXPECT_EQ(client->commandExchange("HELP\r\n", &line), 0);
    EXPECT_EQ(line, "214-Commands:");
    // Let the rest arrive before draining with its 1 ms per byte.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    client->drainReplies();
    EXPECT_EQ(client->commandExchange("PWD\r\n", &line), 0);
    EXPECT_EQ(line, "257 \"/\"");
}

struct DrainCase {
    int totalMs;   // the drain's time bound
    int pumpMs;    // time the caller's event pump takes
    int withinMs;  // the drain must be over by then
};

class DrainOfFlood : public FtpClientTest, public ::testing::WithParamInterface<DrainCase> {};

TEST_P(DrainOfFlood, StopsWithinItsBound) {
    timeouts.drainTotal = std::chrono::milliseconds(GetParam().totalMs);
    script.special = [](Session& s, const std::string& line) {
        if (line != "HELP") {
            return false;
        }
        // Many lines per send, so the client never waits for the next one.
        std::string lines;
        for (int i = 0; i < 1000; ++i) {
            lines += "214-And there is more.\r\n";
        }
        while (s.reply(lines)) {
        }
        return true;
    };
    startLoggedIn();
    EXPECT_EQ(client->commandExchange("HELP\r\n"), 0);
    onPump = [pause = std::chrono::milliseconds(GetParam().pumpMs)] { std::this_thread::sleep_for(pause); };
    auto begin = std::chrono::steady_clock::now();
    client->drainReplies();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(GetParam().withinMs));
}

// The first ends by its count of lines long before its time; in the second a slow pump would
// make even that count of lines take seconds.
INSTANTIATE_TEST_SUITE_P(Table, DrainOfFlood,
                         ::testing::Values(DrainCase{10000, 0, 1000}, DrainCase{100, 20, 500}));

// ---- listings

TEST_F(FtpClientTest, NameListingOfMissingDirectoryIsMinus2) {
    script.replies["CWD /rusuroku/99"] = "550 No such directory.\r\n";
    startLoggedIn();
    std::u16string text = u"stale";
    EXPECT_EQ(client->nameListing("/rusuroku/99", ListKind::All, text), ListingResult::NoDirectory);
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(sent("NLST"));
}

TEST_F(FtpClientTest, NameListingOfEmptyBoxIsOneWithEmptyText) {
    script.replies["NLST *.vminf"] = "550 No files found.\r\n";
    startLoggedIn();
    std::u16string text;
    EXPECT_EQ(client->nameListing("/rusuroku/01", ListKind::RecordingInfo, text), ListingResult::Listed);
    EXPECT_TRUE(text.empty());
}

TEST_F(FtpClientTest, NameListingOtherFailuresAreZero) {
    script.replies["CWD /rusuroku/01"] = "530 Not logged in.\r\n";
    startLoggedIn();
    std::u16string text;
    EXPECT_EQ(client->nameListing("/rusuroku/01", ListKind::All, text), ListingResult::Refused);
}

TEST_F(FtpClientTest, NameListingSendsPatternOfKindAndDecodesCp932) {
    script.files["*.vmdat"] = "a.vmdat\r\n\x83\x65.vmdat\r\n";
    startLoggedIn();
    std::u16string text;
    ASSERT_EQ(client->nameListing("/naisen/01", ListKind::VoiceData, text), ListingResult::Listed);
    EXPECT_EQ(text, u"a.vmdat\r\n\u30C6.vmdat\r\n");
    EXPECT_TRUE(sent("CWD /naisen/01"));
    EXPECT_TRUE(sent("NLST *.vmdat"));
}

TEST_F(FtpClientTest, DetailedListingResults) {
    script.files["-l"] = "-rw-r--r-- 1 0 0     61440 Jan 01 12:00 x.vmdat\r\n";
    script.replies["CWD /rusuroku/99"] = "550 No such directory.\r\n";
    script.replies["CWD /rusuroku/98"] = "530 Not logged in.\r\n";
    startLoggedIn();
    DetailedListing listing;
    ASSERT_EQ(client->detailedListing("/rusuroku/01", ListKind::All, listing), ListingResult::Listed);
    EXPECT_EQ(listing.byteLength, script.files["-l"].size());
    EXPECT_EQ(listing.text, text::u16(script.files["-l"]));
    EXPECT_EQ(client->detailedListing("/rusuroku/99", ListKind::All, listing), ListingResult::NoDirectory);
    EXPECT_EQ(client->detailedListing("/rusuroku/98", ListKind::All, listing), fromCode<ListingResult>(530));

    script.replies["NLST -l *.vmdat"] = "550 No files.\r\n";
    EXPECT_EQ(client->detailedListing("/rusuroku/01", ListKind::VoiceData, listing), ListingResult::Listed);
    EXPECT_TRUE(listing.text.empty());
}

TEST_F(FtpClientTest, BoxListingClimbsToRootAndListsBothKinds) {
    std::string cwd = "/";
    script.special = [&](Session& s, const std::string& line) {
        if (line.starts_with("CWD /")) {
            cwd = line.substr(4);
        } else if (line == "NLST") {
            s.reply("150 Opening.\r\n");
            s.openData();
            s.sendData(cwd == "/" ? "rusuroku\r\nnaisen\r\n" : cwd == "/rusuroku" ? "01\r\n02\r\n" : "");
            s.closeData();
            s.reply("226 Done.\r\n");
            return true;
        }
        return false;
    };
    startLoggedIn();
    BoxListing boxes;
    ASSERT_EQ(client->boxListing(boxes), ListingResult::Listed);
    EXPECT_EQ(boxes.root, u"rusuroku\r\nnaisen\r\n");
    EXPECT_EQ(boxes.answering, u"01\r\n02\r\n");
    EXPECT_EQ(boxes.extension, u"");
    EXPECT_EQ(count("CWD ../"), 5);
}

TEST_F(FtpClientTest, BoxListingCutsOverlongRootListing) {
    script.files[""] = std::string(150000, 'a');
    script.replies["CWD ../"] = "550 At the root.\r\n";
    startLoggedIn();
    BoxListing boxes;
    ASSERT_EQ(client->boxListing(boxes), ListingResult::Listed);
    EXPECT_EQ(boxes.root.size(), 102400u);
    EXPECT_EQ(count("CWD ../"), 1);  // the first refusal ends the climb
}

// A listing of `size` bytes, or one without end for a negative size.
class ListingSize : public FtpClientTest, public ::testing::WithParamInterface<long> {
protected:
    static constexpr std::size_t kLimit = 4096;

    static std::string names(std::size_t size) {
        std::string bytes;
        while (bytes.size() < size) {
            bytes += "200001011200_001_0001_00001.vmdat\r\n";
        }
        bytes.resize(size);
        return bytes;
    }
    void SetUp() override {
        timeouts.listingBytes = kLimit;
        script.replies["PWD"] = "257 \"/\"\r\n";
        script.special = [size = GetParam()](Session& s, const std::string& line) {
            if (!line.starts_with("NLST")) {
                return false;
            }
            s.reply("150 Opening.\r\n");
            s.openData();
            bool whole = size >= 0 && s.sendData(names(static_cast<std::size_t>(size)));
            while (size < 0 && s.sendData(names(kLimit))) {
            }
            s.closeData();
            s.reply(whole ? "226 Done.\r\n" : "426 Connection closed; transfer aborted.\r\n");
            return true;
        };
        startLoggedIn();
    }
    // The result of one listing and the text it gave; then whether the next command's reply
    // is still its own.
    void expectListing(ListingResult rc, const std::u16string& text, const char* kind) {
        if (GetParam() == static_cast<long>(kLimit)) {
            EXPECT_EQ(rc, ListingResult::Listed) << kind;
            EXPECT_EQ(text, text::u16(names(kLimit))) << kind;
        } else {
            EXPECT_EQ(rc, ListingResult::Failed) << kind;
            EXPECT_TRUE(text.empty()) << kind;
        }
        std::string reply;
        EXPECT_EQ(client->commandExchange("PWD\r\n", &reply), 0) << kind;
        EXPECT_EQ(reply, "257 \"/\"") << kind;
    }
};

TEST_P(ListingSize, BeyondTheLimitFailsInsteadOfBeingCut) {
    auto begin = std::chrono::steady_clock::now();
    std::u16string names;
    expectListing(client->nameListing("/rusuroku/01", ListKind::All, names), names, "names");
    DetailedListing detailed;
    expectListing(client->detailedListing("/rusuroku/01", ListKind::All, detailed), detailed.text,
                  "detailed");
    BoxListing boxes;
    expectListing(client->boxListing(boxes), boxes.root, "boxes");
    // Stopped at the limit, not at the end of an endless listing or a wait.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, timeouts.reply);
}

INSTANTIATE_TEST_SUITE_P(Table, ListingSize, ::testing::Values(4096L, 4097L, -1L));

TEST_F(FtpClientTest, BoxListingReturnsCodeOfRefusedBoxKindDirectory) {
    script.replies["CWD /rusuroku"] = "550 No such directory.\r\n";
    startLoggedIn();
    BoxListing boxes;
    EXPECT_EQ(client->boxListing(boxes), fromCode<ListingResult>(550));
}

}  // namespace
}  // namespace voxmg
