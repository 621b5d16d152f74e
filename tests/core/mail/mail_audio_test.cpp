#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "core/mail/mail_audio.h"
#include "core/mail/mail_run.h"
#include "sim/g729.h"
#include "sim/speech_sample.h"
#include "support/message_files.h"
#include "support/temp_folder.h"

using namespace voxmg::mail;
using voxmg::test::TempFolder;

namespace {

// A server that takes the connection and then never says a word: every send to it waits out
// its limit, unless it is stopped.
class SilentServer {
public:
    SilentServer() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(m_fd, 8) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
            m_port = ntohs(a.sin_port);
        }
    }
    ~SilentServer() { ::close(m_fd); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    int port() const { return m_port; }

private:
    int m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int m_port = 0;
};

std::vector<std::int16_t> speech(std::size_t seconds) {
    const auto one = voxmg::sim::readPcm8kMono(voxmg::sim::speechSampleWav());
    std::vector<std::int16_t> out;
    while (one && out.size() < seconds * 8000) {
        out.insert(out.end(), one->begin(), one->end());
    }
    out.resize(seconds * 8000);
    return out;
}

// `ms` of a 440 Hz tone at about -12 dBFS in the middle of three seconds of quiet.
std::vector<std::int16_t> toneIn(std::size_t ms, int quietAmplitude) {
    std::vector<std::int16_t> s(3 * 8000);
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<std::int16_t>((i * 7919 % 201) - 100) * quietAmplitude / 100;
    }
    for (std::size_t i = 0; i < ms * 8; ++i) {
        s[8000 + i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 8000.0));
    }
    return s;
}

TEST(Silence, NoSpeechIsSilentAndAnyRealSpeechIsNot) {
    EXPECT_TRUE(isSilent(std::vector<std::int16_t>(24000, 0)));
    EXPECT_TRUE(isSilent(toneIn(0, 150))) << "line hiss is no speech";
    EXPECT_TRUE(isSilent(toneIn(100, 150))) << "a click at hang-up is no speech";
    EXPECT_FALSE(isSilent(toneIn(400, 150)));
    EXPECT_FALSE(isSilent(speech(2)));
    EXPECT_TRUE(isSilent({}));
}

// Message files in a box folder, voiced through the G.729 encoder as the main unit stores them.
class MailMessages : public testing::Test {
protected:
    TempFolder tmp;
    std::string box = tmp.folder("data/本社/rusuroku/001");
    MailLedger ledger{tmp.path()};
    Outbox outbox{Outbox::folderIn(tmp.path())};

    std::vector<MailJob> waiting() const {
        std::vector<MailJob> out = ledger.jobs();
        std::erase_if(out, [](const MailJob& j) { return j.state != JobState::Waiting; });
        return out;
    }
    PassSummary sendWaiting(const MailSettings& s, SendPass run) {
        return sendDue(ledger, outbox, s, waiting(), run);
    }

    std::string message(const std::string& name, const std::vector<std::int16_t>& pcm,
                        std::u16string caller = u"山田商事") {
        using namespace voxmg::test;
        const std::string frames = voxmg::sim::encodeG729a(pcm);
        const Bytes bytes = concat({recordBytes({.state = 2,
                                                 .boxNumber = u"001",
                                                 .callerNumber = u"0312345678",
                                                 .callerName = std::move(caller),
                                                 .date = u"2026/12/07 16:42",
                                                 .length = u"00:00:03"}),
                                    headerBytes({}), Bytes(frames.begin(), frames.end())});
        const std::string path = box + "/" + name;
        writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return path;
    }
    MailSettings settings() const {
        MailSettings s;
        s.host = "127.0.0.1";
        s.port = 9;  // nothing listens: a pass that tries to send fails at once
        s.security = Security::None;
        s.sender = "voxmg@example.jp";
        s.recipients["本社/rusuroku/001"] = "staff@example.jp, boss@example.jp";
        return s;
    }
    // Two messages with speech waiting, queued at 100 and 101.
    void twoWaiting(const MailSettings& s) {
        enqueueMessage(ledger, s, message("202612071642_MON_R001_00001.vmdat", speech(1)), 100);
        enqueueMessage(ledger, s, message("202612071643_MON_R001_00002.vmdat", speech(1)), 101);
    }
    MailJob job(const std::string& path) const {
        MailJob j;
        j.messagePath = path;
        j.box = "本社/rusuroku/001";
        return j;
    }
};

TEST_F(MailMessages, SilenceIsMeasuredOnTheDecodedVoice) {
    EXPECT_EQ(
        measureSilence(message("202612071642_MON_R001_00001.vmdat", std::vector<std::int16_t>(24000)), 0),
        SilenceMark::Silent);
    EXPECT_EQ(measureSilence(message("202612071643_MON_R001_00002.vmdat", speech(3)), 0),
              SilenceMark::Speech);
    EXPECT_EQ(measureSilence(box + "/gone.vmdat", 0), SilenceMark::Unknown);
}

