// The mail ledger and what is due: computed from the box folders, so a message is mailed once
// whatever was killed, moved, deleted or downloaded again, and old messages are never mailed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <map>

#include "core/base/text.h"
#include "core/mail/mail_due.h"
#include "core/mail/mail_hook.h"
#include "core/mail/mail_ledger.h"
#include "core/mail/mail_run.h"
#include "core/mail/mail_text.h"
#include "support/message_files.h"
#include "support/temp_folder.h"

using namespace voxmg::mail;
using voxmg::test::TempFolder;
namespace fs = std::filesystem;

namespace {

constexpr std::time_t kBegins = 1'800'000'000;  // when the boxes' mail begins

void setTime(const std::string& path, std::time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

class LedgerTest : public testing::Test {
protected:
    void SetUp() override {
        settings.recipients = {{"本社/rusuroku/001", "a@example.jp"}, {"本社/rusuroku/003", "b@example.jp"}};
    }

    // Message `n` of box `box` of the box folder `folder`, stored at `when`.
    std::string store(const std::string& box, int n, std::time_t when, const std::string& folder = "本社") {
        const std::string path = voxmg::test::writeBoxMessage(data.file(folder), "rusuroku", box, n);
        setTime(path, when);
        return path;
    }

    DueScan look(std::time_t now = kBegins + 100) {
        return scanDue(ledger, settings, {data.path()}, kBegins, now);
    }

    // Marks every waiting message sent, as a pass that reached the server would.
    void sendAll() {
        for (MailJob job : look().waiting) {
            job.state = JobState::Sent;
            ASSERT_TRUE(ledger.save(job));
        }
    }

    TempFolder settingsFolder;
    TempFolder data;
    MailSettings settings;
    MailLedger ledger{settingsFolder.path()};
};

TEST_F(LedgerTest, IsPrivateAndKeepsAnyReplyBytes) {
    ASSERT_TRUE(ledger.ready()) << ledger.error();
    struct stat st {};
    ASSERT_EQ(::stat(ledger.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    MailJob job;
    job.boxFolder = "本社";
    job.fileName = "a.vmdat";
    job.messagePath = "/d/本社/rusuroku/001/a\\b\r\n.vmdat";
    job.lastReply = "451 \x82\xa0\xff bytes of another encoding";
    job.state = JobState::Failed;
    job.attempts = 3;
    job.silence = SilenceMark::Silent;
    ASSERT_TRUE(ledger.save(job));
    const auto back = ledger.find(job.id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->messagePath, job.messagePath);
    EXPECT_EQ(back->lastReply, job.lastReply);
    EXPECT_EQ(back->state, JobState::Failed);
    EXPECT_EQ(back->attempts, 3);
    EXPECT_EQ(back->silence, SilenceMark::Silent);
    EXPECT_FALSE(ledger.find("no-such-id"));
    EXPECT_FALSE(ledger.find("99999"));
}

TEST_F(LedgerTest, OldMessagesAreNeverDueAndNewOnesOnce) {
    const std::string old = store("001", 1, kBegins - 3600);
    const std::string fresh = store("001", 2, kBegins + 10);
    store("002", 3, kBegins + 10);  // a box nobody gets mail for
    DueScan first = look();
    ASSERT_EQ(first.waiting.size(), 1u);
    EXPECT_EQ(first.waiting[0].messagePath, fresh);
    EXPECT_EQ(first.found, 1);
    EXPECT_EQ(look().found, 0) << "found once";
    sendAll();
    EXPECT_TRUE(look().waiting.empty());
    // A box's time is kept: a later look with a later beginning changes nothing for it.
    EXPECT_TRUE(scanDue(ledger, settings, {data.path()}, kBegins + 9999, kBegins + 10000).waiting.empty());
    // The old one stays old, even stored again with a new time.
    setTime(old, kBegins + 500);
    EXPECT_TRUE(look().waiting.empty());
}

// Moved to another box, deleted and downloaded again, copied: the same message, mailed once.
TEST_F(LedgerTest, AMessageMovedOrStoredAgainIsNotMailedAgain) {
    const std::string path = store("001", 1, kBegins + 10);
    ASSERT_EQ(look().waiting.size(), 1u);
    sendAll();
    const std::string moved = data.file("本社/rusuroku/003/") + fs::path(path).filename().string();
    fs::create_directories(fs::path(moved).parent_path());
    fs::rename(path, moved);
    EXPECT_TRUE(look().waiting.empty());
    fs::remove(moved);
    store("001", 1, kBegins + 900);  // the main unit still had it
    EXPECT_TRUE(look().waiting.empty());
    // The same file name in another box folder is another message, with another Message-ID.
    settings.recipients["支店/rusuroku/001"] = "c@example.jp";
    store("001", 1, kBegins + 900, "支店");
    ASSERT_EQ(look().waiting.size(), 1u);
    EXPECT_NE(messageIdFor("本社", "x.vmdat"), messageIdFor("支店", "x.vmdat"));
    EXPECT_EQ(messageIdFor("本社", "x.vmdat"), messageIdFor("本社", "x.vmdat"));
}

TEST_F(LedgerTest, AWaitingMessageFollowsItsFileAndIsForgottenWithIt) {
    const std::string path = store("001", 1, kBegins + 10);
    ASSERT_EQ(look().waiting.size(), 1u);
    const std::string moved = data.file("本社/rusuroku/003/") + fs::path(path).filename().string();
    fs::create_directories(fs::path(moved).parent_path());
    fs::rename(path, moved);
    DueScan after = look();
    ASSERT_EQ(after.waiting.size(), 1u);
    EXPECT_EQ(after.waiting[0].messagePath, moved);
    EXPECT_EQ(after.waiting[0].box, "本社/rusuroku/003");
    EXPECT_EQ(after.found, 0);
    // Deleted before its mail went: forgotten, and due again when the main unit gives it again.
    fs::remove(moved);
    EXPECT_TRUE(look().waiting.empty());
    EXPECT_TRUE(ledger.jobs().empty());
    store("001", 1, kBegins + 900);
    EXPECT_EQ(look().found, 1);
}

TEST_F(LedgerTest, RequeueRetryAndDiscard) {
    const std::string path = store("001", 1, kBegins - 10);  // old: only by hand
    EXPECT_EQ(enqueueMessage(ledger, settings, path, kBegins), EnqueueOutcome::Queued);
    EXPECT_EQ(enqueueMessage(ledger, settings, path, kBegins), EnqueueOutcome::AlreadyQueued);
    EXPECT_EQ(enqueueMessage(ledger, settings, store("002", 2, kBegins), kBegins),
              EnqueueOutcome::NoRecipients);
    DueScan scan = look();
    ASSERT_EQ(scan.waiting.size(), 1u);
    MailJob job = scan.waiting[0];
    EXPECT_FALSE(ledger.retry(job.id, 5)) << "a waiting mail may be on its way";
    EXPECT_FALSE(ledger.discard(job.id));
    const std::pair<JobState, bool> table[] = {
        {JobState::Failed, true}, {JobState::Silent, true}, {JobState::Sent, false}, {JobState::Old, false}};
    for (const auto& [state, movable] : table) {
        job.state = state;
        job.attempts = 4;
        ASSERT_TRUE(ledger.save(job));
        ASSERT_EQ(ledger.retry(job.id, 5000), movable) << static_cast<int>(state);
        if (movable) {
            const MailJob back = *ledger.find(job.id);
            EXPECT_EQ(back.state, JobState::Waiting);
            EXPECT_EQ(back.attempts, 0);
            EXPECT_EQ(back.nextAttempt, 5000);
            EXPECT_TRUE(back.sendAnyway);
            job.state = state;
            ASSERT_TRUE(ledger.save(job));
        }
        EXPECT_EQ(ledger.discard(job.id), movable) << static_cast<int>(state);
    }
    job.state = JobState::Failed;
    ASSERT_TRUE(ledger.save(job));
    ASSERT_TRUE(ledger.discard(job.id));
    EXPECT_EQ(ledger.find(job.id)->state, JobState::GivenUp);
    EXPECT_TRUE(look().waiting.empty()) << "given up: never due by itself";
    // Put in by hand again, it waits again.
    EXPECT_EQ(enqueueMessage(ledger, settings, path, kBegins), EnqueueOutcome::Queued);
    EXPECT_EQ(look().waiting.size(), 1u);
}

// Made where mail ran before (an earlier version's outbox, a ledger lost and made again), the
// ledger takes nothing stored before it for new; made with the mail's first setup, it keeps the
// settings file's time.
TEST(LedgerFile, MadeWhereMailRanBeforeItMailsNothingOlder) {
    struct Case {
        std::vector<const char*> outbox;  // what the outbox folder holds
        bool cutoff;
    };
    const Case table[] = {
        {{}, false},                                               // the mail's first setup
        {{".send.lock"}, true},                                    // an earlier version sent from here
        {{"a.job"}, true},                                         // ... and left a mail waiting
        {{"ledger-outbox", "ledger-made"}, true},                  // this version's ledger, lost
        {{"ledger-outbox", "data-folders", ".send.lock"}, false},  // no ledger made yet (a full disk)
    };
    for (const Case& c : table) {
        TempFolder folder;
        for (const char* name : c.outbox) {
            voxmg::test::writeFile(Outbox::folderIn(folder.path()) + "/" + name, "");
        }
        const std::time_t before = std::time(nullptr);
        voxmg::test::writeFile(mailSettingsPath(folder.path()), "");
        setTime(mailSettingsPath(folder.path()), before - 1000);  // recipients saved long ago
        const MailLedger ledger(folder.path());
        ASSERT_TRUE(ledger.ready());
        const std::string what = c.outbox.empty() ? "nothing" : c.outbox.back();
        EXPECT_EQ(ledger.created() >= before, c.cutoff) << what;
        EXPECT_EQ(mailBegins(folder.path(), ledger, before + 100),
                  c.cutoff ? ledger.created() : before - 1000)
            << what;
    }
}

// A ledger that cannot be read is named and left as it is; nothing is made of it.
TEST(LedgerFile, ThatCannotBeUsedIsNamedAndKept) {
    TempFolder folder;
    const std::string path = MailLedger::pathIn(folder.path());
    EXPECT_EQ(MailLedger(folder.path(), false).status(), MailLedger::Status::Missing);
    EXPECT_FALSE(fs::exists(path));
    const std::string garbage(3000, '\x5a');
    voxmg::test::writeFile(path, garbage);
    MailLedger damaged(folder.path());
    EXPECT_EQ(damaged.status(), MailLedger::Status::Damaged);
    EXPECT_FALSE(damaged.error().empty());
    EXPECT_TRUE(damaged.jobs().empty());
    EXPECT_EQ(voxmg::test::readFile(path), garbage);
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_EQ(MailLedger(folder.path()).status(), MailLedger::Status::CannotOpen);
}

TEST_F(LedgerTest, JobFilesOfTheOldOutboxMoveIn) {
    const std::string path = store("001", 1, kBegins - 999);  // old, but it was waiting
    const std::string outbox = Outbox::folderIn(settingsFolder.path());
    fs::create_directories(outbox);
    voxmg::test::writeFile(outbox + "/a.job", "voxmg-mail-job 1\npath=" + path +
                                                  "\nbox=本社/rusuroku/001\nattempts=2\nqueued=5\nnext=7\n"
                                                  "state=waiting\nsilence=unknown\nforce=0\nreply=451 later\n"
                                                  "reason=\nend\n");
    voxmg::test::writeFile(outbox + "/torn.job", "voxmg-mail-job 1\npath=/x\n");
    const JobFileMove moved = migrateJobFiles(ledger, settingsFolder.path());
    EXPECT_EQ(moved.moved, 1);
    EXPECT_FALSE(fs::exists(outbox + "/a.job"));
    EXPECT_EQ(moved.unreadable, std::vector<std::string>{outbox + "/torn.job.unreadable"})
        << "named once, kept";
    EXPECT_TRUE(fs::exists(outbox + "/torn.job.unreadable"));
    const DueScan scan = scanDue(ledger, settings, mailRoots(settingsFolder.path()), kBegins, kBegins);
    ASSERT_EQ(scan.waiting.size(), 1u);
    EXPECT_EQ(scan.waiting[0].attempts, 2);
    EXPECT_EQ(scan.waiting[0].lastReply, "451 later");
    EXPECT_EQ(migrateJobFiles(ledger, settingsFolder.path()).moved, 0);
    EXPECT_TRUE(migrateJobFiles(ledger, settingsFolder.path()).unreadable.empty());
}

// A box folder renamed by the user takes its recipients and what the ledger holds along; a
// folder whose name only begins the same keeps its own.
TEST_F(LedgerTest, ARenamedBoxFolderTakesItsRecipientsAndItsMessages) {
    settings.recipients = {{"本社/rusuroku/001", "a@example.jp"},
                           {"本社/naisen/201", "b@example.jp"},
                           {"本社2/rusuroku/001", "other@example.jp"},
                           {"東京/rusuroku/001", "stale@example.jp"}};
    ASSERT_TRUE(saveMailSettings(settings, mailSettingsPath(settingsFolder.path())));
    store("001", 1, kBegins + 10);
    sendAll();
    store("001", 2, kBegins + 20);
    store("001", 3, kBegins + 20, "本社2");
    ASSERT_EQ(look().waiting.size(), 2u);
    fs::rename(data.file("本社"), data.file("東京"));
    EXPECT_EQ(followBoxFolderRename(settingsFolder.path(), data.file("本社/"), data.file("東京")),
              FollowResult::Done);
    settings = loadMailSettings(mailSettingsPath(settingsFolder.path()));
    const std::map<std::string, std::string> moved{{"東京/rusuroku/001", "a@example.jp"},
                                                   {"東京/naisen/201", "b@example.jp"},
                                                   {"本社2/rusuroku/001", "other@example.jp"}};
    EXPECT_EQ(settings.recipients, moved);
    const DueScan after = look();
    ASSERT_EQ(after.waiting.size(), 2u) << "the sent one stays sent";
    EXPECT_EQ(after.found, 0);
    EXPECT_EQ(after.waiting[0].box, "東京/rusuroku/001");
    EXPECT_EQ(after.waiting[1].box, "本社2/rusuroku/001");
}

TEST(SilentMarks, AreKeptOnceAndATornLineNamesNothing) {
    TempFolder tmp;
    const Outbox outbox{tmp.file("mail-outbox")};
    EXPECT_TRUE(silentMarks(tmp.file("never-made")).empty());
    EXPECT_FALSE(fs::exists(tmp.file("never-made")));
    ASSERT_TRUE(outbox.markSilent("202612071642_MON_R001_00001"));
    ASSERT_TRUE(outbox.markSilent("202612071642_MON_R001_00001"));
    ASSERT_TRUE(outbox.markSilent("202612071643_MON_R001_00002"));
    EXPECT_FALSE(outbox.markSilent("two\nlines"));
    EXPECT_FALSE(outbox.markSilent(""));
    const std::string file = outbox.folder() + "/silent-marks";
    EXPECT_EQ(voxmg::test::readFile(file), "202612071642_MON_R001_00001\n202612071643_MON_R001_00002\n");
    // A write a full disk cut short names nothing, and the next mark starts a line of its own.
    voxmg::test::writeFile(file, voxmg::test::readFile(file) + "202612071644_MON_R0");
    EXPECT_EQ(silentMarks(outbox.folder()).size(), 2u);
    ASSERT_TRUE(outbox.markSilent("202612071645_MON_R001_00005"));
    EXPECT_EQ(silentMarks(outbox.folder()), (std::set<std::string, std::less<>>{
                                                "202612071642_MON_R001_00001", "202612071643_MON_R001_00002",
                                                "202612071644_MON_R0", "202612071645_MON_R001_00005"}));
    OutboxLock first(outbox.folder());
    ASSERT_TRUE(first.held());
    EXPECT_FALSE(OutboxLock(outbox.folder()).held()) << "one sender at a time";
}

// The mail names the box as the lists do: by the name set for it since, else the record's.
TEST(MessageFacts, TheBoxNameIsTheBoxsOwn) {
    TempFolder data;
    const std::string box = data.path() + "/本社";
    const std::string named = voxmg::test::writeBoxMessage(box, "rusuroku", "001", 1, {.boxName = u"旧名"});
    const std::string unnamed = voxmg::test::writeBoxMessage(box, "rusuroku", "002", 1, {.boxName = u"旧名"});
    voxmg::test::writeFile(box + "/rusuroku/001/inf.ini",
                           voxmg::text::cp932FromUtf16(u"[INF]\r\nNAME=営業部\r\nMAKE=0\r\n"));
    ASSERT_TRUE(readMessageFacts(named));
    EXPECT_EQ(readMessageFacts(named)->boxName, "営業部");
    EXPECT_EQ(readMessageFacts(unnamed)->boxName, "旧名");
    EXPECT_EQ(subjectText(*readMessageFacts(named)).find("営業部") != std::string::npos, true);
}

TEST(RetryPause, GrowsFromAMinuteToHalfAnHour) {
    const std::pair<int, std::time_t> table[] = {{0, 60},  {1, 60},   {2, 120},  {3, 240},
                                                 {5, 960}, {6, 1800}, {7, 1800}, {1000, 1800}};
    for (auto [attempts, pause] : table) {
        EXPECT_EQ(retryPause(attempts), pause) << attempts;
    }
}

}  // namespace
