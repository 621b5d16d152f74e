#include "core/store/filests_info.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "core/base/text.h"
#include "core/store/byte_order.h"

namespace voxmg {
namespace {

// Walks the record's fields in layout order; the same table serves both directions so the
// two cannot drift apart.
template <typename Record, typename OnByte, typename OnText>
void forEachField(Record& r, OnByte onByte, OnText onText) {
    onByte(r.flags, 0);
    onByte(r.played, 1);
    onByte(r.state, 2);
    onByte(r.protect, 3);
    onText(r.boxNumber, 4);
    onText(r.boxName, 14);
    onText(r.callerNumber, 36);
    onText(r.callerName, 102);
    onText(r.date, 168);
    onText(r.length, 208);
    onText(r.title, 226);
    onText(r.memo, 308);
    onText(r.path, 470);
}

}  // namespace

std::string FILESTS_INFO::pathUtf8() const {
    return text::utf8FromUtf16(pathText());
}

std::array<std::uint8_t, kRecordSize> encodeRecord(const FILESTS_INFO& record) {
    std::array<std::uint8_t, kRecordSize> out{};
    std::span<std::uint8_t> bytes(out);
    forEachField(
        record, [&](const std::uint8_t& v, std::size_t at) { bytes[at] = v; },
        [&](const auto& field, std::size_t at) {
            for (std::size_t i = 0; i < field.size(); ++i) {
                bytes::writeLe16(bytes, at + 2 * i, field[i]);
            }
        });
    return out;
}

std::optional<FILESTS_INFO> decodeRecord(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kRecordSize) {
        return std::nullopt;
    }
    FILESTS_INFO record;
    forEachField(
        record, [&](std::uint8_t& v, std::size_t at) { v = bytes[at]; },
        [&](auto& field, std::size_t at) {
            if constexpr (std::endian::native == std::endian::little) {
                // The file's UTF-16LE is the host's order: a list reads 50,000 of these.
                std::memcpy(field.data(), bytes.data() + at, 2 * field.size());
            } else {
                for (std::size_t i = 0; i < field.size(); ++i) {
                    field[i] = bytes::readLe16(bytes, at + 2 * i);
                }
            }
        });
    return record;
}

std::u16string formatLength(std::uint32_t tenths) {
    std::uint32_t seconds = tenths / 10;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", seconds / 3600, (seconds % 3600) / 60,
                  seconds % 60);
    return text::utf16FromUtf8(buffer);
}

std::u16string stateCodeText(std::uint8_t state) {
    switch (state) {
        case 0:
            return u"   2   ";
        case 1:
            return u"   1   ";
        case 2:
            return u"   0   ";
        default:
            return u"   3   ";
    }
}

}  // namespace voxmg
