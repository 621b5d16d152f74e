#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

// Message files for the list tests, laid out by hand: the 990-byte record (flags, played,
// state, protect at 0..3, UTF-16LE texts at their offsets), then the 256-byte main unit
// header ("Zu-QX Voice-data" at 0, message number big-endian at 134, box number at 138),
// then a few frame bytes.
namespace list_test {

using Bytes = std::vector<std::uint8_t>;

struct Message {
    std::uint8_t flags = 0;
    std::uint8_t played = 0;
    std::uint8_t state = 2;
    std::uint8_t protect = 0;
    std::u16string boxNumber{};
    std::u16string callerNumber{};
    std::u16string callerName{};
    std::u16string date = u"2026/12/06 13:05";
    std::u16string length = u"00:00:05";
    std::u16string title{};
    std::u16string memo{};
};

inline void putUtf16(Bytes& b, std::size_t at, std::u16string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        b[at + 2 * i] = static_cast<std::uint8_t>(s[i] & 0xFF);
        b[at + 2 * i + 1] = static_cast<std::uint8_t>(s[i] >> 8);
    }
}

inline Bytes messageBytes(const Message& m, int responseNumber = 0) {
    Bytes b(990 + 256 + 20, 0);
    b[0] = m.flags;
    b[1] = m.played;
    b[2] = m.state;
    b[3] = m.protect;
    putUtf16(b, 4, m.boxNumber);
    putUtf16(b, 36, m.callerNumber);
    putUtf16(b, 102, m.callerName);
    putUtf16(b, 168, m.date);
    putUtf16(b, 208, m.length);
    putUtf16(b, 226, m.title);
    putUtf16(b, 308, m.memo);
    const std::string_view model = "Zu-QX Voice-data";
    std::copy(model.begin(), model.end(), b.begin() + 990);
    if (responseNumber > 0) {
        b[990 + 134] = static_cast<std::uint8_t>(responseNumber >> 8);
        b[990 + 135] = static_cast<std::uint8_t>(responseNumber & 0xFF);
        char digits[12];
        std::snprintf(digits, sizeof digits, "%03d", responseNumber);
        std::copy(digits, digits + 3, b.begin() + 990 + 138);
    }
    return b;
}

inline void writeBytes(const std::string& path, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes readBytes(const std::string& path, std::size_t count) {
    Bytes b(count, 0);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(count));
    return b;
}

// "YYYYMMDDhhmm_WWW_BBBB_NNNNN" + extension, for box `box` (4 digits) and message `n`.
inline std::string boxMessageName(std::string_view box, int n, int minute = 0, bool voice = true) {
    char name[64];
    std::snprintf(name, sizeof name, "2026120613%02d_SUN_%.4s_%05d%s", minute % 60, std::string(box).c_str(),
                  n, voice ? ".vmdat" : ".vminf");
    return name;
}

// A response message file name for slot `number`.
inline std::string responseName(int number) {
    char name[64];
    std::snprintf(name, sizeof name, "202612061305_SUN_A%03d_0000.vmdat", number);
    return name;
}

// Writes a box message into boxFolder/kind/box.
inline std::string writeBoxMessage(const std::string& boxFolder, std::string_view kind, std::string_view box,
                                   int n, Message m = {}, int minute = 0, bool voice = true) {
    const std::string path = boxFolder + "/" + std::string(kind) + "/" + std::string(box) + "/" +
                             boxMessageName(box, n, minute, voice);
    if (!voice) {
        m.state = 0;
    }
    writeBytes(path, messageBytes(m));
    return path;
}

inline std::string writeResponse(const std::string& boxFolder, int number, Message m = {}) {
    char digits[12];
    std::snprintf(digits, sizeof digits, "%03d", number);
    m.boxNumber = std::u16string(digits, digits + 3);
    const std::string path = boxFolder + "/outou/" + responseName(number);
    writeBytes(path, messageBytes(m, number));
    return path;
}

}  // namespace list_test
