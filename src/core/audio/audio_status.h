#pragma once

#include <cstdint>

// The one-byte job statuses of the conversion engine and the integer results of its start
// calls. Callers see folded values: every error byte reads as Status::error, and every
// "busy" byte of the encoding direction (source decoding, encoding) reads as converting.
namespace voxmg::audio {

namespace Status {
inline constexpr std::uint8_t idle = 0x10;
inline constexpr std::uint8_t started = 0x20;
inline constexpr std::uint8_t converting = 0x30;
inline constexpr std::uint8_t sourceDecoding = 0x31;  // encoding direction only
inline constexpr std::uint8_t finished = 0x40;
inline constexpr std::uint8_t error = 0x50;
inline constexpr std::uint8_t cancelled = 0x60;  // returned by the cancel calls only

// Decoding direction.
inline constexpr std::uint8_t codecInitFailed = 0x51;
inline constexpr std::uint8_t frameFileOpenFailed = 0x5B;
inline constexpr std::uint8_t frameReadFailed = 0x5C;
inline constexpr std::uint8_t frameDecodeFailed = 0x5D;
inline constexpr std::uint8_t gainFailed = 0x5E;
inline constexpr std::uint8_t wavWriteFailed = 0x5F;

// Encoding direction.
inline constexpr std::uint8_t encoderInitFailed = 0x51;
inline constexpr std::uint8_t sourceDecodeFailed = 0x52;
inline constexpr std::uint8_t pcmFormatWrong = 0x53;
inline constexpr std::uint8_t pcmReadFailed = 0x54;
inline constexpr std::uint8_t pcmOpenFailed = 0x55;
inline constexpr std::uint8_t outputOpenFailed = 0x56;
inline constexpr std::uint8_t encodeGainFailed = 0x58;
inline constexpr std::uint8_t frameEncodeFailed = 0x59;
inline constexpr std::uint8_t outputWriteFailed = 0x5A;

// An error byte: 0x50 to 0x5F.
constexpr bool isError(std::uint8_t s) {
    return (s & 0xF0) == 0x50;
}
// The value a status call reports for an internal status byte.
constexpr std::uint8_t folded(std::uint8_t s) {
    if (isError(s)) {
        return error;
    }
    return (s & 0xF0) == 0x30 ? converting : s;
}
}  // namespace Status

// Results of the start calls.
namespace StartResult {
inline constexpr int ok = 0;
inline constexpr int busy = -1;
inline constexpr int cannotOpen = -2;
inline constexpr int unknownLength = -3;  // encoding only
inline constexpr int tooLong = -4;        // encoding only
inline constexpr int noThread = -5;
}  // namespace StartResult

}  // namespace voxmg::audio
