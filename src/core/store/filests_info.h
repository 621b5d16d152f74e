#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace voxmg {

// Layout of a message file on the PC: the record, then the main unit's header as received,
// then (voice data files only) the coded voice frames.
inline constexpr std::size_t kRecordSize = 990;
inline constexpr std::size_t kUnitHeaderSize = 256;
inline constexpr std::size_t kFramesOffset = kRecordSize + kUnitHeaderSize;  // 1246

// Download-state code (byte 2 of the record).
enum class DownloadState : std::uint8_t {
    InfoOnly = 0,        // only the recording info was downloaded
    PlayedOnUnit = 1,    // voice downloaded, played on the main unit
    UnplayedOnUnit = 2,  // voice downloaded, not played on the main unit
    DeletedOnUnit = 3,   // deleted on the main unit, kept here
};

// The 990-byte message record in front of every message file, and the row of a message list.
// Windows writes it as a packed little-endian struct of UTF-16 buffers, so the layout is fixed
// and asserted below; on disk it always goes through encode()/decode(), never through the
// host's struct layout. Text buffers are NUL-terminated and zero-filled behind the text.
struct FILESTS_INFO {
    static constexpr std::uint8_t kUserFlag = 0x01;
    static constexpr std::uint8_t kSelectedMark = 0x80;  // transient, while a list refreshes

    std::uint8_t flags = 0;
    std::uint8_t played = 0;  // played on the PC (uploaded, in response lists)
    std::uint8_t state = 0;   // DownloadState
    std::uint8_t protect = 0;
    std::array<char16_t, 5> boxNumber{};
    std::array<char16_t, 11> boxName{};
    std::array<char16_t, 33> callerNumber{};
    std::array<char16_t, 33> callerName{};
    std::array<char16_t, 20> date{};   // "YYYY/MM/DD hh:mm"
    std::array<char16_t, 9> length{};  // "hh:mm:ss"
    std::array<char16_t, 41> title{};
    std::array<char16_t, 81> memo{};
    std::array<char16_t, 260> path{};  // meaningful in memory only; replaced on every load

    // Texts of the fields, up to their terminating NUL.
    std::u16string boxNumberText() const { return text(boxNumber); }
    std::u16string boxNameText() const { return text(boxName); }
    std::u16string callerNumberText() const { return text(callerNumber); }
    std::u16string callerNameText() const { return text(callerName); }
    std::u16string dateText() const { return text(date); }
    std::u16string lengthText() const { return text(length); }
    std::u16string titleText() const { return text(title); }
    std::u16string memoText() const { return text(memo); }
    std::u16string pathText() const { return text(path); }
    // The path field as a UTF-8 file-system path.
    std::string pathUtf8() const;

    // Writes a text into a field: zero-filled, cut to leave room for the NUL (never splitting a
    // surrogate pair).
    template <std::size_t N>
    static void setText(std::array<char16_t, N>& field, std::u16string_view value);

    template <std::size_t N>
    static std::u16string text(const std::array<char16_t, N>& field) {
        std::size_t n = 0;
        while (n < N && field[n] != u'\0') {
            ++n;
        }
        return std::u16string(field.data(), n);
    }

    bool operator==(const FILESTS_INFO&) const = default;
};

static_assert(sizeof(FILESTS_INFO) == kRecordSize);
static_assert(offsetof(FILESTS_INFO, flags) == 0);
static_assert(offsetof(FILESTS_INFO, played) == 1);
static_assert(offsetof(FILESTS_INFO, state) == 2);
static_assert(offsetof(FILESTS_INFO, protect) == 3);
static_assert(offsetof(FILESTS_INFO, boxNumber) == 4);
static_assert(offsetof(FILESTS_INFO, boxName) == 14);
static_assert(offsetof(FILESTS_INFO, callerNumber) == 36);
static_assert(offsetof(FILESTS_INFO, callerName) == 102);
static_assert(offsetof(FILESTS_INFO, date) == 168);
static_assert(offsetof(FILESTS_INFO, length) == 208);
static_assert(offsetof(FILESTS_INFO, title) == 226);
static_assert(offsetof(FILESTS_INFO, memo) == 308);
static_assert(offsetof(FILESTS_INFO, path) == 470);

// The record's on-disk bytes (little-endian UTF-16) and back. decode() needs all 990 bytes.
std::array<std::uint8_t, kRecordSize> encodeRecord(const FILESTS_INFO& record);
std::optional<FILESTS_INFO> decodeRecord(std::span<const std::uint8_t> bytes);

// "%02d:%02d:%02d" of a length in 0.1 s units (the main unit's unit), whole seconds.
std::u16string formatLength(std::uint32_t tenths);

// What the list's "取込" column shows for a stored download-state code: the stored value
// reads differently ("   2   " for info only, "   0   " for unplayed); above 3 shows like 3.
std::u16string stateCodeText(std::uint8_t state);

template <std::size_t N>
void FILESTS_INFO::setText(std::array<char16_t, N>& field, std::u16string_view value) {
    field.fill(u'\0');
    std::size_t n = value.size() < N - 1 ? value.size() : N - 1;
    if (n > 0 && n < value.size() && value[n - 1] >= 0xD800 && value[n - 1] <= 0xDBFF) {
        --n;  // keep a surrogate pair whole
    }
    value.copy(field.data(), n);
}

}  // namespace voxmg
