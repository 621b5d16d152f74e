#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Gathers the raw bytes of a listing, growing as they come, up to a fixed maximum: what a
// main unit sends beyond it is not kept, and truncated() tells the caller, which then refuses
// the listing rather than let it fill the memory or pass for a shorter one.
namespace voxmg::ftp {

// Design limits of the listings: raw bytes gathered, and characters of the converted text.
inline constexpr std::size_t kListingMaxBytes = 10240000;
inline constexpr std::size_t kListingMaxChars = 10240000;
inline constexpr std::size_t kRootListingMaxChars = 102400;
inline constexpr std::size_t kBoxKindListingMaxChars = 1024000;

class ListingBuffer {
public:
    explicit ListingBuffer(std::size_t maxBytes = kListingMaxBytes) : m_max(maxBytes) {}

    void append(std::span<const std::uint8_t> bytes);
    std::size_t size() const { return m_raw.size(); }
    bool truncated() const { return m_truncated; }
    // The bytes decoded from CP932, cut to at most `maxChars` UTF-16 units.
    std::u16string text(std::size_t maxChars) const;

private:
    std::string m_raw;
    std::size_t m_max;
    bool m_truncated = false;
};

}  // namespace voxmg::ftp
