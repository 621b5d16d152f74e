#include "core/device/listing_lines.h"

#include <cctype>

#include "core/base/paths.h"
#include "core/base/text.h"

namespace voxmg::listing {
namespace {

constexpr std::size_t kNameLength = 33;          // "YYYYMMDDhhmm_WWW_BBBB_NNNNN" + ".vmdat"
constexpr std::size_t kResponseNameLength = 32;  // "YYYYMMDDhhmm_WWW_Annn_0000" + ".vmdat"
constexpr std::size_t kSizeColumn = 24;
constexpr std::size_t kSizeWidth = 9;

void restoreDot(std::string& line, std::string_view ext) {
    auto pos = line.find(ext);
    if (pos != std::string::npos) {
        line.insert(pos, ".");
    }
}

bool isMessageFileName(std::string_view name) {
    if ((name.size() != kNameLength && name.size() != kResponseNameLength) || paths::isUnsafeName(name)) {
        return false;
    }
    std::string_view ext = name.substr(name.size() - 6);
    if (ext != ".vmdat" && ext != ".vminf") {
        return false;
    }
    for (char c : name.substr(0, name.size() - 6)) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> messageLines(std::u16string_view text) {
    std::vector<std::string> lines;
    std::u16string current;
    auto finish = [&] {
        if (current.empty()) {
            return;
        }
        std::string line = text::utf8FromUtf16(current);
        current.clear();
        bool voice = line.find("vmdat") != std::string::npos;
        bool info = line.find("vminf") != std::string::npos;
        if (!voice && !info) {
            return;
        }
        restoreDot(line, voice ? "vmdat" : "vminf");
        lines.push_back(std::move(line));
    };
    for (char16_t ch : text) {
        if (ch == u'.' || ch == u'*' || ch == u'\n') {
            continue;
        }
        if (ch == u'\r') {
            finish();
            continue;
        }
        current.push_back(ch);
    }
    finish();
    return lines;
}

std::optional<Entry> detailedEntry(std::string_view line) {
    if (line.size() < kSizeColumn + kSizeWidth || line.size() < kNameLength) {
        return std::nullopt;
    }
    std::string_view field = line.substr(kSizeColumn, kSizeWidth);
    while (!field.empty() && field.front() == ' ') {
        field.remove_prefix(1);
    }
    Entry entry;
    std::size_t digits = 0;
    while (digits < field.size() && field[digits] >= '0' && field[digits] <= '9') {
        entry.size = entry.size * 10 + static_cast<std::uint64_t>(field[digits] - '0');
        ++digits;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    std::string_view name = line.substr(line.size() - kNameLength);
    // Response message names are one character shorter: the window then starts with the
    // blank in front of the name.
    if (name.front() == ' ') {
        name.remove_prefix(1);
    }
    // The size field must lie in front of the name, not inside it.
    if (!isMessageFileName(name) || line.size() - name.size() < kSizeColumn + kSizeWidth) {
        return std::nullopt;
    }
    entry.name = std::string(name);
    return entry;
}

std::optional<std::string> nameEntry(std::string_view line) {
    if (!isMessageFileName(line)) {
        return std::nullopt;
    }
    return std::string(line);
}

}  // namespace voxmg::listing
