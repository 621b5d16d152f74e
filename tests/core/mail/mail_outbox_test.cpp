#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <map>

#include "core/base/text.h"
#include "core/mail/mail_hook.h"
#include "core/mail/mail_outbox.h"
#include "core/mail/mail_run.h"
#include "core/mail/mail_text.h"
#include "support/message_files.h"
#include "support/temp_folder.h"

using namespace voxmg::mail;
using voxmg::test::TempFolder;

namespace {

MailJob sampleJob() {
    MailJob j;
    j.id = "202612071642_MON_R001_00001-0badf00d";
    j.messagePath = "/data/本社/rusuroku/001/odd\\name\r\nend=1.vmdat";
    j.box = "本社/rusuroku/001";
    j.attempts = 3;
    j.queued = 1796683522;
    j.nextAttempt = 1796683762;
    j.lastReply = "451 4.3.0 try later\r\nsecond line";
    j.reason = "メールサーバーが後で送るように答えました";
    j.state = JobState::Failed;
    j.silence = SilenceMark::Silent;
    j.sendAnyway = true;
    return j;
}

void expectSame(const MailJob& a, const MailJob& b) {
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.messagePath, b.messagePath);
    EXPECT_EQ(a.box, b.box);
    EXPECT_EQ(a.attempts, b.attempts);
    EXPECT_EQ(a.queued, b.queued);
    EXPECT_EQ(a.nextAttempt, b.nextAttempt);
    EXPECT_EQ(a.lastReply, b.lastReply);
    EXPECT_EQ(a.reason, b.reason);
    EXPECT_EQ(a.state, b.state);
    EXPECT_EQ(a.silence, b.silence);
    EXPECT_EQ(a.sendAnyway, b.sendAnyway);
}

TEST(JobFile, RoundTripsLineBreaksAndBackslashes) {
    const MailJob job = sampleJob();
    const auto back = parseJob(jobText(job), job.id);
    ASSERT_TRUE(back);
    expectSame(*back, job);
}

TEST(JobFile, NoCutOfAJobFileReadsAsAJob) {
    const std::string text = jobText(sampleJob());
    for (std::size_t n = 0; n < text.size(); ++n) {
        EXPECT_FALSE(parseJob(text.substr(0, n), "x")) << "cut at " << n;
    }
    EXPECT_FALSE(parseJob("something else\nend\n", "x"));
}

class OutboxFolder : public testing::Test {
protected:
    TempFolder tmp;
    Outbox outbox{tmp.file("mail-outbox")};
};

TEST_F(OutboxFolder, IsPrivateAndListsItsJobsOldestFirst) {
    struct stat st {};
    ASSERT_EQ(::stat(outbox.folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(outbox.enqueue("/d/F/rusuroku/001/b.vmdat", "F/rusuroku/001", 200), EnqueueResult::Queued);
    ASSERT_EQ(outbox.enqueue("/d/F/rusuroku/001/a.vmdat", "F/rusuroku/001", 100), EnqueueResult::Queued);
    voxmg::test::writeFile(outbox.folder() + "/.voxmg-AbCdEf", "voxmg-mail-job 1\npath=/x\nend\n");
    voxmg::test::writeFile(outbox.folder() + "/notes.txt", "hello");
    voxmg::test::writeFile(outbox.folder() + "/torn.job", "voxmg-mail-job 1\npath=/x\n");
    const auto jobs = outbox.jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].messagePath, "/d/F/rusuroku/001/a.vmdat");
    EXPECT_EQ(jobs[1].messagePath, "/d/F/rusuroku/001/b.vmdat");
    EXPECT_EQ(jobs[0].state, JobState::Waiting);
    EXPECT_EQ(jobs[0].nextAttempt, 100);
}

