#include "core/store/unit_header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/base/text.h"
#include "core/store/byte_order.h"

namespace voxmg {
namespace {

constexpr std::array<const char*, 7> kWeekdays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The date text is read from its first 27 bytes: weekday, day, month, year, time and the
// start of the zone, which is all Windows' parser looked at.
constexpr std::size_t kDateTextParsed = 27;

bool sameLetters(std::string_view a, const char* b) {
    if (a.size() != std::strlen(b)) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

std::optional<int> number(std::string_view s, std::size_t minDigits, std::size_t maxDigits) {
    if (s.size() < minDigits || s.size() > maxDigits) {
        return std::nullopt;
    }
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        v = v * 10 + (c - '0');
    }
    return v;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

std::optional<UnitHeader> UnitHeader::fromBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kUnitHeaderSize) {
        return std::nullopt;
    }
    UnitHeader h;
    std::copy_n(bytes.begin(), kUnitHeaderSize, h.m_bytes.begin());
    return h;
}

bool UnitHeader::hasModelText() const {
    return std::equal(kModelText.begin(), kModelText.end(), m_bytes.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

std::string UnitHeader::field(std::size_t at, std::size_t width) const {
    std::string out;
    for (std::size_t i = at; i < at + width && m_bytes[i] != 0; ++i) {
        out.push_back(static_cast<char>(m_bytes[i]));
    }
    return out;
}

std::string UnitHeader::modelText() const {
    return field(0, kModelText.size());
}
std::string UnitHeader::callerName() const {
    return field(header_offset::kName, 32);
}
std::string UnitHeader::callerNumber() const {
    return field(header_offset::kNumber, 32);
}
std::string UnitHeader::boxNumber() const {
    return field(header_offset::kBoxNumber, 4);
}

std::string UnitHeader::dateText() const {
    std::string out;
    for (std::size_t i = header_offset::kDate; i < header_offset::kDate + 32; ++i) {
        out.push_back(m_bytes[i] == 0 ? ' ' : static_cast<char>(m_bytes[i]));
    }
    return out;
}

std::uint32_t UnitHeader::lengthUnits() const {
    return bytes::readBe32(m_bytes, header_offset::kLength);
}
std::uint16_t UnitHeader::messageNumber() const {
    return bytes::readBe16(m_bytes, header_offset::kMessageNumber);
}

std::u16string UnitHeader::recordDate() const {
    auto date = parseInternetDate(text::utf8FromCp932(dateText().substr(0, kDateTextParsed)));
    if (!date) {
        return {};
    }
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d", date->year, date->month, date->day,
                  date->hour, date->minute);
    return text::utf16FromUtf8(buffer);
}

std::optional<RecordingDate> parseInternetDate(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t')) {
            ++i;
        }
        std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != ',' && text[i] != '\t') {
            ++i;
        }
        if (i > start) {
            tokens.push_back(text.substr(start, i - start));
        }
    }
    std::size_t t = 0;
    if (t < tokens.size() && std::any_of(kWeekdays.begin(), kWeekdays.end(),
                                         [&](const char* w) { return sameLetters(tokens[t], w); })) {
        ++t;
    }
    if (tokens.size() < t + 4) {
        return std::nullopt;
    }
    RecordingDate d;
    auto day = number(tokens[t], 1, 2);
    auto month = std::find_if(kMonths.begin(), kMonths.end(),
                              [&](const char* m) { return sameLetters(tokens[t + 1], m); });
    auto year = number(tokens[t + 2], 4, 4);
    std::string_view time = tokens[t + 3];
    auto colon = time.find(':');
    if (!day || month == kMonths.end() || !year || colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view minutes = time.substr(colon + 1);
    minutes = minutes.substr(0, minutes.find(':'));  // seconds, when present, are dropped
    auto hour = number(time.substr(0, colon), 1, 2);
    auto minute = number(minutes, 1, 2);
    d.year = *year;
    d.month = static_cast<int>(month - kMonths.begin()) + 1;
    d.day = *day;
    if (!hour || !minute || *hour > 23 || *minute > 59 || d.day < 1 || d.day > daysInMonth(d.year, d.month)) {
        return std::nullopt;
    }
    d.hour = *hour;
    d.minute = *minute;
    return d;
}

std::array<std::uint8_t, 32> formatHeaderDate(const std::tm& local) {
    std::array<std::uint8_t, 32> out{};
    auto put = [&](std::size_t at, std::string_view s) {
        std::copy(s.begin(), s.end(), out.begin() + static_cast<long>(at));
    };
    char buffer[16];
    put(0, kWeekdays[static_cast<std::size_t>(local.tm_wday % 7)]);
    put(3, ",");
    std::snprintf(buffer, sizeof buffer, "%02d", local.tm_mday % 100);
    put(5, buffer);
    put(8, kMonths[static_cast<std::size_t>(local.tm_mon % 12)]);
    std::snprintf(buffer, sizeof buffer, "%04d", (local.tm_year + 1900) % 10000);
    put(12, buffer);
    std::snprintf(buffer, sizeof buffer, "%02d:%02d", local.tm_hour % 100, local.tm_min % 100);
    put(17, buffer);
    put(23, "+0900");
    return out;
}

std::string fixUnitIdeographicSpace(std::string bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (static_cast<std::uint8_t>(bytes[i]) == 0x80 && static_cast<std::uint8_t>(bytes[i + 1]) == 0xF0) {
            bytes[i] = static_cast<char>(0x81);
            bytes[i + 1] = static_cast<char>(0x40);
            ++i;
        }
    }
    return bytes;
}

UnitHeader makeResponseHeader(int number, std::uint32_t lengthUnits, const std::tm& local) {
    UnitHeader h;
    auto& b = h.bytes();
    std::copy(kModelText.begin(), kModelText.end(), b.begin());
    auto date = formatHeaderDate(local);
    std::copy(date.begin(), date.end(), b.begin() + header_offset::kDate);
    bytes::writeBe32(b, header_offset::kLength, lengthUnits);
    bytes::writeBe16(b, header_offset::kMessageNumber, static_cast<std::uint16_t>(number));
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", number % 1000);
    std::copy_n(digits, 3, b.begin() + header_offset::kBoxNumber);
    return h;
}

}  // namespace voxmg
