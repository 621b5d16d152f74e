#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/base/text.h"
#include "core/mail/mail_settings.h"
#include "support/temp_folder.h"

using namespace voxmg::mail;
using voxmg::test::TempFolder;

namespace {

TEST(MailSettingsFile, RoundTripsEveryValueInAPrivateFile) {
    TempFolder tmp;
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
    const std::string path = mailSettingsPath(tmp.path());
    ASSERT_TRUE(saveMailSettings(s, path));

    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds a password";
    const MailSettings back = loadMailSettings(path);
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
    EXPECT_NE(voxmg::test::readFile(path).find(voxmg::text::cp932FromUtf8("本社/rusuroku/001")),
              std::string::npos);

    // A box whose recipients were cleared leaves no key behind.
    s.recipients["本社/naisen/201"] = " ";
    ASSERT_TRUE(saveMailSettings(s, path));
    EXPECT_EQ(loadMailSettings(path).recipients.size(), 1u);
}

TEST(MailSettingsFile, ALineBreakInAValueNeverMakesAnotherKey) {
    TempFolder tmp;
    MailSettings s;
    s.host = "localhost";
    s.password = "pw\r\nHOST=evil.example";
    const std::string path = mailSettingsPath(tmp.path());
    ASSERT_TRUE(saveMailSettings(s, path));
    EXPECT_EQ(loadMailSettings(path).host, "localhost");
}

TEST(MailSettingsFile, MissingFileReadsAsDefaults) {
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

TEST(MailSettingsCheck, PlainTextOnlyToThisMachine) {
    MailSettings s;
    s.host = "mail.example.jp";
    s.sender = "voxmg@example.jp";
    EXPECT_EQ(checkSettings(s), SettingsProblem::None);
    s.security = Security::None;
    EXPECT_EQ(checkSettings(s), SettingsProblem::PlainToRemote);
    for (const char* local : {"localhost", "127.0.0.1", "::1"}) {
        s.host = local;
        EXPECT_EQ(checkSettings(s), SettingsProblem::None) << local;
    }
    s.sender = "voxmg@example.jp\r\nBcc: x@y";
    EXPECT_EQ(checkSettings(s), SettingsProblem::BadSender);
    s.sender = "voxmg@example.jp";
    s.port = 70000;
    EXPECT_EQ(checkSettings(s), SettingsProblem::BadPort);
    s.port = 25;
    s.host = "";
    EXPECT_EQ(checkSettings(s), SettingsProblem::NoHost);
}

TEST(BoxKey, IsTheLastThreeFoldersAboveTheFile) {
    EXPECT_EQ(boxKeyOf("/data/本社/rusuroku/001/a.vmdat"), "本社/rusuroku/001");
    EXPECT_EQ(boxKeyOf("本社/naisen/201/a.vmdat"), "本社/naisen/201");
    EXPECT_EQ(boxKeyOf("naisen/201/a.vmdat"), "");
    EXPECT_EQ(boxKeyOf("a.vmdat"), "");
}

}  // namespace
