#include "sim_fixture.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace voxmg::sim::test {

namespace fs = std::filesystem;

std::string minimalHeader(bool protect) {
    std::string header(256, '\0');
    header.replace(0, 16, "Zu-QX Voice-data");
    header[129] = protect ? '\x02' : '\x01';
    return header;
}

std::string voiceBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return bytes;
}

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "voxmg-sim-XXXXXX").string();
    m_path = ::mkdtemp(pattern.data()) ? pattern : std::string();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!m_path.empty()) {
        fs::remove_all(m_path, ec);
    }
}

bool TempFolder::exists(const std::string& relative) const {
    return fs::exists(file(relative));
}

std::string TempFolder::read(const std::string& relative) const {
    std::ifstream in(file(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void TempFolder::write(const std::string& relative, const std::string& bytes) const {
    fs::create_directories(fs::path(file(relative)).parent_path());
    std::ofstream(file(relative), std::ios::binary) << bytes;
}

void SimulatorTest::SetUp() {
    ASSERT_FALSE(m_root.path().empty());
    auto message = [&](const std::string& folder, const std::string& name, bool protect, std::size_t voice) {
        m_root.write(folder + "/" + name + ".vmdat", minimalHeader(protect) + voiceBytes(voice));
        m_root.write(folder + "/" + name + ".vminf", minimalHeader(protect));
    };
    message("rusuroku/001", kMessage1, false, 3000);
    message("rusuroku/001", kProtected, true, 1500);
    message("rusuroku/001", kMessage3, false, 123456);
    fs::create_directories(m_root.file("rusuroku/002"));
    message("naisen/201", kExtension, false, 800);
    message("outou", kResponse, false, 2000);
    restart(baseConfig());
}

void SimulatorTest::TearDown() {
    m_simulator.reset();
}

Config SimulatorTest::baseConfig() const {
    Config config;
    config.root = m_root.path();
    return config;
}

void SimulatorTest::restart(Config config) {
    m_simulator.reset();
    m_simulator = std::make_unique<Simulator>(std::move(config));
    ASSERT_TRUE(m_simulator->start());
    ASSERT_NE(m_simulator->port(), 0);
}

std::unique_ptr<RawFtpClient> SimulatorTest::loggedIn() {
    auto client = std::make_unique<RawFtpClient>(m_simulator->port());
    EXPECT_EQ(replyCode(client->login("hozen", "hozen")), 230);
    return client;
}

}  // namespace voxmg::sim::test
