#include "core/mail/smtp_sender.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "core/mail/mail_text.h"

namespace voxmg::mail {
namespace {

struct EasyFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListFree {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct MimeFree {
    void operator()(curl_mime* m) const { curl_mime_free(m); }
};
using List = std::unique_ptr<curl_slist, ListFree>;

void append(List& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown != nullptr) {
        list.release();
        list.reset(grown);
    }
}

// The server's replies as they come in; only what the server sent is kept, never what we sent
// (AUTH carries the password).
struct ReplyLog {
    std::string current;
    std::string last;
    std::string lastRefusal;  // the last 4xx/5xx: what a failure reports, not the QUIT's 221
    std::string command;      // the verb curl sent last ("MAIL", "RCPT", "DATA"); empty at greeting
    // The last 5xx came before any recipient (at the greeting, to AUTH or MAIL FROM): it refuses
    // the session or the sender, whatever mail it is.
    bool sessionRefused = false;

    static int take(CURL*, curl_infotype type, char* data, std::size_t size, void* self) {
        auto* log = static_cast<ReplyLog*>(self);
        if (type == CURLINFO_HEADER_IN) {
            log->line(std::string_view(data, size));
        } else if (type == CURLINFO_HEADER_OUT) {
            const std::string_view sent(data, size);
            log->command = std::string(sent.substr(0, std::min(sent.find_first_of(" \r\n:"), sent.size())));
        }
        return 0;
    }
    void line(std::string_view l) {
        while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) {
            l.remove_suffix(1);
        }
        if (current.size() < 2000) {
            current += (current.empty() ? "" : " ") + cleanField(l);
        }
        // "250-..." continues a reply, "250 ..." ends it.
        if (l.size() < 4 || l[3] != '-') {
            if (!l.empty() && (l[0] == '4' || l[0] == '5')) {
                lastRefusal = current;
                sessionRefused = l[0] == '5' && command != "RCPT" && command != "DATA";
            }
            last = std::move(current);
            current.clear();
        }
    }
};

std::string serverUrl(const MailSettings& s) {
    const std::string host =
        s.host.find(':') != std::string::npos && s.host.front() != '[' ? "[" + s.host + "]" : s.host;
    return (s.security == Security::Tls ? "smtps://" : "smtp://") + host + ":" + std::to_string(s.port);
}

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool addParts(curl_mime* mime, const OutgoingMail& mail, List& partHeaders) {
    curl_mimepart* text = curl_mime_addpart(mime);
    if (text == nullptr || curl_mime_data(text, mail.body.data(), mail.body.size()) != CURLE_OK ||
        curl_mime_type(text, "text/plain; charset=UTF-8") != CURLE_OK ||
        curl_mime_encoder(text, "quoted-printable") != CURLE_OK) {
        return false;
    }
    if (mail.attachment.empty()) {
        return true;
    }
    curl_mimepart* file = curl_mime_addpart(mime);
    append(partHeaders, attachmentDisposition(mail.attachmentName));
    return file != nullptr &&
           curl_mime_data(file, reinterpret_cast<const char*>(mail.attachment.data()),
                          mail.attachment.size()) == CURLE_OK &&
           curl_mime_type(file, mail.attachmentType.c_str()) == CURLE_OK &&
           curl_mime_encoder(file, "base64") == CURLE_OK &&
           curl_mime_headers(file, partHeaders.get(), 0) == CURLE_OK;
}

List mailHeaders(const MailSettings& s, const OutgoingMail& mail) {
    List headers;
    std::string to;
    for (const auto& a : mail.to) {
        to += (to.empty() ? "" : ", ") + a;
    }
    append(headers, "Date: " + mail.date);
    append(headers, "From: " + s.sender);
    append(headers, "To: " + to);
    append(headers, "Subject: " + encodeHeaderValue(cleanField(mail.subject)));
    append(headers, "Message-ID: " + mail.messageId);
    return headers;
}

void setConnection(CURL* c, const MailSettings& s, const SendLimits& limits) {
    curl_easy_setopt(c, CURLOPT_URL, serverUrl(s).c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, limits.totalSeconds);
    curl_easy_setopt(c, CURLOPT_USE_SSL, s.security == Security::None ? CURLUSESSL_NONE : CURLUSESSL_ALL);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!s.caFile.empty()) {
        curl_easy_setopt(c, CURLOPT_CAINFO, s.caFile.c_str());
    }
    if (!s.user.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, s.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, s.password.c_str());
    }
}

int stopAsked(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(stop)->load() ? 1 : 0;
}

