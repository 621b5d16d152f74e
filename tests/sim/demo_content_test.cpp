#include <gtest/gtest.h>

extern "C" {
#include <bcg729/decoder.h>
}

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "core/base/text.h"
#include "sim/simulator.h"
#include "sim_fixture.h"

namespace voxmg::sim::test {
namespace {

namespace fs = std::filesystem;

std::uint32_t bigEndian(const std::string& bytes, std::size_t offset, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

std::string zeroEnded(const std::string& bytes, std::size_t offset, std::size_t width) {
    std::string field = bytes.substr(offset, width);
    return field.substr(0, field.find('\0'));
}

// Root-mean-square level of the decoded voice, to tell speech from silence or noise-free zeros.
double decodedLevel(std::string_view frames) {
    bcg729DecoderChannelContextStruct* decoder = initBcg729DecoderChannel();
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t at = 0; at + 10 <= frames.size(); at += 10) {
        std::int16_t pcm[80];
        bcg729Decoder(decoder, reinterpret_cast<const std::uint8_t*>(frames.data() + at), 10, 0, 0, 0, pcm);
        for (std::int16_t sample : pcm) {
            sum += static_cast<double>(sample) * sample;
            ++count;
        }
    }
    closeBcg729DecoderChannel(decoder);
    return count == 0 ? 0 : std::sqrt(sum / static_cast<double>(count));
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "YYYYMMDDhhmm_WWW_BBBB_NNNNN.vmdat" or ".vminf".
bool hasBoxMessageShape(const std::string& name) {
    static const std::set<std::string> weekdays{"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    return name.size() == 33 && allDigits(name.substr(0, 12)) && name[12] == '_' &&
           weekdays.contains(name.substr(13, 3)) && name[16] == '_' && name[21] == '_' &&
           allDigits(name.substr(22, 5)) && (name.substr(27) == ".vmdat" || name.substr(27) == ".vminf");
}

class DemoContentTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_root = new TempFolder;
        ASSERT_TRUE(writeDemoContent(s_root->path()));
    }
    static void TearDownTestSuite() {
        delete s_root;
        s_root = nullptr;
    }
    static std::vector<fs::path> boxes(const std::string& kind) {
        std::vector<fs::path> result;
        for (const auto& entry : fs::directory_iterator(s_root->file(kind))) {
            result.push_back(entry.path());
        }
        return result;
    }
    static TempFolder* s_root;
};

TempFolder* DemoContentTest::s_root = nullptr;

TEST_F(DemoContentTest, HasAFewAnsweringBoxesAndADozenExtensionBoxes) {
    EXPECT_GE(boxes("rusuroku").size(), 2u);
    EXPECT_LE(boxes("rusuroku").size(), 5u);
    EXPECT_EQ(boxes("naisen").size(), 12u);
    EXPECT_TRUE(fs::is_directory(s_root->file("outou")));
}

TEST_F(DemoContentTest, BoxMessagesAreHeaderedPairsNamedForTheirBox) {
    std::size_t messages = 0;
    std::set<int> statusBits;
    for (const std::string kind : {"rusuroku", "naisen"}) {
        for (const auto& box : boxes(kind)) {
            for (const auto& entry : fs::directory_iterator(box)) {
                std::string name = entry.path().filename().string();
                ASSERT_TRUE(hasBoxMessageShape(name)) << name;
                bool voiceFile = name.ends_with(".vmdat");
                // The box code in the name reads back as the box folder's name: a leading "R"
                // dropped, "_" padding trimmed.
                std::string code = name.substr(17, 4);
                if (code.front() == 'R') {
                    code.erase(0, 1);
                }
                code.erase(code.find_last_not_of('_') + 1);
                EXPECT_EQ(code, box.filename().string()) << name;

                std::string bytes = readFile(entry.path().string());
                ASSERT_GE(bytes.size(), 256u);
                EXPECT_EQ(bytes.substr(0, 16), "Zu-QX Voice-data");
                EXPECT_EQ(zeroEnded(bytes, 138, 4), box.filename().string());
                std::string partner = name.substr(0, 28) + (voiceFile ? "vminf" : "vmdat");
                EXPECT_TRUE(fs::exists(box / partner)) << name;
                if (!voiceFile) {
                    EXPECT_EQ(bytes.size(), 256u);
                    continue;
                }
                ++messages;
                std::size_t voice = bytes.size() - 256;
                EXPECT_EQ(voice % 10, 0u);
                EXPECT_EQ(bigEndian(bytes, 130, 4), voice / 100) << name;
                EXPECT_EQ(readFile((box / partner).string()), bytes.substr(0, 256));
                statusBits.insert(static_cast<unsigned char>(bytes[129]));
                // The date text begins with the weekday the name carries.
                std::string weekday = name.substr(13, 3);
                EXPECT_EQ(bytes.substr(32, 3), weekday.substr(0, 1) + char(std::tolower(weekday[1])) +
                                                   char(std::tolower(weekday[2])));
                EXPECT_EQ(bytes.substr(55, 5), "+0900");
            }
        }
    }
    EXPECT_GE(messages, 15u);
    // Played, unplayed and protected messages are all there.
    EXPECT_TRUE(statusBits.contains(0) || statusBits.contains(2));
    EXPECT_TRUE(statusBits.contains(1) || statusBits.contains(3));
    EXPECT_TRUE(statusBits.contains(2) || statusBits.contains(3));
}

TEST_F(DemoContentTest, CallerNamesAreShiftJis) {
    bool sawKanji = false;
    for (const auto& entry : fs::recursive_directory_iterator(s_root->file("rusuroku"))) {
        if (entry.path().extension() != ".vminf") {
            continue;
        }
        std::string name = zeroEnded(readFile(entry.path().string()), 64, 32);
        // The main unit's full-width space, 0x80 0xF0, reads as Shift_JIS 0x81 0x40.
        for (std::size_t at = name.find("\x80\xF0"); at != std::string::npos;
             at = name.find("\x80\xF0", at)) {
            name.replace(at, 2, "\x81\x40");
        }
        std::string utf8 = text::utf8FromCp932(name);
        EXPECT_EQ(utf8.find("\xEF\xBF\xBD"), std::string::npos) << "undecodable caller name";
        sawKanji = sawKanji || utf8.find("山田") != std::string::npos;
    }
    EXPECT_TRUE(sawKanji);
}

TEST_F(DemoContentTest, ResponseMessagesAreNumberedConsistently) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(s_root->file("outou"))) {
        std::string name = entry.path().filename().string();
        ASSERT_EQ(name.size(), 32u) << name;
        EXPECT_EQ(name.substr(17, 1), "A");
        EXPECT_EQ(name.substr(21, 5), "_0000");
        std::string bytes = readFile(entry.path().string());
        int number = std::stoi(name.substr(18, 3));
        EXPECT_EQ(bigEndian(bytes, 134, 2), static_cast<std::uint32_t>(number));
        EXPECT_EQ(zeroEnded(bytes, 138, 4), name.substr(18, 3));
        EXPECT_FALSE(zeroEnded(bytes, 64, 32).empty()) << "a response message has a name";
        count += entry.path().extension() == ".vmdat";
    }
    EXPECT_GE(count, 2u);
}

TEST_F(DemoContentTest, VoiceDecodesToSpeech) {
    for (const auto& entry : fs::recursive_directory_iterator(s_root->path())) {
        if (entry.path().extension() == ".vmdat") {
            std::string bytes = readFile(entry.path().string());
            EXPECT_GT(decodedLevel(std::string_view(bytes).substr(256)), 300.0) << entry.path();
        }
    }
}

}  // namespace
}  // namespace voxmg::sim::test
