#include "core/mail/mail_settings.h"

#include <algorithm>

#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"

namespace voxmg::mail {
namespace {

constexpr std::u16string_view kServer = u"SERVER";
constexpr std::u16string_view kBoxes = u"RECIPIENTS";

std::string readText(const ProfileFile& file, std::u16string_view section, std::u16string_view key,
                     std::string_view def = {}) {
    return text::u8(file.readString(section, key, text::u16(def)));
}

// Values are written in double quotes: the reading rules trim blanks around a bare value, and
// a password may begin or end with one. A line break would end the line, so none is written.
void writeText(ProfileFile& file, std::u16string_view section, std::u16string_view key,
               std::string_view value) {
    std::string clean;
    for (char c : value) {
        if (c != '\r' && c != '\n') {
            clean += c;
        }
    }
    file.writeString(section, key, text::u16("\"" + clean + "\""));
}

template <typename E>
E enumFrom(int value, E last, E def) {
    return value >= 0 && value <= static_cast<int>(last) ? static_cast<E>(value) : def;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// A box key is its folder's path under the data root, and folder names are the user's: an "="
// would end the key early, a leading "[" or ";" would read as a section or a comment, blanks at
// either end are trimmed, and keys are matched without regard to ASCII case. Those characters
// (and "%" itself) are written as %XX, so every box keeps its own key; a key without "%" reads
// as it stands.
std::string boxKeyForFile(std::string_view box) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < box.size(); ++i) {
        const auto c = static_cast<unsigned char>(box[i]);
        const bool atEnd = i == 0 || i + 1 == box.size();
        const bool escaped = c == '%' || c == '=' || c < 0x20 || c == 0x7f || (c >= 'A' && c <= 'Z') ||
                             (i == 0 && (c == '[' || c == ';')) || (atEnd && (c == ' ' || c == '\t'));
        if (escaped) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string boxKeyFromFile(std::string_view key) {
    const auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] == '%' && i + 2 < key.size() && hex(key[i + 1]) >= 0 && hex(key[i + 2]) >= 0) {
            out += static_cast<char>(hex(key[i + 1]) * 16 + hex(key[i + 2]));
            i += 2;
        } else {
            out += key[i];
        }
    }
    return out;
}

}  // namespace

std::string mailSettingsPath(const std::string& settingsFolder) {
    return paths::join(settingsFolder, kMailSettingsFileName);
}

MailSettings loadMailSettings(const std::string& path) {
    const ProfileFile file = ProfileFile::load(path);
    MailSettings s;
    s.fileError = file.loadError();
    s.host = readText(file, kServer, u"HOST");
    s.port = file.readInt(kServer, u"PORT", s.port);
    s.security = enumFrom(file.readInt(kServer, u"SECURITY", 0), Security::None, Security::StartTls);
    s.user = readText(file, kServer, u"USER");
    s.password = readText(file, kServer, u"PASS");
    s.sender = readText(file, kServer, u"FROM");
    s.caFile = readText(file, kServer, u"CAFILE");
    s.attachment = enumFrom(file.readInt(kServer, u"ATTACH", 0), Attachment::None, Attachment::Mp3);
    s.skipSilent = file.readInt(kServer, u"SKIPSILENT", 0) == 1;
    for (const std::u16string& key : file.keys(kBoxes)) {
        s.recipients.emplace(boxKeyFromFile(text::u8(key)), readText(file, kBoxes, key));
    }
    return s;
}

bool mailSettingsUsable(const MailSettings& s) {
    if (s.fileError != 0 || trimmed(s.host).empty() || trimmed(s.sender).empty()) {
        return false;
    }
    for (const auto& [box, list] : s.recipients) {
        if (!trimmed(list).empty()) {
            return true;
        }
    }
    return false;
}

bool saveMailSettings(const MailSettings& s, const std::string& path) {
    ProfileFile file = ProfileFile::load(path);
    writeText(file, kServer, u"HOST", s.host);
    file.writeInt(kServer, u"PORT", s.port);
    file.writeInt(kServer, u"SECURITY", static_cast<int>(s.security));
    writeText(file, kServer, u"USER", s.user);
    writeText(file, kServer, u"PASS", s.password);
    writeText(file, kServer, u"FROM", s.sender);
    writeText(file, kServer, u"CAFILE", s.caFile);
    file.writeInt(kServer, u"ATTACH", static_cast<int>(s.attachment));
    file.writeInt(kServer, u"SKIPSILENT", s.skipSilent ? 1 : 0);
    // The boxes are written anew, so a box whose recipients were cleared leaves no key.
    file.removeSection(kBoxes);
    for (const auto& [box, list] : s.recipients) {
        if (!trimmed(list).empty()) {
            writeText(file, kBoxes, text::u16(boxKeyForFile(box)), list);
        }
    }
    return file.save(kMailSettingsFileMode);
}

bool isLocalHost(std::string_view host) {
    return host == "localhost" || host == "127.0.0.1" || host == "::1" || host == "[::1]";
}

SettingsProblem checkSettings(const MailSettings& s) {
    if (s.host.empty() || paths::isUnsafeName(s.host) || s.host.find(' ') != std::string::npos) {
        return SettingsProblem::NoHost;
    }
    if (s.port <= 0 || s.port > 65535) {
        return SettingsProblem::BadPort;
    }
    if (!isPlainAddress(s.sender)) {
        return SettingsProblem::BadSender;
    }
    if (s.security == Security::None && !isLocalHost(s.host)) {
        return SettingsProblem::PlainToRemote;
    }
    // A password with a "€" would be saved as another password and refused by the server ever
    // after; the user is told now instead.
    for (const std::string* field : {&s.host, &s.user, &s.password, &s.caFile}) {
        if (!text::charactersLostInCp932(text::u16(*field)).empty()) {
            return SettingsProblem::NotStorable;
        }
    }
    return SettingsProblem::None;
}

std::string boxKeyOf(std::string_view messagePath) {
    std::string_view folder = paths::parentOf(messagePath);
    std::string_view parts[3];
    for (int i = 2; i >= 0; --i) {
        const std::string_view name = paths::fileName(folder);
        if (name.empty()) {
            return {};
        }
        parts[i] = name;
        folder = paths::parentOf(folder);
    }
    return std::string(parts[0]) + "/" + std::string(parts[1]) + "/" + std::string(parts[2]);
}

bool isPlainAddress(std::string_view a) {
    const std::size_t at = a.find('@');
    if (at == std::string_view::npos || at == 0 || at + 1 >= a.size() || a.find('@', at + 1) != a.npos ||
        a.size() > 254) {
        return false;
    }
    return std::all_of(a.begin(), a.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F && c != '<' && c != '>' && c != ',' && c != '"' && c != ';' && c != '(' &&
               c != ')' && c != '\\' && c != ':';
    });
}

std::vector<std::string> parseRecipients(std::string_view text, bool& ok) {
    ok = true;
    std::vector<std::string> out;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = trimmed(text.substr(0, comma));
        if (!item.empty()) {
            if (!isPlainAddress(item)) {
                ok = false;
                return {};
            }
            out.emplace_back(item);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    return out;
}

}  // namespace voxmg::mail