TEST_F(OutboxFolder, AMessagePutInTwiceKeepsItsFirstJob) {
    const std::string path = "/d/F/rusuroku/001/a.vmdat";
    ASSERT_EQ(outbox.enqueue(path, "F/rusuroku/001", 100), EnqueueResult::Queued);
    MailJob job = outbox.jobs().front();
    job.attempts = 4;
    job.nextAttempt = 999;
    ASSERT_TRUE(outbox.save(job));
    EXPECT_EQ(outbox.enqueue(path, "F/rusuroku/001", 500), EnqueueResult::AlreadyQueued);
    ASSERT_EQ(outbox.jobs().size(), 1u);
    EXPECT_EQ(outbox.jobs().front().attempts, 4);
    // The same name in another box folder is another message.
    EXPECT_EQ(outbox.enqueue("/d/G/rusuroku/001/a.vmdat", "G/rusuroku/001", 500), EnqueueResult::Queued);
    EXPECT_EQ(outbox.jobs().size(), 2u);
}

TEST_F(OutboxFolder, AFailedMessageStoredAgainWaitsAgain) {
    const std::string path = "/d/F/rusuroku/001/a.vmdat";
    ASSERT_EQ(outbox.enqueue(path, "F/rusuroku/001", 100), EnqueueResult::Queued);
    MailJob job = outbox.jobs().front();
    job.state = JobState::Failed;
    job.attempts = 3;
    job.lastReply = "メッセージのファイルがありません";
    ASSERT_TRUE(outbox.save(job));
    // Not put back by hand: a waiting job may be on its way.
    EXPECT_FALSE(outbox.retry(outbox.jobs().front().id + "x", 500));
    ASSERT_EQ(outbox.enqueue(path, "F/rusuroku/001", 700), EnqueueResult::Queued);
    const MailJob back = outbox.jobs().front();
    EXPECT_EQ(back.state, JobState::Waiting);
    EXPECT_EQ(back.attempts, 0);
    EXPECT_EQ(back.nextAttempt, 700);
    EXPECT_EQ(back.queued, 100);
    EXPECT_FALSE(outbox.retry(back.id, 800)) << "a waiting job is not written back";
    EXPECT_EQ(outbox.jobs().front().nextAttempt, 700);
}

TEST_F(OutboxFolder, RetryPutsAFailedJobBackDueNow) {
    ASSERT_EQ(outbox.enqueue("/d/F/rusuroku/001/a.vmdat", "F/rusuroku/001", 100), EnqueueResult::Queued);
    MailJob job = outbox.jobs().front();
    job.state = JobState::Silent;
    job.attempts = 7;
    ASSERT_TRUE(outbox.save(job));
    ASSERT_TRUE(outbox.retry(job.id, 5000));
    const MailJob back = outbox.jobs().front();
    EXPECT_EQ(back.state, JobState::Waiting);
    EXPECT_EQ(back.attempts, 0);
    EXPECT_EQ(back.nextAttempt, 5000);
    EXPECT_TRUE(back.sendAnyway);
    EXPECT_FALSE(outbox.retry("no-such-job", 5000));
}

// Only a job that will not go by itself can be given up: a waiting one may be on its way.
TEST_F(OutboxFolder, DiscardGivesUpOnlyFailedAndSilentJobs) {
    const std::pair<JobState, bool> table[] = {
        {JobState::Failed, true}, {JobState::Silent, true}, {JobState::Waiting, false}};
    for (const auto& [state, discarded] : table) {
        const std::string path = "/d/F/rusuroku/001/" + std::to_string(static_cast<int>(state)) + ".vmdat";
        ASSERT_EQ(outbox.enqueue(path, "F/rusuroku/001", 100), EnqueueResult::Queued);
        MailJob job = *outbox.find(jobIdFor(path));
        job.state = state;
        ASSERT_TRUE(outbox.save(job));
        EXPECT_EQ(outbox.discard(job.id), discarded) << static_cast<int>(state);
        EXPECT_EQ(outbox.find(job.id).has_value(), !discarded) << static_cast<int>(state);
    }
    EXPECT_FALSE(outbox.discard("no-such-job"));
}

