#include "core/store/file_naming.h"

#include <cstdio>

#include "core/base/paths.h"
#include "core/base/text.h"

namespace voxmg::naming {

bool isResponsePath(std::string_view path) {
    return paths::fileName(paths::parentOf(path)).find(kResponseKind) != std::string_view::npos;
}
bool isInfoName(std::string_view name) {
    return name.find(kInfoExt) != std::string_view::npos;
}
bool isVoiceName(std::string_view name) {
    return name.find(kVoiceExt) != std::string_view::npos;
}
bool isMessageName(std::string_view name) {
    return isInfoName(name) || isVoiceName(name);
}

std::string partnerName(std::string_view name) {
    std::string out(name);
    auto info = out.rfind(kInfoExt);
    auto voice = out.rfind(kVoiceExt);
    if (info != std::string::npos && (voice == std::string::npos || info > voice)) {
        out.replace(info, kInfoExt.size(), kVoiceExt);
    } else if (voice != std::string::npos) {
        out.replace(voice, kVoiceExt.size(), kInfoExt);
    }
    return out;
}

std::size_t nameLength(std::string_view utf8Name) {
    // Counting UTF-16 units without converting: every UTF-8 lead byte is one unit, four-byte
    // sequences are two.
    std::size_t units = 0;
    for (char c : utf8Name) {
        auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80) {
            units += b >= 0xF0 ? 2 : 1;
        }
    }
    return units;
}

std::u16string boxNumberFromName(std::string_view utf8Name) {
    std::u16string name = text::utf16FromUtf8(utf8Name);
    if (name.size() <= 17 || name[16] != u'_') {
        return {};
    }
    std::size_t start = name[17] == u'A' ? 18 : 17;
    std::u16string out;
    for (std::size_t i = start; i < name.size() && name[i] != u'_' && out.size() < 4; ++i) {
        out.push_back(name[i]);
    }
    return out;
}

std::optional<int> responseNumberFromName(std::string_view utf8Name) {
    std::u16string name = text::utf16FromUtf8(utf8Name);
    if (name.size() < 14) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = name.size() - 14; i < name.size() - 11; ++i) {
        if (name[i] < u'0' || name[i] > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (name[i] - u'0');
    }
    return value;
}

std::string weekdayAbbrev(const std::tm& local, bool upper) {
    static constexpr const char* kMixed[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kUpper[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    int day = ((local.tm_wday % 7) + 7) % 7;
    return upper ? kUpper[day] : kMixed[day];
}

std::string responseMessageName(const std::tm& local, int number, std::string_view extension) {
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M", &local);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s_%s_A%03d_0000", stamp, weekdayAbbrev(local, true).c_str(),
                  number % 1000);
    std::string out = buffer;
    out.append(extension);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::string baseName(std::string_view name) {
    if (name.ends_with(kVoiceExt) || name.ends_with(kInfoExt)) {
        name.remove_suffix(kVoiceExt.size());
    }
    return std::string(name);
}

}  // namespace voxmg::naming
