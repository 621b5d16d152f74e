#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/base/text.h"
#include "sim/g729.h"
#include "sim/main_unit_header.h"
#include "sim/simulator.h"
#include "sim/speech_sample.h"

namespace voxmg::sim {

namespace fs = std::filesystem;

namespace {

struct Caller {
    const char* name;  // UTF-8
    const char* number;
};

// Callers as a main unit shows them: kanji, katakana, half-width kana, a company, nobody.
constexpr std::array<Caller, 7> kCallers{{
    {"山田　太郎", "0312345678"},
    {"株式会社ミライ商事", "0451234567"},
    {"佐藤", "09012345678"},
    {"ｽｽﾞｷ ﾊﾅｺ", "0120987654"},
    {"", ""},
    {"高橋　一郎（営業部）", "0662223333"},
    {"", "08055556666"},
}};

struct ResponseMessage {
    int number;
    const char* name;
};

constexpr std::array<ResponseMessage, 3> kResponses{{
    {1, "営業時間のご案内"},
    {2, "時間外のご案内"},
    {10, "年末年始休業のお知らせ"},
}};

// Messages per extension box 201..212; some boxes are empty on purpose.
constexpr std::array<int, 12> kExtensionMessages{2, 1, 0, 3, 1, 0, 2, 1, 1, 0, 2, 1};
constexpr std::array<int, 3> kAnsweringMessages{3, 2, 0};

// The main unit writes the ideographic space of a caller name as the byte pair 0x80 0xF0
// instead of Shift_JIS 0x81 0x40; readers turn it back.
std::string mainUnitCp932(const char* utf8) {
    std::string bytes = text::cp932FromUtf8(utf8);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        if (lead && i + 1 < bytes.size()) {
            if (byte == 0x81 && bytes[i + 1] == 0x40) {
                bytes[i] = static_cast<char>(0x80);
                bytes[i + 1] = static_cast<char>(0xF0);
            }
            ++i;
        }
    }
    return bytes;
}

// The main unit's clock runs on Japan time.
constexpr std::time_t kUnitZoneOffset = 9 * 3600;

// Recording instants in a fixed week of December 2024, so the demo tree is the same on every
// run: the first at 09:00 Japan time on Monday 2 December, then one every 53 minutes.
std::time_t recordingInstant(int index) {
    constexpr std::time_t kFirst = 1733097600;  // 2024-12-02 00:00 UTC = 09:00 Japan time
    return kFirst + static_cast<std::time_t>(index) * 53 * 60;
}

// The main unit's local time of an instant, as it writes it into names and headers.
std::tm unitLocalTime(std::time_t at) {
    std::time_t shifted = at + kUnitZoneOffset;
    std::tm tm{};
    gmtime_r(&shifted, &tm);
    return tm;
}

// Files carry their recording time, so the dates of a detailed listing agree with the names.
void stamp(const fs::path& folder, const std::string& baseName, std::time_t at) {
    auto when = std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(at));
    std::error_code ec;
    for (const char* extension : {".vmdat", ".vminf"}) {
        fs::last_write_time(folder / (baseName + extension), when, ec);
    }
}

std::string voiceSlice(const std::string& frames, int index) {
    std::size_t total = frames.size() / kFrameBytes;
    std::size_t first = static_cast<std::size_t>(index * 37) % total;
    std::size_t count = 150 + static_cast<std::size_t>(index * 53) % 450;  // 1.5 s to 6 s
    std::string slice;
    for (std::size_t i = 0; i < count; ++i) {
        slice.append(frames, (first + i) % total * kFrameBytes, kFrameBytes);
    }
    return slice;
}

bool writeFile(const fs::path& path, const HeaderBytes& header, const std::string& voice) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    out.write(voice.data(), static_cast<std::streamsize>(voice.size()));
    return static_cast<bool>(out.flush());
}

// Writes one message as the main unit keeps it: the header alone as ".vminf", the header
// and the voice as ".vmdat".
bool writeMessage(const fs::path& folder, const std::string& baseName, const HeaderBytes& header,
                  const std::string& voice) {
    return writeFile(folder / (baseName + ".vmdat"), header, voice) &&
           writeFile(folder / (baseName + ".vminf"), header, {});
}

bool writeBox(const fs::path& folder, const std::string& boxCode, const std::string& boxNumber, int messages,
              int& index, const std::string& frames) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        return false;
    }
    for (int m = 0; m < messages; ++m, ++index) {
        const Caller& caller = kCallers[static_cast<std::size_t>(index) % kCallers.size()];
        std::string voice = voiceSlice(frames, index);
        HeaderFields fields;
        std::time_t at = recordingInstant(index);
        fields.recorded = unitLocalTime(at);
        fields.callerName = mainUnitCp932(caller.name);
        fields.callerNumber = caller.number;
        fields.played = index % 2 == 0;
        fields.protect = index % 5 == 2;
        fields.lengthTenths = static_cast<std::uint32_t>(voice.size() / 100);
        fields.boxNumber = boxNumber;
        std::array<char, 24> serial{};
        std::snprintf(serial.data(), serial.size(), "%05d", m + 1);
        std::string base = messageFileName(fields.recorded, boxCode, serial.data(), "");
        if (!writeMessage(folder, base, encodeHeader(fields), voice)) {
            return false;
        }
        stamp(folder, base, at);
    }
    return true;
}

}  // namespace

bool writeDemoContent(const std::string& root) {
    auto samples = readPcm8kMono(speechSampleWav());
    if (!samples || samples->empty()) {
        return false;
    }
    std::string frames = encodeG729a(*samples);
    if (frames.empty()) {
        return false;
    }
    fs::path top(root);
    int index = 0;
    std::array<char, 24> number{};
    // Answering-machine boxes carry "R" before their number in file names; extension boxes
    // pad theirs with "_".
    for (std::size_t b = 0; b < kAnsweringMessages.size(); ++b) {
        std::snprintf(number.data(), number.size(), "%03zu", b + 1);
        if (!writeBox(top / "rusuroku" / number.data(), std::string("R") + number.data(), number.data(),
                      kAnsweringMessages[b], index, frames)) {
            return false;
        }
    }
    for (std::size_t b = 0; b < kExtensionMessages.size(); ++b) {
        std::snprintf(number.data(), number.size(), "%zu", 201 + b);
        if (!writeBox(top / "naisen" / number.data(), std::string(number.data()) + "_", number.data(),
                      kExtensionMessages[b], index, frames)) {
            return false;
        }
    }
    fs::path outou = top / "outou";
    std::error_code ec;
    fs::create_directories(outou, ec);
    if (ec) {
        return false;
    }
    for (const auto& response : kResponses) {
        std::string voice = voiceSlice(frames, index);
        std::time_t at = recordingInstant(index++);
        HeaderFields fields;
        fields.recorded = unitLocalTime(at);
        fields.callerName = text::cp932FromUtf8(response.name);
        fields.lengthTenths = static_cast<std::uint32_t>(voice.size() / 100);
        fields.responseNumber = static_cast<std::uint16_t>(response.number);
        std::snprintf(number.data(), number.size(), "%03d", response.number);
        fields.boxNumber = number.data();
        std::string base = messageFileName(fields.recorded, std::string("A") + number.data(), "0000", "");
        if (!writeMessage(outou, base, encodeHeader(fields), voice)) {
            return false;
        }
        stamp(outou, base, at);
    }
    return true;
}

}  // namespace voxmg::sim
