// New messages a download stores are due for the mail of boxes with recipients, and only
// those: a message found complete here, a backup and a refused ledger change nothing else.
#include "core/mail/mail_hook.h"
#include "core/mail/mail_ledger.h"
#include "core/mail/mail_run.h"
#include "core/mail/mail_settings.h"
#include "download_fixture.h"

namespace voxmg {
namespace {

namespace fs = std::filesystem;
using test::at;

class DownloadMailTest : public test::DownloadTest {
protected:
    void SetUp() override {
        DownloadTest::SetUp();
        mail::MailSettings s;
        s.host = "127.0.0.1";
        s.sender = "voxmg@example.com";
        s.recipients["本社/rusuroku/101"] = "a@example.com, b@example.com";
        ASSERT_TRUE(mail::saveMailSettings(s, mail::mailSettingsPath(local.path())));
    }

    void startWithHook() {
        start();
        DownloadEnv env = ftp->downloadEnv();
        env.messageStored = mail::outboxHook(local.path(), [this] { ++wakes; });
        ftp->setDownloadEnv(env);
    }

    std::vector<mail::MailJob> jobs() const {
        return mail::listOutbox(local.path(), std::time(nullptr)).jobs;
    }
    // As a pass that reached the server leaves them.
    void sendAll() {
        mail::MailLedger ledger(local.path());
        for (mail::MailJob job : jobs()) {
            job.state = mail::JobState::Sent;
            ASSERT_TRUE(ledger.save(job));
        }
    }

    int wakes = 0;
};

TEST_F(DownloadMailTest, NewMessagesOfABoxWithRecipientsAreQueuedOnce) {
    const std::string first = putMessage("rusuroku", "101", at(2026, 12, 7, 9, 1), 1);
    const std::string second = putMessage("rusuroku", "101", at(2026, 12, 7, 9, 2), 2);
    putMessage("naisen", "201", at(2026, 12, 7, 9, 3), 3);  // a box nobody gets mail for
    startWithHook();
    ASSERT_EQ(bulk().runAll(false), EngineResult::Done);

    std::vector<mail::MailJob> queued = jobs();
    ASSERT_EQ(queued.size(), 2u);
    std::set<std::string> paths;
    for (const mail::MailJob& job : queued) {
        EXPECT_EQ(job.box, "本社/rusuroku/101");
        EXPECT_TRUE(fs::exists(job.messagePath)) << job.messagePath;
        paths.insert(fs::path(job.messagePath).filename().string());
    }
    EXPECT_EQ(paths, (std::set<std::string>{first + ".vmdat", second + ".vmdat"}));
    EXPECT_EQ(wakes, 2);

    // Once sent, downloading the same messages again mails nothing.
    sendAll();
    ASSERT_EQ(bulk().runAll(false), EngineResult::Done);
    EXPECT_TRUE(jobs().empty());
}

TEST_F(DownloadMailTest, AMessageWhoseInfoArrivesLaterIsQueuedWhenItCompletes) {
    const std::string base = putMessage("rusuroku", "101", at(2026, 12, 7, 10, 0), 1);
    startWithHook();
    ASSERT_EQ(bulk().runAll(false), EngineResult::Done);
    ASSERT_EQ(jobs().size(), 1u);
    // A run killed between the voice's name and the info's: the voice is complete here, the
    // message is not, and nobody got its mail yet.
    fs::remove(localBox("rusuroku/101") + "/" + base + ".vminf");
    ASSERT_EQ(bulk().runAll(false), EngineResult::Done);
    ASSERT_EQ(jobs().size(), 1u);
    EXPECT_EQ(wakes, 2);
}

TEST_F(DownloadMailTest, TheSelectedDownloadQueuesTheVoiceItFetches) {
    const std::string base = putMessage("rusuroku", "101", at(2026, 12, 7, 11, 0), 1);
    startWithHook();
    ASSERT_EQ(ftp->downloadBoxInfoOnly(localBox("rusuroku/101"), "/rusuroku/101").code, EngineResult::Done);
    EXPECT_TRUE(jobs().empty());  // the info alone is no message to hear
    ASSERT_EQ(ftp->fetchVoiceData(localBox("rusuroku/101"), "/rusuroku/101", base + ".vmdat"),
              EngineResult::Done);
    ASSERT_EQ(jobs().size(), 1u);
    EXPECT_EQ(fs::path(jobs()[0].messagePath).filename().string(), base + ".vmdat");
}

TEST_F(DownloadMailTest, BackupsAreNotMailed) {
    putMessage("rusuroku", "101", at(2026, 12, 5, 9, 0), 1);
    startWithHook();
    BackupTarget target{local.path(), {"BU_202610", "BU_202611", "BU_202612"}, "202611", "202612"};
    ASSERT_EQ(ftp->backupDownloadBox("/rusuroku/101", "rusuroku", "101", target).code, EngineResult::Done);
    EXPECT_TRUE(jobs().empty());
}

// The sender, woken, finds the message once the ledger can be used again.
TEST_F(DownloadMailTest, ALedgerThatCannotBeWrittenNeverFailsTheDownload) {
    const std::string base = putMessage("rusuroku", "101", at(2026, 12, 7, 12, 0), 1);
    fs::create_directory(mail::MailLedger::pathIn(local.path()));
    startWithHook();
    EXPECT_EQ(bulk().runAll(false), EngineResult::Done);
    EXPECT_TRUE(present("rusuroku/101", base + ".vmdat"));
    EXPECT_TRUE(present("rusuroku/101", base + ".vminf"));
    EXPECT_EQ(wakes, 1);
    EXPECT_TRUE(mail::listOutbox(local.path(), std::time(nullptr)).problem);
    fs::remove(mail::MailLedger::pathIn(local.path()));
    ASSERT_TRUE(mail::noteMailRoot(local.path(), local.path()));
    ASSERT_EQ(jobs().size(), 1u);
}

}  // namespace
}  // namespace voxmg