TEST_F(OutboxFolder, SweepRemovesOnlyOldTemporaries) {
    ASSERT_EQ(outbox.enqueue("/d/F/rusuroku/001/a.vmdat", "F/rusuroku/001", 100), EnqueueResult::Queued);
    const std::string old = outbox.folder() + "/.voxmg-old123";
    const std::string young = outbox.folder() + "/.voxmg-new123";
    voxmg::test::writeFile(old, "x");
    voxmg::test::writeFile(young, "x");
    const std::time_t now = std::time(nullptr);
    const timespec times[2] = {{now - 3600, 0}, {now - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, old.c_str(), times, 0), 0);
    EXPECT_EQ(outbox.sweepLeftovers(now), 1);
    EXPECT_FALSE(std::filesystem::exists(old));
    EXPECT_TRUE(std::filesystem::exists(young));
    EXPECT_EQ(outbox.jobs().size(), 1u);
}

TEST_F(OutboxFolder, SilentMarksAreKeptOnceAndATornLineNamesNothing) {
    EXPECT_TRUE(silentMarks(tmp.file("never-made")).empty());
    EXPECT_FALSE(std::filesystem::exists(tmp.file("never-made")));
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
    EXPECT_EQ(outbox.jobs().size(), 0u) << "the marks file is no job";
}

TEST_F(OutboxFolder, OneSenderAtATime) {
    OutboxLock first(outbox.folder());
    ASSERT_TRUE(first.held());
    OutboxLock second(outbox.folder());
    EXPECT_FALSE(second.held());
}

// A box folder renamed by the user takes its recipients and its waiting mails along; a folder
// whose name only begins the same keeps its own.
TEST_F(OutboxFolder, ARenamedBoxFolderTakesItsRecipientsAndWaitingMails) {
    MailSettings s;
    s.recipients = {{"本社/rusuroku/001", "a@example.jp"},
                    {"本社/naisen/201", "b@example.jp"},
                    {"本社2/rusuroku/001", "other@example.jp"},
                    {"東京/rusuroku/001", "stale@example.jp"}};
    ASSERT_TRUE(saveMailSettings(s, mailSettingsPath(tmp.path())));
    ASSERT_EQ(outbox.enqueue("/d/本社/rusuroku/001/a.vmdat", "本社/rusuroku/001", 100),
              EnqueueResult::Queued);
    ASSERT_EQ(outbox.enqueue("/d/本社2/rusuroku/001/b.vmdat", "本社2/rusuroku/001", 200),
              EnqueueResult::Queued);
    {
        OutboxLock sender(outbox.folder());  // a sender holds the outbox throughout
        EXPECT_EQ(followBoxFolderRename(tmp.path(), "/d/本社/", "/d/東京", std::chrono::milliseconds(100)),
                  FollowResult::OutboxBusy);
    }
    const std::map<std::string, std::string> moved{{"東京/rusuroku/001", "a@example.jp"},
                                                   {"東京/naisen/201", "b@example.jp"},
                                                   {"本社2/rusuroku/001", "other@example.jp"}};
    EXPECT_EQ(loadMailSettings(mailSettingsPath(tmp.path())).recipients, moved);
    EXPECT_EQ(outbox.jobs().front().messagePath, "/d/本社/rusuroku/001/a.vmdat")
        << "the sender's jobs are left";

    EXPECT_EQ(followBoxFolderRename(tmp.path(), "/d/本社", "/d/東京"), FollowResult::Done);
    const auto jobs = outbox.jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].messagePath, "/d/東京/rusuroku/001/a.vmdat");
    EXPECT_EQ(jobs[0].box, "東京/rusuroku/001");
    EXPECT_EQ(jobs[1].messagePath, "/d/本社2/rusuroku/001/b.vmdat");
    EXPECT_EQ(jobs[1].box, "本社2/rusuroku/001");
    EXPECT_EQ(loadMailSettings(mailSettingsPath(tmp.path())).recipients, moved);
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
