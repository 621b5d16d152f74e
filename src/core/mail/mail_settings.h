#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

// What the mail sender needs: the server, the account, the sender address, who gets the
// messages of each box, and the attachment. Kept in a file of its own beside VOXMG.ini, which
// holds a password as well and is created 0600.
namespace voxmg::mail {

enum class Security : int { StartTls = 0, Tls = 1, None = 2 };
enum class Attachment : int { Mp3 = 0, Wav = 1, None = 2 };

struct MailSettings {
    std::string host;
    int port = 587;
    Security security = Security::StartTls;
    std::string user;
    std::string password;
    std::string sender;
    std::string caFile;  // an office's own certificate (PEM); empty = the system's
    Attachment attachment = Attachment::Mp3;
    bool skipSilent = false;  // 無音のメッセージは送らない
    // Box key ("本社/rusuroku/001") -> recipients as typed: "a@x, b@y".
    std::map<std::string, std::string> recipients;
    // Why the settings file could not be read (an errno: EISDIR for a folder), 0 when it was
    // read or there was none.
    int fileError = 0;
};

inline constexpr std::string_view kMailSettingsFileName = "VOXMG-mail.ini";
inline constexpr mode_t kMailSettingsFileMode = 0600;

std::string mailSettingsPath(const std::string& settingsFolder);

// A missing file reads as the defaults. Texts are stored as the program's other ini files
// store them (CP932).
MailSettings loadMailSettings(const std::string& path);
// Settings a mail can be sent with: read from the file, with a server, a sender and at least
// one box with recipients. A missing, empty, garbled or unreadable file gives none of these.
bool mailSettingsUsable(const MailSettings& settings);
// Written under a temporary name and renamed; a new file gets mode 0600.
bool saveMailSettings(const MailSettings& settings, const std::string& path);

enum class SettingsProblem : int {
    None = 0,
    NoHost,
    BadSender,
    PlainToRemote,  // no encryption for a server that is not on this machine
    BadPort,
    NotStorable,  // a text the settings file (Shift_JIS) cannot hold: it would be saved changed
};
SettingsProblem checkSettings(const MailSettings& settings);

// True for a server name that means this machine.
bool isLocalHost(std::string_view host);

// The key of a message's box: the last three folders above the file ("本社/rusuroku/001").
// Empty when the path has fewer.
std::string boxKeyOf(std::string_view messagePath);

// The addresses of a recipients text, blanks trimmed and empty items dropped; an item that is
// not a plain address makes the whole list invalid (`ok` false), so a typo never quietly
// drops a recipient.
std::vector<std::string> parseRecipients(std::string_view text, bool& ok);

// local@domain, printable ASCII without blanks, quotes, angle brackets, commas or controls:
// what can go into MAIL FROM, RCPT TO and the address headers without quoting.
bool isPlainAddress(std::string_view address);

}  // namespace voxmg::mail
