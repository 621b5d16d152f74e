#include "core/device/listing_buffer.h"

#include <algorithm>

#include "core/base/text.h"

namespace voxmg::ftp {

void ListingBuffer::append(std::span<const std::uint8_t> bytes) {
    std::size_t room = m_max - m_raw.size();
    std::size_t taken = std::min(room, bytes.size());
    m_raw.append(reinterpret_cast<const char*>(bytes.data()), taken);
    m_truncated = m_truncated || taken < bytes.size();
}

std::u16string ListingBuffer::text(std::size_t maxChars) const {
    std::u16string all = text::utf16FromCp932(m_raw);
    return std::u16string(text::cutToWidth(all, maxChars));
}

}  // namespace voxmg::ftp