TEST_F(MailMessages, Mp3IsSixteenKilobitsASecond) {
    const auto mp3 = encodeMp3(speech(30));
    ASSERT_TRUE(mp3);
    // 30 s at 16 kbit/s: 60 kB, and a Xing/LAME frame that tells players the exact length.
    EXPECT_GT(mp3->size(), 55000u);
    EXPECT_LT(mp3->size(), 66000u);
    const std::string bytes(mp3->begin(), mp3->end());
    EXPECT_TRUE(bytes.find("Info") != std::string::npos || bytes.find("Xing") != std::string::npos);
}

TEST_F(MailMessages, WavHoldsTheSamplesBehindACompleteHeader) {
    const std::vector<std::int16_t> pcm = {0, 1, -1, 32767, -32768};
    const auto wav = wavFileBytes(pcm);
    ASSERT_EQ(wav.size(), 44u + 10u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(wav[4] | wav[5] << 8, 36 + 10);
    EXPECT_EQ(wav[40] | wav[41] << 8, 10);
    EXPECT_EQ(wav[44 + 6], 0xFF);
    EXPECT_EQ(wav[44 + 7], 0x7F);
    EXPECT_EQ(wav[44 + 9], 0x80);
}

TEST_F(MailMessages, TheMailNamesTheMessageAndCarriesItsRecording) {
    const std::string path = message("202612071642_MON_R001_00001.vmdat", speech(3));
    MailSettings s = settings();
    BuiltJob built = buildJobMail(job(path), s, 0, 1796683522);
    ASSERT_TRUE(built.mail) << built.problem;
    EXPECT_EQ(built.mail->to, (std::vector<std::string>{"staff@example.jp", "boss@example.jp"}));
    EXPECT_EQ(built.mail->subject, "留守録 001 山田商事 2026/12/07 16:42 (0:03)");
    EXPECT_EQ(built.mail->messageId, "<202612071642_MON_R001_00001.d9d9b8dc@voxmg.invalid>");
    EXPECT_EQ(built.mail->attachmentName, "202612071642_MON_R001_00001.mp3");
    EXPECT_EQ(built.mail->attachmentType, "audio/mpeg");
    EXPECT_EQ(built.silence, SilenceMark::Speech);

    s.attachment = Attachment::Wav;
    built = buildJobMail(job(path), s, 0, 1796683522);
    ASSERT_TRUE(built.mail);
    EXPECT_EQ(built.mail->attachment.size(), 44u + 3 * 8000 * 2);
    s.attachment = Attachment::None;
    built = buildJobMail(job(path), s, 0, 1796683522);
    ASSERT_TRUE(built.mail);
    EXPECT_TRUE(built.mail->attachment.empty());
}

TEST_F(MailMessages, WhatCannotBeBuiltSaysWhy) {
    const std::string path = message("202612071642_MON_R001_00001.vmdat", speech(1));
    MailJob other = job(path);
    other.box = "本社/naisen/999";
    EXPECT_FALSE(buildJobMail(other, settings(), 0, 0).mail);
    EXPECT_FALSE(buildJobMail(other, settings(), 0, 0).problem.empty());
    EXPECT_FALSE(buildJobMail(job(box + "/gone.vmdat"), settings(), 0, 0).mail);
}

TEST_F(MailMessages, EnqueueTakesOnlyVoiceFilesOfBoxesWithRecipients) {
    const std::string path = message("202612071642_MON_R001_00001.vmdat", speech(1));
    EXPECT_EQ(enqueueMessage(ledger, settings(), path, 100), EnqueueOutcome::Queued);
    EXPECT_EQ(enqueueMessage(ledger, settings(), path, 100), EnqueueOutcome::AlreadyQueued);
    MailSettings none = settings();
    none.recipients.clear();
    EXPECT_EQ(enqueueMessage(ledger, none, message("202612071643_MON_R001_00002.vmdat", speech(1)), 100),
              EnqueueOutcome::NoRecipients);
    EXPECT_EQ(enqueueMessage(ledger, settings(), box + "/gone.vmdat", 100), EnqueueOutcome::NotAMessage);
    // A list with a typo is not a box without recipients: the job is made and fails visibly.
    MailSettings typo = settings();
    typo.recipients["本社/rusuroku/001"] = "staff@example.jp; boss@example.jp";
    const std::string third = message("202612071644_MON_R001_00003.vmdat", speech(1));
    EXPECT_EQ(enqueueMessage(ledger, typo, third, 100), EnqueueOutcome::Queued);
    MailJob typoJob = job(third);
    EXPECT_EQ(buildJobMail(typoJob, typo, 0, 0).problem, "宛先のメールアドレスが正しくありません");
    ASSERT_TRUE(ledger.remove(ledger.jobs().back().id));
    voxmg::test::writeFile(box + "/short.vmdat", "too short for a record");
    EXPECT_EQ(enqueueMessage(ledger, settings(), box + "/short.vmdat", 100), EnqueueOutcome::NotAMessage);
    EXPECT_EQ(ledger.jobs().size(), 1u);
}

TEST_F(MailMessages, APassKeepsSilentMessagesBackAndReportsAGoneFileOnce) {
    MailSettings s = settings();
    s.skipSilent = true;
    const std::string silent = message("202612071642_MON_R001_00001.vmdat", std::vector<std::int16_t>(24000));
    const std::string gone = message("202612071643_MON_R001_00002.vmdat", speech(1));
    ASSERT_EQ(enqueueMessage(ledger, s, silent, 100), EnqueueOutcome::Queued);
    ASSERT_EQ(enqueueMessage(ledger, s, gone, 101), EnqueueOutcome::Queued);
    std::filesystem::remove(gone);
    SmtpSender sender(s, {1, 5});
    const PassSummary first = sendWaiting(s, {&sender, 0, 200, false, {}, {}, nullptr});
    EXPECT_EQ(first.sent, 0);
    ASSERT_EQ(first.failedNow.size(), 1u);
    EXPECT_EQ(first.failedNow[0].messagePath, gone);
    EXPECT_FALSE(first.connection) << "no mail went to the server";
    const auto jobs = ledger.jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].state, JobState::Silent);
    EXPECT_EQ(jobs[0].silence, SilenceMark::Silent);
    EXPECT_EQ(jobs[0].attempts, 0);
    EXPECT_EQ(jobs[1].state, JobState::Failed);
    EXPECT_TRUE(sendWaiting(s, {&sender, 0, 300, false, {}, {}, nullptr}).failedNow.empty()) << "told once";
    // The mark the list and the player show: the silent message only, by its name.
    EXPECT_EQ(silentMarks(outbox.folder()),
              (std::set<std::string, std::less<>>{"202612071642_MON_R001_00001"}));
}

