#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "temp_folder.h"

// Message files laid out by hand from the byte tables of the 990-byte record and the main
// unit's 256-byte header, independent of the encoders under test.
namespace voxmg::test {

// The main unit's header: texts are bytes as sent (CP932), numbers big-endian.
struct HeaderValues {
    std::string model = "Zu-QX Voice-data";  // at 0
    Bytes date{};                            // 32 bytes at 32 (shorter: zero-filled)
    std::string name{};                      // at 64, 32 bytes
    std::string number{};                    // at 96, 32 bytes
    std::uint8_t status = 0;                 // at 129: bit 0 played, bit 1 protected
    std::uint32_t length = 0;                // at 130, tenths of a second
    std::uint16_t messageNumber = 0;         // at 134
    std::string boxNumber{};                 // at 138, up to 4 ASCII digits
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

// The record: four bytes, then UTF-16LE texts at their offsets, zero where not given.
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

// A message file: record, header, then `frames` frame bytes; as it comes, one a box folder lists.
inline Bytes boxMessage(const RecordValues& r = {.length = u"00:00:05"}, const HeaderValues& h = {},
                        std::size_t frames = 20) {
    return concat({recordBytes(r), headerBytes(h), Bytes(frames, 0x5A)});
}

// A message as the lists show it. As it comes: a voice message downloaded and not played on
// the main unit, dated and five seconds long.
struct ListedMessage {
    std::uint8_t flags = 0;
    std::uint8_t played = 0;
    std::uint8_t state = 2;
    std::uint8_t protect = 0;
    std::u16string boxNumber{};
    std::u16string boxName{};
    std::u16string callerNumber{};
    std::u16string callerName{};
    std::u16string date = u"2026/12/06 13:05";
    std::u16string length = u"00:00:05";
    std::u16string title{};
    std::u16string memo{};
};

inline RecordValues recordOf(const ListedMessage& m) {
    return {.flags = m.flags,
            .played = m.played,
            .state = m.state,
            .protect = m.protect,
            .boxNumber = m.boxNumber,
            .boxName = m.boxName,
            .callerNumber = m.callerNumber,
            .callerName = m.callerName,
            .date = m.date,
            .length = m.length,
            .title = m.title,
            .memo = m.memo};
}

// "YYYYMMDDhhmm_WWW_BBBB_NNNNN" + extension, for box `box` (4 digits) and message `n`.
inline std::string boxMessageName(std::string_view box, int n, int minute = 0, bool voice = true) {
    char name[64];
    std::snprintf(name, sizeof name, "2026120613%02d_SUN_%.4s_%05d%s", minute % 60, std::string(box).c_str(),
                  n, voice ? ".vmdat" : ".vminf");
    return name;
}

// The response message file name of slot `number`.
inline std::string responseName(int number) {
    char name[64];
    std::snprintf(name, sizeof name, "202612061305_SUN_A%03d_0000.vmdat", number);
    return name;
}

// Writes message `n` into boxFolder/kind/box and returns its path. An info file (not `voice`)
// always has state 0.
inline std::string writeBoxMessage(const std::string& boxFolder, std::string_view kind, std::string_view box,
                                   int n, ListedMessage m = {}, int minute = 0, bool voice = true) {
    const std::string path = boxFolder + "/" + std::string(kind) + "/" + std::string(box) + "/" +
                             boxMessageName(box, n, minute, voice);
    if (!voice) {
        m.state = 0;
    }
    writeFile(path, boxMessage(recordOf(m)));
    return path;
}

// Writes the response message of slot `number` into boxFolder/outou and returns its path; its
// record and header carry the slot number.
inline std::string writeResponse(const std::string& boxFolder, int number, ListedMessage m = {}) {
    char digits[12];
    std::snprintf(digits, sizeof digits, "%03d", number);
    m.boxNumber = std::u16string(digits, digits + 3);
    const std::string path = boxFolder + "/outou/" + responseName(number);
    writeFile(path, boxMessage(recordOf(m),
                               {.messageNumber = static_cast<std::uint16_t>(number), .boxNumber = digits}));
    return path;
}

}  // namespace voxmg::test
