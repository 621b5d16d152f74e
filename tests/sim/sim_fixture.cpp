#include "sim_fixture.h"

namespace voxmg::sim::test {

std::string minimalHeader(bool protect) {
    std::string header(256, '\0');
    header.replace(0, 16, "Zu-QX Voice-data");
    header[129] = protect ? '\x02' : '\x01';
    return header;
}

void SimulatorTest::SetUp() {
    auto message = [&](const std::string& folder, const std::string& name, bool protect, std::size_t voice) {
        writeFile(m_root.file(folder + "/" + name + ".vmdat"), minimalHeader(protect) + patternBytes(voice));
        writeFile(m_root.file(folder + "/" + name + ".vminf"), minimalHeader(protect));
    };
    message("rusuroku/001", kMessage1, false, 3000);
    message("rusuroku/001", kProtected, true, 1500);
    message("rusuroku/001", kMessage3, false, 123456);
    m_root.folder("rusuroku/002");
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
