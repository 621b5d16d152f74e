#include "core/device/ftp_reply.h"

#include <gtest/gtest.h>

#include "core/device/ftp_types.h"
#include "core/device/listing_buffer.h"

namespace voxmg::ftp {
namespace {

struct ReplyCase {
    const char* line;
    int code;      // -1: no token
    int exchange;  // command exchange result
    int store;     // store final reply result
};

class ReplyLines : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyLines, CodeAndResults) {
    const ReplyCase& c = GetParam();
    auto code = replyCode(c.line);
    EXPECT_EQ(code.value_or(-1), c.code);
    EXPECT_EQ(exchangeResult(c.line), c.exchange);
    EXPECT_EQ(storeResult(c.line), c.store);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplyLines,
    ::testing::Values(
        ReplyCase{"150 Opening data connection", 150, 0, 150},
        ReplyCase{"250 CWD command successful", 250, 0, 0}, ReplyCase{"550 No such file", 550, 550, 550},
        // The end of a transfer is no success for a command, but is for a store.
        ReplyCase{"226 Transfer complete", 226, 226, 0}, ReplyCase{"452 Insufficient storage", 452, 452, 452},
        ReplyCase{"220 Zu-QX ready", 220, 0, 220}, ReplyCase{"220-Zu-QX ready", 220, 0, 220},
        ReplyCase{"220 Other ready", 220, 220, 220}, ReplyCase{"230-logged in", 230, 0, 230},
        ReplyCase{"225 ABOR ok", 225, 225, 225}, ReplyCase{"421 Service not available", 421, 421, 421},
        // Leading separators are skipped like any token separator.
        ReplyCase{"  -331 password", 331, 0, 331},
        // A token without leading digits has code 0, which passes as success for a command;
        // a store is done only when the transfer's completion is announced.
        ReplyCase{"hello", 0, 0, -1}, ReplyCase{"200abc", 200, 0, 200}, ReplyCase{"", -1, -1, -1},
        ReplyCase{" - -", -1, -1, -1},
        // A runaway digit string must not overflow into a plausible code.
        ReplyCase{"99999999999999999999", 999999, 999999, 999999}));

TEST(Greeting, NamesModelOnlyRightAfter220AndOneSeparator) {
    EXPECT_TRUE(greetingNamesModel("220 Zu-QX"));
    EXPECT_TRUE(greetingNamesModel("220-Zu-QX FTP server"));
    EXPECT_FALSE(greetingNamesModel("220 Zu-QY FTP server"));
    EXPECT_FALSE(greetingNamesModel("220  Zu-QX"));
    EXPECT_FALSE(greetingNamesModel("220 Zu-Q"));
    EXPECT_FALSE(greetingNamesModel(" 220 Zu-QX"));
    EXPECT_FALSE(greetingNamesModel("221 Zu-QX"));
}

std::vector<std::string> splitLines(std::string_view bytes, std::size_t maxChars) {
    std::vector<std::string> lines;
    ReplyLineBuilder builder(maxChars);
    for (char c : bytes) {
        if (builder.push(c)) {
            lines.push_back(builder.take());
            builder = ReplyLineBuilder(maxChars);
        }
    }
    if (!builder.line().empty()) {
        lines.push_back(builder.take());
    }
    return lines;
}

TEST(ReplyLineBuilder, CrLfEndsLineAndLoneCrOrLfIsKept) {
    EXPECT_EQ(splitLines("200 ok\r\n331 pw\r\n", 511), (std::vector<std::string>{"200 ok", "331 pw"}));
    EXPECT_EQ(splitLines("200 a\rb\nc\r\n", 511), (std::vector<std::string>{"200 a\rb\nc"}));
    EXPECT_EQ(splitLines("\r\n", 511), (std::vector<std::string>{""}));
}

TEST(ReplyLineBuilder, LongReplyIsCutAndRestIsNextLine) {
    std::string reply = "500 " + std::string(596, 'x');
    auto lines = splitLines(reply + "\r\n", kReplyLineMax);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], reply.substr(0, 510));
    EXPECT_EQ(lines[1], reply.substr(510));
}

TEST(ReplyLineBuilder, BytesAboveAsciiStayOneCharacterEach) {
    auto lines = splitLines("550 \x83\x65\x83\x58\r\n", 511);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 8u);
}

TEST(Commands, PortTextSplitsPortIntoHighAndLowByte) {
    EXPECT_EQ(portCommand(0x7F000001, 0), "PORT 127,0,0,1,0,0\r\n");
    EXPECT_EQ(portCommand(0xC0A80A05, 50001), "PORT 192,168,10,5,195,81\r\n");
    EXPECT_EQ(portCommand(0xFFFFFFFF, 65535), "PORT 255,255,255,255,255,255\r\n");
}

TEST(Commands, ArgumentWithLineBreakIsRefused) {
    EXPECT_EQ(commandLine("CWD", "/rusuroku/01"), "CWD /rusuroku/01\r\n");
    EXPECT_EQ(commandLine("NLST", ""), "NLST\r\n");
    EXPECT_FALSE(commandLine("RETR", "a.vmdat\r\nDELE b.vmdat"));
    EXPECT_FALSE(commandLine("PASS", "pw\n"));
}

TEST(ControlPort, OverrideThenServicesDatabaseThen21) {
    auto none = []() -> std::optional<int> { return std::nullopt; };
    auto db = []() -> std::optional<int> { return 2121; };
    EXPECT_EQ(controlPort(0, none), 21);
    EXPECT_EQ(controlPort(0, db), 2121);
    EXPECT_EQ(controlPort(10021, db), 10021);
    EXPECT_EQ(controlPort(-5, db), 2121);
    EXPECT_EQ(controlPort(70000, none), 21);
}

TEST(ListingBuffer, StopsAtItsMaximumAndDecodesCp932) {
    ListingBuffer buffer(6);
    const std::uint8_t first[] = {'a', 0x83, 0x65, 'b'};  // "a" KATAKANA TE "b"
    const std::uint8_t second[] = {'c', 'd', 'e'};
    buffer.append(first);
    buffer.append(second);
    EXPECT_EQ(buffer.size(), 6u);
    EXPECT_TRUE(buffer.truncated());
    EXPECT_EQ(buffer.text(100), u"a\u30C6bcd");
    EXPECT_EQ(buffer.text(2), u"a\u30C6");
}

TEST(Timeouts, DividedKeepsDrainAtOneMillisecond) {
    FtpTimeouts t = FtpTimeouts{}.dividedBy(10);
    EXPECT_EQ(t.reply.count(), 1000);
    EXPECT_EQ(t.longReply.count(), 18000);
    EXPECT_EQ(t.transferEnd.count(), 500);
    EXPECT_EQ(t.drain.count(), 1);
}

}  // namespace
}  // namespace voxmg::ftp
