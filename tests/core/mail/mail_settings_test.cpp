#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <utility>

#include "core/base/text.h"
#include "core/mail/mail_settings.h"
#include "support/temp_folder.h"

using namespace voxmg::mail;
using voxmg::test::TempFolder;

namespace {

// The settings file in a private folder of its own.
class MailSettingsFile : public testing::Test {
protected:
    TempFolder m_tmp;
    const std::string m_path = mailSettingsPath(m_tmp.path());
};

TEST_F(MailSettingsFile, RoundTripsEveryValueInAPrivateFile) {
    MailSettings s;
    s.host = "mail.example.jp";
    s.port = 465;
    s.security = Security::Tls;
    s.user = "office";
    s.password = " pw \"with\" blanks ";
    s.sender = "voxmg@example.jp";
    s.caFile = "/etc/office/ca.pem";
    s.attachment = Attachment::Wav;
    s.skipSilent = true;
    s.recipients = {{"本社/rusuroku/001", "a@example.jp, b@example.jp"}, {"本社/naisen/201", "c@example.jp"}};
    ASSERT_TRUE(saveMailSettings(s, m_path));

    struct stat st {};
    ASSERT_EQ(::stat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds a password";
    const MailSettings back = loadMailSettings(m_path);
    EXPECT_EQ(back.host, s.host);
    EXPECT_EQ(back.port, 465);
    EXPECT_EQ(back.security, Security::Tls);
    EXPECT_EQ(back.password, s.password);
    EXPECT_EQ(back.sender, s.sender);
    EXPECT_EQ(back.caFile, s.caFile);
    EXPECT_EQ(back.attachment, Attachment::Wav);
    EXPECT_TRUE(back.skipSilent);
    EXPECT_EQ(back.recipients, s.recipients);
    // Box names are stored as the other ini files store text.
    EXPECT_NE(voxmg::test::readFile(m_path).find(voxmg::text::cp932FromUtf8("本社/rusuroku/001")),
              std::string::npos);

    // A box whose recipients were cleared leaves no key behind.
    s.recipients["本社/naisen/201"] = " ";
    ASSERT_TRUE(saveMailSettings(s, m_path));
    EXPECT_EQ(loadMailSettings(m_path).recipients.size(), 1u);
}

TEST_F(MailSettingsFile, ALineBreakInAValueNeverMakesAnotherKey) {
    MailSettings s;
    s.host = "localhost";
    s.password = "pw\r\nHOST=evil.example";
    ASSERT_TRUE(saveMailSettings(s, m_path));
    EXPECT_EQ(loadMailSettings(m_path).host, "localhost");
}

// Box folder names are the user's: each box keeps its own recipients whatever its name holds.
TEST_F(MailSettingsFile, EveryBoxFolderNameKeepsItsOwnRecipients) {
    MailSettings s;
    s.recipients = {
        {"本社/rusuroku/001", "plain@example.jp"},     {"a=b/rusuroku/001", "equals@example.jp"},
        {"[支店]/rusuroku/001", "bracket@example.jp"}, {";x/naisen/201", "semicolon@example.jp"},
        {"Office/rusuroku/001", "upper@example.jp"},   {"office/rusuroku/001", "lower@example.jp"},
        {" 本社 /naisen/201", "blanks@example.jp"},    {"100%/naisen/201", "percent@example.jp"},
        {"%41/naisen/201", "looks-escaped@example.jp"}};
    ASSERT_TRUE(saveMailSettings(s, m_path));
    EXPECT_EQ(loadMailSettings(m_path).recipients, s.recipients);
    // A plain Japanese name stays readable in the file.
    EXPECT_NE(voxmg::test::readFile(m_path).find(voxmg::text::cp932FromUtf8("\n本社/rusuroku/001=")),
              std::string::npos);
}

TEST_F(MailSettingsFile, MissingFileReadsAsDefaults) {
    const MailSettings s = loadMailSettings("/nonexistent/VOXMG-mail.ini");
    EXPECT_EQ(s.security, Security::StartTls);
    EXPECT_EQ(s.attachment, Attachment::Mp3);
    EXPECT_FALSE(s.skipSilent);
}

struct RecipientsCase {
    std::string text;
    bool ok;
    std::vector<std::string> addresses;
};

class Recipients : public testing::TestWithParam<RecipientsCase> {};

TEST_P(Recipients, AreSplitOrRefusedWhole) {
    bool ok = false;
    const auto got = parseRecipients(GetParam().text, ok);
    EXPECT_EQ(ok, GetParam().ok);
    EXPECT_EQ(got, GetParam().addresses);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, Recipients,
    testing::Values(RecipientsCase{"a@x.jp, b@y.jp", true, {"a@x.jp", "b@y.jp"}},
                    RecipientsCase{" a@x.jp ,, b@y.jp , ", true, {"a@x.jp", "b@y.jp"}},
                    RecipientsCase{"", true, {}}, RecipientsCase{"a@x.jp\r\nBcc: c@z.jp", false, {}},
                    RecipientsCase{"a@x.jp b@y.jp", false, {}}, RecipientsCase{"<a@x.jp>", false, {}},
                    RecipientsCase{"a@x.jp, 山田@x.jp", false, {}}, RecipientsCase{"a@b@x.jp", false, {}},
                    RecipientsCase{"@x.jp", false, {}}, RecipientsCase{"a@x.jp, b", false, {}}));

// The settings a check is given: the defaults but for these.
struct CheckCase {
    SettingsProblem problem;
    std::string host;
    Security security = MailSettings{}.security;
    std::string sender = "voxmg@example.jp";
    int port = MailSettings{}.port;
    std::string password = "";
};

class SettingsCheck : public testing::TestWithParam<CheckCase> {};

// Plain text goes only to this machine; a sender that would add a header line, a port out of
// range and a missing host are refused.
TEST_P(SettingsCheck, NamesTheProblem) {
    MailSettings s;
    s.host = GetParam().host;
    s.security = GetParam().security;
    s.sender = GetParam().sender;
    s.port = GetParam().port;
    s.password = GetParam().password;
    EXPECT_EQ(checkSettings(s), GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, SettingsCheck,
    testing::Values(
        CheckCase{SettingsProblem::None, "mail.example.jp"},
        CheckCase{SettingsProblem::PlainToRemote, "mail.example.jp", Security::None},
        CheckCase{SettingsProblem::None, "localhost", Security::None},
        CheckCase{SettingsProblem::None, "127.0.0.1", Security::None},
        CheckCase{SettingsProblem::None, "::1", Security::None},
        CheckCase{SettingsProblem::BadSender, "::1", Security::None, "voxmg@example.jp\r\nBcc: x@y"},
        CheckCase{SettingsProblem::BadPort, "::1", Security::None, "voxmg@example.jp", 70000},
        CheckCase{SettingsProblem::NoHost, "", Security::None, "voxmg@example.jp", 25},
        // The settings file is Shift_JIS: a password it would change is refused.
        CheckCase{SettingsProblem::NotStorable, "::1", Security::None, "voxmg@example.jp", 25, "pa€s"},
        CheckCase{SettingsProblem::None, "::1", Security::None, "voxmg@example.jp", 25, "合言葉①"},
        CheckCase{SettingsProblem::NotStorable, "mail.exämple.jp"}));

TEST(BoxKey, IsTheLastThreeFoldersAboveTheFile) {
    const std::pair<std::string, std::string> cases[] = {
        {"/data/本社/rusuroku/001/a.vmdat", "本社/rusuroku/001"},
        {"本社/naisen/201/a.vmdat", "本社/naisen/201"},
        {"naisen/201/a.vmdat", ""},
        {"a.vmdat", ""},
    };
    for (const auto& [path, key] : cases) {
        EXPECT_EQ(boxKeyOf(path), key) << path;
    }
}

}  // namespace
