#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_folder.h"

// Byte fixtures written from the layout tables of the message record and the main unit
// header, independent of the encoders under test.
namespace store_test {

using voxmg::test::Bytes;
using voxmg::test::readBytes;
using voxmg::test::readFile;
using voxmg::test::writeFile;

struct HeaderValues {
    std::string model = "Zu-QX Voice-data";
    Bytes date{};          // 32 bytes at offset 32 (shorter: zero-filled)
    std::string name{};    // CP932 bytes at 64
    std::string number{};  // at 96
    std::uint8_t status = 0;
    std::uint32_t length = 0;
    std::uint16_t messageNumber = 0;
    std::string boxNumber{};  // ASCII at 138
};

inline void put(Bytes& b, std::size_t at, std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        b[at + i] = static_cast<std::uint8_t>(s[i]);
    }
}

inline Bytes headerBytes(const HeaderValues& h) {
    Bytes b(256, 0);
    put(b, 0, h.model);
    for (std::size_t i = 0; i < h.date.size() && i < 32; ++i) {
        b[32 + i] = h.date[i];
    }
    put(b, 64, h.name.substr(0, 32));
    put(b, 96, h.number.substr(0, 32));
    b[129] = h.status;
    b[130] = static_cast<std::uint8_t>(h.length >> 24);
    b[131] = static_cast<std::uint8_t>(h.length >> 16);
    b[132] = static_cast<std::uint8_t>(h.length >> 8);
    b[133] = static_cast<std::uint8_t>(h.length);
    b[134] = static_cast<std::uint8_t>(h.messageNumber >> 8);
    b[135] = static_cast<std::uint8_t>(h.messageNumber);
    put(b, 138, h.boxNumber.substr(0, 4));
    return b;
}

// "Sun, 06 Dec 2026 13:05 +0900" laid out with zero bytes in the gaps, as the main unit does.
inline Bytes dateBytes(std::string_view wday, std::string_view day, std::string_view mon,
                       std::string_view year, std::string_view time) {
    Bytes b(32, 0);
    put(b, 0, wday);
    b[3] = ',';
    put(b, 5, day);
    put(b, 8, mon);
    put(b, 12, year);
    put(b, 17, time);
    put(b, 23, "+0900");
    return b;
}

struct RecordValues {
    std::uint8_t flags = 0, played = 0, state = 0, protect = 0;
    std::u16string boxNumber{}, boxName{}, callerNumber{}, callerName{}, date{}, length{}, title{}, memo{},
        path{};
};

inline void putUtf16(Bytes& b, std::size_t at, std::u16string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        b[at + 2 * i] = static_cast<std::uint8_t>(s[i] & 0xFF);
        b[at + 2 * i + 1] = static_cast<std::uint8_t>(s[i] >> 8);
    }
}

inline Bytes recordBytes(const RecordValues& r) {
    Bytes b(990, 0);
    b[0] = r.flags;
    b[1] = r.played;
    b[2] = r.state;
    b[3] = r.protect;
    putUtf16(b, 4, r.boxNumber);
    putUtf16(b, 14, r.boxName);
    putUtf16(b, 36, r.callerNumber);
    putUtf16(b, 102, r.callerName);
    putUtf16(b, 168, r.date);
    putUtf16(b, 208, r.length);
    putUtf16(b, 226, r.title);
    putUtf16(b, 308, r.memo);
    putUtf16(b, 470, r.path);
    return b;
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

// Local time as the clock would give it (weekday 0 = Sunday).
inline std::tm localTime(int year, int month, int day, int hour, int minute, int weekday) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_wday = weekday;
    return t;
}

// A fresh folder per test, removed afterwards.
class TempFolderTest : public ::testing::Test {
protected:
    explicit TempFolderTest(voxmg::test::TempFolder::Storage storage = voxmg::test::TempFolder::Storage::Disk)
        : m_folder(storage) {}

    std::string path(std::string_view rel) const { return m_folder.file(rel); }
    std::string mkdir(std::string_view rel) const { return m_folder.folder(rel); }

    voxmg::test::TempFolder m_folder;
};

// A valid listed box message: 990-byte record, header, some frames.
inline Bytes boxMessage(const RecordValues& r = {.length = u"00:00:05"}, const HeaderValues& h = {},
                        std::size_t frames = 20) {
    return concat({recordBytes(r), headerBytes(h), Bytes(frames, 0x5A)});
}

}  // namespace store_test
