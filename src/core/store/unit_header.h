#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/store/filests_info.h"

namespace voxmg {

// The main unit's 256-byte header that starts every file it records, and that follows the
// record at offset 990 on the PC. Numbers are big-endian; texts are CP932 byte strings.
inline constexpr std::string_view kModelText = "Zu-QX Voice-data";

namespace header_offset {
inline constexpr std::size_t kDate = 32;            // 32 bytes, "Www, DD Mon YYYY HH:MM +0900"
inline constexpr std::size_t kName = 64;            // 32 bytes: caller name / response message name
inline constexpr std::size_t kNumber = 96;          // 32 bytes: caller number
inline constexpr std::size_t kStatus = 129;         // bit 0 played, bit 1 protected
inline constexpr std::size_t kLength = 130;         // u32, 0.1 s units
inline constexpr std::size_t kMessageNumber = 134;  // u16, response messages
inline constexpr std::size_t kBoxNumber = 138;      // up to 4 ASCII digits
}  // namespace header_offset

struct RecordingDate {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
};

class UnitHeader {
public:
    static constexpr std::uint8_t kPlayedBit = 0x01;
    static constexpr std::uint8_t kProtectedBit = 0x02;

    UnitHeader() = default;  // all zero
    // Needs all 256 bytes; anything shorter is not a header.
    static std::optional<UnitHeader> fromBytes(std::span<const std::uint8_t> bytes);

    const std::array<std::uint8_t, kUnitHeaderSize>& bytes() const { return m_bytes; }
    std::array<std::uint8_t, kUnitHeaderSize>& bytes() { return m_bytes; }

    bool hasModelText() const;
    std::string modelText() const;  // the first 16 bytes up to a zero byte
    // The 32 date bytes as read, every zero byte taken as a blank (the gaps of the layout).
    std::string dateText() const;
    // CP932 bytes up to the first zero byte of their field.
    std::string callerName() const;
    std::string callerNumber() const;
    std::string boxNumber() const;
    std::uint8_t status() const { return m_bytes[header_offset::kStatus]; }
    bool playedOnUnit() const { return (status() & kPlayedBit) != 0; }
    bool protectedOnUnit() const { return (status() & kProtectedBit) != 0; }
    std::uint32_t lengthUnits() const;
    std::uint16_t messageNumber() const;

    // The recording date as the record shows it, "YYYY/MM/DD hh:mm"; empty when the header's
    // date text does not parse.
    std::u16string recordDate() const;

private:
    std::string field(std::size_t at, std::size_t width) const;

    std::array<std::uint8_t, kUnitHeaderSize> m_bytes{};
};

// Parses the date forms Windows' Internet time parser takes: "Www, DD Mon YYYY HH:MM[:SS]"
// with the weekday optional and anything after the time (the zone) ignored.
std::optional<RecordingDate> parseInternetDate(std::string_view text);

// The 32-byte date text of a header written here: "Www," 0 "DD" 0 "Mon" 0 "YYYY" 0 "HH:MM" 0
// "+0900" and four zeros. The main unit reads the zone as written, always +0900.
std::array<std::uint8_t, 32> formatHeaderDate(const std::tm& local);

// The main unit sends the ideographic space of caller names as 0x80 0xF0, which is no CP932
// character; it is turned into 0x81 0x40 before conversion.
std::string fixUnitIdeographicSpace(std::string bytes);

// Header of a response message made here from an imported audio file.
UnitHeader makeResponseHeader(int number, std::uint32_t lengthUnits, const std::tm& local);

}  // namespace voxmg
