#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Explicit byte order for the two formats the store handles: the main unit writes big-endian
// numbers, the record this program keeps in front of every message is little-endian. Callers
// check that the span is long enough; these helpers never look past offset + width.
namespace voxmg::bytes {

inline std::uint16_t readLe16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline std::uint16_t readBe16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

inline std::uint32_t readBe32(std::span<const std::uint8_t> b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
           std::uint32_t{b[at + 3]};
}

inline void writeLe16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void writeBe16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v & 0xFF);
}

inline void writeBe32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 24);
    b[at + 1] = static_cast<std::uint8_t>((v >> 16) & 0xFF);
    b[at + 2] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    b[at + 3] = static_cast<std::uint8_t>(v & 0xFF);
}

}  // namespace voxmg::bytes
