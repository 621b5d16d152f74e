// Mail of new messages: the sender's pass over 100 waiting messages of 30 s (G.729 decode,
// silence measure, MP3 encode, MIME, SMTP with STARTTLS and AUTH, job files) against a bare
// FFmpeg MP3 encode of the same PCM plus libcurl sending the same mails; and the outbox of
// 1,000 waiting jobs listed, against sending one mail. Both sides talk to the same local
// aiosmtpd server (tests/support/smtp_server.py). The bare side starts from PCM; a second ratio
// adds to it a bare bcg729 decode of the same frames, the step every sender of these messages
// has to take first.
//   mail_send_bench [MESSAGES] [TURNS]
#include <curl/curl.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_codec.h"
#include "bench_run.h"
#include "core/mail/mail_audio.h"
#include "core/mail/mail_run.h"
#include "core/store/filests_info.h"
#include "sim/g729.h"
#include "sim/speech_sample.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

namespace {

using namespace voxmg::mail;

// The SMTP server as a child process; its port, or 0.
struct Server {
    pid_t pid = -1;
    int port = 0;
    ~Server() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

void startServer(Server& s, const std::string& dir) {
    int out[2];
    if (::pipe(out) != 0) {
        return;
    }
    s.pid = ::fork();
    if (s.pid == 0) {
        ::dup2(out[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);  // the server's warnings would drown the figures
        ::execl("/usr/bin/python3", "python3", VOXMG_SOURCE_DIR "/tests/support/smtp_server.py", dir.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    FILE* in = ::fdopen(out[0], "r");
    char line[128] = {};
    if (in != nullptr && std::fgets(line, sizeof line, in) != nullptr) {
        std::sscanf(line, "listening %d", &s.port);
    }
}

std::vector<std::int16_t> speech(std::size_t seconds) {
    const auto one = voxmg::sim::readPcm8kMono(voxmg::sim::speechSampleWav());
    std::vector<std::int16_t> out;
    while (one && out.size() < seconds * 8000) {
        out.insert(out.end(), one->begin(), one->end());
    }
    out.resize(seconds * 8000);
    return out;
}

std::vector<std::string> writeMessages(const std::string& box, int count, const std::string& frames) {
    voxmg::FILESTS_INFO r;
    r.state = 2;
    voxmg::FILESTS_INFO::setText(r.boxNumber, u"001");
    voxmg::FILESTS_INFO::setText(r.callerName, u"山田商事");
    voxmg::FILESTS_INFO::setText(r.callerNumber, u"0312345678");
    voxmg::FILESTS_INFO::setText(r.date, u"2026/12/07 16:42");
    voxmg::FILESTS_INFO::setText(r.length, u"00:00:30");
    const auto record = voxmg::encodeRecord(r);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/202612071642_MON_R001_%05d.vmdat", i + 1);
        const std::string bytes = std::string(record.begin(), record.end()) + std::string(256, '\0') + frames;
        bench::writeWhole(box + name, bytes);
        paths.push_back(box + name);
    }
    return paths;
}

// The bare encode: libmp3lame through libavcodec, packets back to back, no container.
std::vector<std::uint8_t> bareMp3(const std::vector<std::int16_t>& pcm) {
    std::vector<std::uint8_t> out;
    const AVCodec* codec = avcodec_find_encoder_by_name("libmp3lame");
    AVCodecContext* c = avcodec_alloc_context3(codec);
    c->sample_rate = 8000;
    c->sample_fmt = AV_SAMPLE_FMT_S16P;
    c->bit_rate = kMp3BitRate;
    av_channel_layout_default(&c->ch_layout, 1);
    avcodec_open2(c, codec, nullptr);
    AVFrame* f = av_frame_alloc();
    AVPacket* p = av_packet_alloc();
    const auto drain = [&] {
        while (avcodec_receive_packet(c, p) == 0) {
            out.insert(out.end(), p->data, p->data + p->size);
            av_packet_unref(p);
        }
    };
    for (std::size_t at = 0; at < pcm.size(); at += c->frame_size) {
        f->nb_samples = static_cast<int>(std::min<std::size_t>(c->frame_size, pcm.size() - at));
        f->format = c->sample_fmt;
        av_channel_layout_copy(&f->ch_layout, &c->ch_layout);
        av_frame_get_buffer(f, 0);
        std::copy_n(pcm.data() + at, f->nb_samples, reinterpret_cast<std::int16_t*>(f->data[0]));
        avcodec_send_frame(c, f);
        drain();
        av_frame_unref(f);
    }
    avcodec_send_frame(c, nullptr);
    drain();
    av_packet_free(&p);
    av_frame_free(&f);
    avcodec_free_context(&c);
    return out;
}

// The bare send: libcurl's MIME API, STARTTLS, AUTH, one connection per mail, as ours.
void bareSend(const MailSettings& s, const std::vector<std::uint8_t>& mp3, const std::string& subject) {
    CURL* c = curl_easy_init();
    curl_mime* mime = curl_mime_init(c);
    curl_mimepart* text = curl_mime_addpart(mime);
    curl_mime_data(text, "新しいメッセージが録音されました。", CURL_ZERO_TERMINATED);
    curl_mimepart* file = curl_mime_addpart(mime);
    curl_mime_data(file, reinterpret_cast<const char*>(mp3.data()), mp3.size());
    curl_mime_filename(file, "message.mp3");
    curl_mime_encoder(file, "base64");
    curl_slist* headers = curl_slist_append(nullptr, ("Subject: " + subject).c_str());
    curl_slist* rcpt = curl_slist_append(nullptr, "<staff@example.jp>");
    const std::string url = "smtp://127.0.0.1:" + std::to_string(s.port);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_USE_SSL, CURLUSESSL_ALL);
    curl_easy_setopt(c, CURLOPT_CAINFO, s.caFile.c_str());
    curl_easy_setopt(c, CURLOPT_USERNAME, s.user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, s.password.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, "<voxmg@example.jp>");
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    if (curl_easy_perform(c) != CURLE_OK) {
        std::fprintf(stderr, "baseline send failed\n");
    }
    curl_slist_free_all(rcpt);
    curl_slist_free_all(headers);
    curl_mime_free(mime);
    curl_easy_cleanup(c);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100;
    const int turns = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::string dir = bench::scratchFolder();
    Server server;
    startServer(server, dir + "/smtp");
    if (dir.empty() || server.port == 0) {
        std::fprintf(stderr, "mail_send_bench: no SMTP server (python3-aiosmtpd)\n");
        return 1;
    }
    const std::string box = dir + "/data/本社/rusuroku/001";
    std::filesystem::create_directories(box);
    const std::vector<std::int16_t> pcm = speech(30);
    const std::string frames = voxmg::sim::encodeG729a(pcm);
    const auto paths = writeMessages(box, count, frames);
    MailSettings s;
    s.host = "127.0.0.1";
    s.port = server.port;
    s.user = "voxmg";
    s.password = "secret pw";
    s.sender = "voxmg@example.jp";
    s.caFile = dir + "/smtp/cert.pem";
    s.recipients["本社/rusuroku/001"] = "staff@example.jp";
    SmtpSender sender(s);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    av_log_set_level(AV_LOG_QUIET);

    std::filesystem::create_directories(dir + "/settings");
    MailLedger ledger(dir + "/settings");
    const Outbox outbox(Outbox::folderIn(dir + "/settings"));
    const auto [bare, ours] = bench::bestOfTurns(
        turns,
        [&] {
            for (int i = 0; i < count; ++i) {
                bareSend(s, bareMp3(pcm), "=?UTF-8?B?55WZ5a6I6YyyIDAwMQ==?=");
            }
        },
        [&] {
            for (const auto& p : paths) {
                enqueueMessage(ledger, s, p, std::time(nullptr));
            }
            const PassSummary pass = sendDue(ledger, outbox, s, ledger.jobs(),
                                             {&sender, 0, std::time(nullptr), true, {}, {}, nullptr});
            if (pass.sent != count) {
                std::fprintf(stderr, "sent %d of %d\n", pass.sent, count);
            }
        });
    std::printf(
        "send %d messages of 30 s: bare FFmpeg MP3 + curl %.0f ms, ours %.0f ms, ratio %.2fx (aim <= 1.3x)\n",
        count, bare, ours, ours / bare);
    const std::vector<std::uint8_t> frameBytes(frames.begin(), frames.end());
    volatile std::int64_t sink = 0;
    double decode = 1e300;
    for (int turn = 0; turn < turns; ++turn) {
        decode = std::min(decode, bench::elapsedMs([&] {
                              for (int i = 0; i < count; ++i) {
                                  sink = sink + bench::bareDecode(frameBytes);
                              }
                          }));
    }
    std::printf(
        "  with a bare bcg729 decode of the same frames added to the bare side (%.0f ms): ratio %.2fx\n",
        decode, ours / (bare + decode));

    std::filesystem::remove_all(dir);
    return 0;
}
