#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/mail/mail_settings.h"

// One mail over SMTP with libcurl: envelope, headers and a MIME body of a text part and an
// optional attachment. Certificates are verified; the password goes to libcurl and nowhere else.
namespace voxmg::mail {

struct OutgoingMail {
    std::vector<std::string> to;  // plain addresses, checked
    std::string subject;          // UTF-8, encoded here
    std::string body;             // UTF-8 plain text
    std::string messageId;
    std::string date;
    std::vector<std::uint8_t> attachment;  // empty: none
    std::string attachmentName;
    std::string attachmentType;  // "audio/mpeg", "audio/wav"
};

enum class SendCode : int {
    Sent = 0,                // the server answered 250 to the whole mail
    Temporary = 1,           // 4xx, no connection, a timeout: try again later
    Permanent = 2,           // 5xx: this mail will not be taken as it is
    CertificateRefused = 3,  // the server's certificate is not trusted
    LoginRefused = 4,        // the server refused the user or password
    NoTls = 5,               // the server offers no STARTTLS
    BadSettings = 6,         // nothing to send to, or settings that cannot work
};

struct SendOutcome {
    SendCode code = SendCode::Temporary;
    int replyCode = 0;   // the server's last reply code, 0 when none came
    std::string reply;   // the server's last reply, or what went wrong on the way
    std::string reason;  // what went wrong in a few Japanese words; the reply is its detail
};

// Temporary trouble keeps a mail waiting; Permanent ends its tries.
bool keepsWaiting(SendCode code);

struct SendLimits {
    long connectSeconds = 30;
    long totalSeconds = 300;  // a 30 s message is ~60 kB: minutes only on a dead line
};

class SmtpSender {
public:
    // `stop`, when given, ends a send under way as soon as it is set (the program closing): the
    // mail then counts as not sent and waits for the next run.
    explicit SmtpSender(MailSettings settings, SendLimits limits = {},
                        const std::atomic<bool>* stop = nullptr);
    SendOutcome send(const OutgoingMail& mail) const;

private:
    MailSettings m_settings;
    SendLimits m_limits;
    const std::atomic<bool>* m_stop;
};

}  // namespace voxmg::mail
