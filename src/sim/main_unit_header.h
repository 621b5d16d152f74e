#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

// The main unit's 256-byte message header as the main unit writes it: big-endian numbers,
// Shift_JIS (CP932) texts, zero everywhere else. Every recording info file on the main unit
// is this header alone; a voice data file is the header followed by G.729A frames.
namespace voxmg::sim {

inline constexpr std::size_t kHeaderSize = 256;
inline constexpr std::string_view kModelText = "Zu-QX Voice-data";
inline constexpr std::size_t kDateOffset = 32;
inline constexpr std::size_t kDateSize = 32;
inline constexpr std::size_t kNameOffset = 64;
inline constexpr std::size_t kNumberOffset = 96;
inline constexpr std::size_t kTextFieldSize = 32;
inline constexpr std::size_t kStatusOffset = 129;
inline constexpr std::uint8_t kStatusPlayed = 0x01;
inline constexpr std::uint8_t kStatusProtected = 0x02;
inline constexpr std::size_t kLengthOffset = 130;
inline constexpr std::size_t kResponseNumberOffset = 134;
inline constexpr std::size_t kBoxNumberOffset = 138;
inline constexpr std::size_t kBoxNumberSize = 4;

using HeaderBytes = std::array<std::uint8_t, kHeaderSize>;

struct HeaderFields {
    std::tm recorded{};        // local time of the recording
    std::string callerName;    // CP932 bytes; for a response message its name
    std::string callerNumber;  // CP932 bytes
    bool played = false;
    bool protect = false;
    std::uint32_t lengthTenths = 0;    // recording length in 0.1 s
    std::uint16_t responseNumber = 0;  // 1-300 for a response message, else 0
    std::string boxNumber;             // ASCII digits, at most 4
};

HeaderBytes encodeHeader(const HeaderFields& fields);

// The 32-byte date field: "Sun," 0 "06" 0 "Dec" 0 "2026" 0 "13:05" 0 "+0900" and zeros.
std::array<std::uint8_t, kDateSize> encodeDate(const std::tm& local);

// "YYYYMMDDhhmm_WWW_" + box code + "_" + serial + extension. Box messages use a four
// character box code and a five character serial (33 characters with ".vmdat"); response
// messages use "A" + "%03d" and "0000" (32 characters).
std::string messageFileName(const std::tm& local, std::string_view boxCode, std::string_view serial,
                            std::string_view extension);

// The text cut to at most `bytes` CP932 bytes without splitting a double-byte character.
std::string cutCp932(std::string_view text, std::size_t bytes);

}  // namespace voxmg::sim
