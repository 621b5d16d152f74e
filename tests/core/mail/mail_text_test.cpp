#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "core/mail/mail_text.h"

using namespace voxmg::mail;

namespace {

std::string decodeBase64(std::string_view in) {
    static const std::string table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : in) {
        if (c == '=') {
            break;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(table.find(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

// The encoded words of a header value, each decoded on its own (as a reader decodes them).
std::vector<std::string> decodedWords(const std::string& value) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < value.size()) {
        const std::size_t end = value.find(' ', at);
        const std::string word = value.substr(at, end == std::string::npos ? std::string::npos : end - at);
        EXPECT_LE(word.size(), 75u) << word;
        EXPECT_EQ(word.rfind("=?UTF-8?B?", 0), 0u) << word;
        EXPECT_EQ(word.substr(word.size() - 2), "?=") << word;
        words.push_back(decodeBase64(word.substr(10, word.size() - 12)));
        at = end == std::string::npos ? value.size() : end + 1;
    }
    return words;
}

bool hasLineBreak(std::string_view s) {
    return s.find('\r') != std::string_view::npos || s.find('\n') != std::string_view::npos;
}

MessageFacts facts() {
    return {.kind = "rusuroku",
            .boxNumber = "001",
            .boxName = "",
            .callerNumber = "0312345678",
            .callerName = "山田商事",
            .date = "2026/12/07 16:42",
            .length = "00:00:35",
            .title = "",
            .memo = "",
            .fileName = "202612071642_MON_R001_00001.vmdat"};
}

struct SubjectCase {
    MessageFacts facts;
    std::string subject;
};

class Subject : public testing::TestWithParam<SubjectCase> {};

TEST_P(Subject, NamesKindBoxWhoDateAndLength) {
    EXPECT_EQ(subjectText(GetParam().facts), GetParam().subject);
}

SubjectCase with(std::function<void(MessageFacts&)> change, std::string subject) {
    MessageFacts f = facts();
    change(f);
    return {f, std::move(subject)};
}

INSTANTIATE_TEST_SUITE_P(
    Mail, Subject,
    testing::Values(
        with([](MessageFacts&) {}, "留守録 001 山田商事 2026/12/07 16:42 (0:35)"),
        with([](MessageFacts& f) { f.boxName = "営業部"; }, "留守録 001 営業部 2026/12/07 16:42 (0:35)"),
        with([](MessageFacts& f) { f.callerName = ""; }, "留守録 001 0312345678 2026/12/07 16:42 (0:35)"),
        with([](MessageFacts& f) { f.callerName = f.callerNumber = ""; },
             "留守録 001 2026/12/07 16:42 (0:35)"),
        with(
            [](MessageFacts& f) {
                f.kind = "naisen";
                f.boxNumber = "201";
                f.length = "01:02:05";
            },
            "内線 201 山田商事 2026/12/07 16:42 (62:05)"),
        with([](MessageFacts& f) { f.callerName = "山田\r\nBcc: x@example.com"; },
             "留守録 001 山田  Bcc: x@example.com 2026/12/07 16:42 (0:35)"),
        with([](MessageFacts& f) { f.length = "35"; }, "留守録 001 山田商事 2026/12/07 16:42 (35)")));

TEST(MailBody, HoldsTheFieldsAndOnlyTheLinesItMakes) {
    MessageFacts f = facts();
    f.callerName = "山田\r\nBcc: x@example.com";
    f.memo = "折り返し\n至急";
    const std::string body = bodyText(f);
    EXPECT_NE(body.find("発信者番号: 0312345678\r\n"), std::string::npos) << body;
    EXPECT_NE(body.find("発信者名: 山田  Bcc: x@example.com\r\n"), std::string::npos) << body;
    EXPECT_NE(body.find("日時: 2026/12/07 16:42\r\n"), std::string::npos) << body;
    EXPECT_NE(body.find("長さ: 0:35\r\n"), std::string::npos) << body;
    EXPECT_NE(body.find("メモ: 折り返し 至急\r\n"), std::string::npos) << body;
    EXPECT_EQ(body.find("タイトル"), std::string::npos) << "an empty title makes no line";
    // Every line break is one the body made: CRLF, never a lone CR or LF from a field.
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\n') {
            ASSERT_TRUE(i > 0 && body[i - 1] == '\r') << i;
        }
        if (body[i] == '\r') {
            ASSERT_TRUE(i + 1 < body.size() && body[i + 1] == '\n') << i;
        }
    }
}

class HeaderValue : public testing::TestWithParam<std::string> {};

TEST_P(HeaderValue, DecodesBackWordByWordWithoutLineBreaks) {
    const std::string& text = GetParam();
    const std::string encoded = encodeHeaderValue(text);
    EXPECT_FALSE(hasLineBreak(encoded)) << encoded;
    std::string joined;
    for (const std::string& word : decodedWords(encoded)) {
        // A word never starts inside a character: readers decode each word on its own.
        ASSERT_FALSE(word.empty());
        EXPECT_NE(static_cast<unsigned char>(word.front()) & 0xC0, 0x80) << encoded;
        joined += word;
    }
    EXPECT_EQ(joined, text);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, HeaderValue,
    testing::Values("留守録 001 山田商事 2026/12/07 16:42 (0:35)",
                    std::string(40, 'a') + "ア" + std::string(40, 'b'),
                    "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよ",
                    "plain =?UTF-8?B?Zm9v?= looks encoded", "two\r\nlines", "😀 emoji 😀"));

// Header texts made from a value or a file name: exactly these bytes, all on one line.
// The Message-ID of a message of the box folder 本社.
std::string idInBoxFolder(std::string_view fileName) {
    return messageIdFor("本社", fileName);
}

struct HeaderTextCase {
    std::string (*make)(std::string_view);
    std::string input;
    std::string expected;
};

class HeaderText : public testing::TestWithParam<HeaderTextCase> {};

TEST_P(HeaderText, IsExactlyThisOnOneLine) {
    const std::string made = GetParam().make(GetParam().input);
    EXPECT_FALSE(hasLineBreak(made)) << made;
    EXPECT_EQ(made, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, HeaderText,
    testing::Values(
        // Printable ASCII stays readable.
        HeaderTextCase{encodeHeaderValue, "VOXMG test 001", "VOXMG test 001"},
        // The attachment's name stays in its one header line.
        HeaderTextCase{attachmentDisposition, "留守録 \"1\"\r\nX: y.mp3",
                       "Content-Disposition: attachment; filename=\"___________1___X__y.mp3\"; "
                       "filename*=UTF-8''%E7%95%99%E5%AE%88%E9%8C%B2%20%221%22%0D%0AX%3A%20y.mp3"},
        HeaderTextCase{attachmentDisposition, "202612071642_MON_R001_00001.mp3",
                       "Content-Disposition: attachment; filename=\"202612071642_MON_R001_00001.mp3\"; "
                       "filename*=UTF-8''202612071642_MON_R001_00001.mp3"},
        // The same message gets the same id, and nothing in it breaks the header.
        HeaderTextCase{idInBoxFolder, "202612071642_MON_R001_00001.vmdat",
                       "<202612071642_MON_R001_00001.d9d9b8dc@voxmg.invalid>"},
        HeaderTextCase{idInBoxFolder, "a>b\r\nX: <c.vmdat", "<a_b__X___c.d9d9b8dc@voxmg.invalid>"},
        HeaderTextCase{idInBoxFolder, ".vmdat", "<message.d9d9b8dc@voxmg.invalid>"}));

TEST(MailDate, IsSpelledInEnglishWithTheOffset) {
    const std::string d = mailDate(1796683522);
    EXPECT_TRUE(std::regex_match(d, std::regex("(Sun|Mon|Tue|Wed|Thu|Fri|Sat), [0-9]{2} "
                                               "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) 20[0-9]{2} "
                                               "[0-9]{2}:[0-9]{2}:[0-9]{2} [-+][0-9]{4}")))
        << d;
}

}  // namespace
