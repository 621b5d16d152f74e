#include "core/mail/mail_text.h"

#include <cstdint>
#include <cstdio>

#include "core/store/file_naming.h"

namespace voxmg::mail {
namespace {

constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t n = static_cast<std::uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) {
            n |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
        }
        if (i + 2 < bytes.size()) {
            n |= static_cast<std::uint8_t>(bytes[i + 2]);
        }
        out += kBase64[(n >> 18) & 63];
        out += kBase64[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kBase64[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kBase64[n & 63] : '=';
    }
    return out;
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool isPlainHeaderText(std::string_view s) {
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F) {
            return false;
        }
    }
    return s.find("=?") == std::string_view::npos;
}

std::string kindLabel(std::string_view kind) {
    return kind == naming::kExtensionKind ? "内線" : "留守録";
}

void addLine(std::string& body, std::string_view label, std::string_view value) {
    body.append(label).append(": ").append(value).append("\r\n");
}

}  // namespace

std::string cleanField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        out += u < 0x20 || u == 0x7F ? ' ' : c;
    }
    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string shortLength(std::string_view t) {
    int h = 0, m = 0, s = 0;
    char tail = 0;
    const std::string copy(t);
    if (t.size() != 8 || std::sscanf(copy.c_str(), "%2d:%2d:%2d%c", &h, &m, &s, &tail) != 3) {
        return copy;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d:%02d", h * 60 + m, s);
    return buffer;
}

std::string subjectText(const MessageFacts& f) {
    std::string who = cleanField(f.boxName);
    if (who.empty()) {
        who = cleanField(f.callerName);
    }
    if (who.empty()) {
        who = cleanField(f.callerNumber);
    }
    std::string subject = kindLabel(f.kind) + " " + cleanField(f.boxNumber);
    if (!who.empty()) {
        subject += " " + who;
    }
    subject += " " + cleanField(f.date) + " (" + shortLength(cleanField(f.length)) + ")";
    return subject;
}

std::string bodyText(const MessageFacts& f) {
    std::string body = "新しいメッセージが録音されました。\r\n\r\n";
    addLine(body, kindLabel(f.kind), cleanField(f.boxNumber));
    addLine(body, "ボックス名", cleanField(f.boxName));
    addLine(body, "発信者番号", cleanField(f.callerNumber));
    addLine(body, "発信者名", cleanField(f.callerName));
    addLine(body, "日時", cleanField(f.date));
    addLine(body, "長さ", shortLength(cleanField(f.length)));
    if (const std::string title = cleanField(f.title); !title.empty()) {
        addLine(body, "タイトル", title);
    }
    if (const std::string memo = cleanField(f.memo); !memo.empty()) {
        addLine(body, "メモ", memo);
    }
    addLine(body, "ファイル", cleanField(f.fileName));
    return body;
}

std::string encodeHeaderValue(std::string_view s) {
    if (isPlainHeaderText(s)) {
        return std::string(s);
    }
    // 75 characters per word: "=?UTF-8?B?" and "?=" leave 63 for base64, which 45 bytes fill.
    constexpr std::size_t kChunk = 45;
    std::string out;
    while (!s.empty()) {
        std::size_t n = s.size() < kChunk ? s.size() : kChunk;
        while (n < s.size() && n > 0 && isContinuationByte(s[n])) {
            --n;
        }
        if (n == 0) {
            n = s.size() < kChunk ? s.size() : kChunk;  // not UTF-8: cut anywhere
        }
        if (!out.empty()) {
            out += ' ';
        }
        out += "=?UTF-8?B?" + base64(s.substr(0, n)) + "?=";
        s.remove_prefix(n);
    }
    return out;
}

std::string attachmentDisposition(std::string_view fileName) {
    std::string plain;
    std::string extended;
    for (char c : fileName) {
        const auto u = static_cast<unsigned char>(c);
        const bool safe = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                          c == '.' || c == '_' || c == '-';
        plain += safe ? c : '_';
        if (safe) {
            extended += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", u);
            extended += hex;
        }
    }
    return "Content-Disposition: attachment; filename=\"" + plain + "\"; filename*=UTF-8''" + extended;
}

std::string messageIdFor(std::string_view boxFolder, std::string_view fileName) {
    std::string id;
    for (char c : naming::baseName(fileName)) {
        const auto u = static_cast<unsigned char>(c);
        const bool safe = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                          c == '.' || c == '_' || c == '-';
        id += safe ? c : '_';
    }
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (char c : boxFolder) {
        hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    }
    char folder[16];
    std::snprintf(folder, sizeof folder, ".%08x", hash);
    return "<" + (id.empty() ? std::string("message") : id) + folder + "@voxmg.invalid>";
}

std::string mailDate(std::time_t when) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    ::localtime_r(&when, &local);
    const long offset = local.tm_gmtoff / 60;
    const long magnitude = offset < 0 ? -offset : offset;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  kDays[local.tm_wday % 7], local.tm_mday, kMonths[local.tm_mon % 12], local.tm_year + 1900,
                  local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return buffer;
}

}  // namespace voxmg::mail