TEST_F(MailMessages, AnUnreachableServerPausesEveryDueJob) {
    const MailSettings s = settings();
    twoWaiting(s);
    ASSERT_EQ(ledger.jobs().size(), 2u);
    SmtpSender sender(s, {1, 5});
    int tried = 0;
    const PassSummary pass =
        sendWaiting(s, {&sender, 0, 200, false, [&](const MailJob&) { ++tried; }, {}, nullptr});
    EXPECT_EQ(tried, 2);
    ASSERT_TRUE(pass.connection);
    EXPECT_EQ(pass.connection->code, SendCode::Temporary);
    EXPECT_EQ(pass.waiting, 2);
    for (const MailJob& j : ledger.jobs()) {
        EXPECT_EQ(j.state, JobState::Waiting);
        EXPECT_EQ(j.attempts, 1);
        EXPECT_EQ(j.nextAttempt, 260);
        EXPECT_FALSE(j.lastReply.empty());
    }
    // Within the pause nothing is tried.
    tried = 0;
    sendWaiting(s, {&sender, 0, 259, false, [&](const MailJob&) { ++tried; }, {}, nullptr});
    EXPECT_EQ(tried, 0);
}

TEST_F(MailMessages, APassAskedToStopLeavesTheRestUntouched) {
    const MailSettings s = settings();
    twoWaiting(s);
    ASSERT_EQ(ledger.jobs().size(), 2u);
    SmtpSender sender(s, {1, 5});
    int tried = 0;
    // The program closes while the first job is tried: the second waits for the next run as it was.
    const PassSummary pass = sendWaiting(
        s, {&sender, 0, 200, false, [&](const MailJob&) { ++tried; }, [&] { return tried > 0; }, nullptr});
    EXPECT_EQ(tried, 1);
    EXPECT_EQ(pass.waiting, 2);
    const auto jobs = ledger.jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].attempts, 1);
    EXPECT_EQ(jobs[1].attempts, 0);
    EXPECT_EQ(jobs[1].nextAttempt, 101);
    EXPECT_TRUE(jobs[1].lastReply.empty());
}

// A pass whose send waited out its limit pauses the job from the failure, not from the pass's
// start: a pass of slow sends would otherwise leave every job due again at its end.
TEST_F(MailMessages, ThePauseCountsFromTheFailure) {
    SilentServer server;
    ASSERT_NE(server.port(), 0);
    MailSettings s = settings();
    s.port = server.port();
    twoWaiting(s);
    SmtpSender sender(s, {2, 3});  // the silent greeting counts to the connection's 2 s
    const PassSummary pass = sendWaiting(s, {&sender, 0, 200, false, {}, {}, nullptr});
    ASSERT_TRUE(pass.connection);
    for (const MailJob& j : ledger.jobs()) {
        EXPECT_GT(j.nextAttempt, 200 + 60) << j.id;  // the 2 s wait, counted in whole seconds
        EXPECT_LE(j.nextAttempt, 200 + 30 + 60) << j.id;
    }
}

// The program closing breaks off a mail under way within about a second, whatever the limits;
// the mail counts as not sent.
TEST_F(MailMessages, AStopBreaksOffAMailUnderWay) {
    SilentServer server;
    ASSERT_NE(server.port(), 0);
    MailSettings s = settings();
    s.port = server.port();
    std::atomic<bool> stop{false};
    const SmtpSender sender(s, {10, 60}, &stop);
    std::thread closing([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const SendOutcome out = sender.send(testMail(s, {}, 100));
    closing.join();
    EXPECT_EQ(out.code, SendCode::Temporary);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
