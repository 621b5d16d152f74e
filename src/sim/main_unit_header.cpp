#include "sim/main_unit_header.h"

#include <algorithm>
#include <cstdio>

namespace voxmg::sim {

namespace {

constexpr std::array<std::string_view, 7> kWeekdays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

template <std::size_t N>
void put(std::array<std::uint8_t, N>& bytes, std::size_t offset, std::string_view text) {
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void putBigEndian(HeaderBytes& bytes, std::size_t offset, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
    }
}

std::string twoDigits(int value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%02d", value % 100);
    return text.data();
}

}  // namespace

std::string cutCp932(std::string_view text, std::size_t bytes) {
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t width = isLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + width > bytes || end + width > text.size()) {
            break;
        }
        end += width;
    }
    return std::string(text.substr(0, end));
}

std::array<std::uint8_t, kDateSize> encodeDate(const std::tm& local) {
    std::array<std::uint8_t, kDateSize> date{};
    put(date, 0, kWeekdays.at(static_cast<std::size_t>(local.tm_wday) % 7));
    date[3] = ',';
    put(date, 5, twoDigits(local.tm_mday));
    put(date, 8, kMonths.at(static_cast<std::size_t>(local.tm_mon) % 12));
    std::array<char, 16> year{};
    std::snprintf(year.data(), year.size(), "%04d", (local.tm_year + 1900) % 10000);
    put(date, 12, year.data());
    put(date, 17, twoDigits(local.tm_hour) + ":" + twoDigits(local.tm_min));
    // The main unit always writes Japan's zone, whatever the clock says.
    put(date, 23, "+0900");
    return date;
}

HeaderBytes encodeHeader(const HeaderFields& fields) {
    HeaderBytes header{};
    put(header, 0, kModelText);
    auto date = encodeDate(fields.recorded);
    std::copy(date.begin(), date.end(), header.begin() + kDateOffset);
    // A text of exactly 32 bytes fills its field with no terminator; a shorter one is
    // followed by the zero the field already holds.
    put(header, kNameOffset, cutCp932(fields.callerName, kTextFieldSize));
    put(header, kNumberOffset, cutCp932(fields.callerNumber, kTextFieldSize));
    header[kStatusOffset] = static_cast<std::uint8_t>((fields.played ? kStatusPlayed : 0) |
                                                      (fields.protect ? kStatusProtected : 0));
    putBigEndian(header, kLengthOffset, fields.lengthTenths, 4);
    putBigEndian(header, kResponseNumberOffset, fields.responseNumber, 2);
    put(header, kBoxNumberOffset, std::string_view(fields.boxNumber).substr(0, kBoxNumberSize));
    return header;
}

std::string messageFileName(const std::tm& local, std::string_view boxCode, std::string_view serial,
                            std::string_view extension) {
    std::array<char, 32> stamp{};
    std::snprintf(stamp.data(), stamp.size(), "%04d%02d%02d%02d%02d", (local.tm_year + 1900) % 10000,
                  (local.tm_mon + 1) % 100, local.tm_mday % 100, local.tm_hour % 100, local.tm_min % 100);
    std::string weekday(kWeekdays.at(static_cast<std::size_t>(local.tm_wday) % 7));
    std::transform(weekday.begin(), weekday.end(), weekday.begin(),
                   [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); });
    return std::string(stamp.data()) + "_" + weekday + "_" + std::string(boxCode) + "_" +
           std::string(serial) + std::string(extension);
}

}  // namespace voxmg::sim