// The user's reason for a failed send; curl's text and the server's reply stay the detail.
const char* reasonOf(CURLcode rc, long replyCode) {
    switch (rc) {
        case CURLE_OK:
            return "";
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
            return "証明書を確認できません";
        case CURLE_LOGIN_DENIED:
            return "ユーザー名またはパスワードが違います";
        case CURLE_USE_SSL_FAILED:
            return "暗号化に対応していません";
        case CURLE_ABORTED_BY_CALLBACK:
            return "送信を中断しました";
        default:
            break;
    }
    // A refusal the server gave (a recipient, the size, ...) comes back as any curl error.
    if (replyCode >= 500 && replyCode <= 599) {
        return "メールサーバーが受け付けませんでした";
    }
    if (replyCode >= 400 && replyCode <= 499) {
        return "メールサーバーが後で送るように答えました";
    }
    switch (rc) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return "メールサーバーが見つかりません";
        case CURLE_COULDNT_CONNECT:
            return "接続できませんでした";
        case CURLE_OPERATION_TIMEDOUT:
            return "応答がありません";
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
            return "接続が切れました";
        default:
            return "メールサーバーとの通信に失敗しました";
    }
}

SendOutcome outcomeOf(CURLcode rc, CURL* c, const ReplyLog& log, const char* error) {
    SendOutcome out;
    long code = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
    out.replyCode = static_cast<int>(code);
    out.reason = reasonOf(rc, code);
    out.reply = !log.lastRefusal.empty() && rc != CURLE_OK && code >= 400 ? log.lastRefusal
                : error[0] != '\0'                                        ? cleanField(error)
                                                                          : log.last;
    switch (rc) {
        case CURLE_OK:
            out.code = SendCode::Sent;
            break;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
            out.code = SendCode::CertificateRefused;
            break;
        case CURLE_LOGIN_DENIED:
            out.code = SendCode::LoginRefused;
            break;
        case CURLE_USE_SSL_FAILED:
            out.code = SendCode::NoTls;
            break;
        case CURLE_ABORTED_BY_CALLBACK:
            out.code = SendCode::Temporary;  // stopped by the program, whatever the server said last
            break;
        default:
            out.code = code >= 500 && code <= 599 ? SendCode::Permanent : SendCode::Temporary;
            break;
    }
    if (out.code == SendCode::Permanent && log.sessionRefused) {
        // No mail could go this way: a fault of the settings, the mails wait for them.
        out.code = SendCode::BadSettings;
        out.reason = "メールサーバーが送信者または接続を受け付けませんでした";
    }
    return out;
}

}  // namespace

bool keepsWaiting(SendCode code) {
    return code != SendCode::Sent && code != SendCode::Permanent;
}

SmtpSender::SmtpSender(MailSettings settings, SendLimits limits, const std::atomic<bool>* stop)
    : m_settings(std::move(settings)), m_limits(limits), m_stop(stop) {}

SendOutcome SmtpSender::send(const OutgoingMail& mail) const {
    const bool plainTo =
        std::all_of(mail.to.begin(), mail.to.end(), [](const std::string& a) { return isPlainAddress(a); });
    if (checkSettings(m_settings) != SettingsProblem::None || mail.to.empty() || !plainTo) {
        return {SendCode::BadSettings, 0, "設定が正しくありません", "メール転送の設定が正しくありません"};
    }
    globalInit();
    std::unique_ptr<CURL, EasyFree> curl(curl_easy_init());
    std::unique_ptr<curl_mime, MimeFree> mime(curl ? curl_mime_init(curl.get()) : nullptr);
    List partHeaders;
    if (!mime || !addParts(mime.get(), mail, partHeaders)) {
        return {SendCode::Temporary, 0, "メールを組み立てられません", "メールを組み立てられません"};
    }
    CURL* c = curl.get();
    setConnection(c, m_settings, m_limits);
    const std::string from = "<" + m_settings.sender + ">";
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
    List rcpt;
    for (const auto& a : mail.to) {
        append(rcpt, "<" + a + ">");
    }
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
    List headers = mailHeaders(m_settings, mail);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    ReplyLog log;
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &ReplyLog::take);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &log);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);  // feeds the reply log; nothing is printed
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    if (m_stop != nullptr) {
        // libcurl asks at least once a second, also while it waits for the server.
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &stopAsked);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, m_stop);
    }
    const CURLcode rc = curl_easy_perform(c);
    return outcomeOf(rc, c, log, error);
}

}  // namespace voxmg::mail
