// The client against our main unit simulator: the main unit's own ways (wildcard and "-l"
// listings, 550 for an empty directory, directory names marked in name listings) and its
// injected faults.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/base/text.h"
#include "core/device/ftp_mng.h"
#include "sim/simulator.h"
#include "support/temp_folder.h"

namespace voxmg {
namespace {

constexpr const char* kVoice = "200001011200_001_0001_00001.vmdat";
constexpr const char* kInfo = "200001011200_001_0001_00001.vminf";

class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(remote.file("rusuroku/01"));
        std::filesystem::create_directories(remote.file("rusuroku/02"));
        std::filesystem::create_directories(remote.file("naisen/201"));
        std::filesystem::create_directories(remote.file("outou"));
        test::writeFile(remote.file(std::string("rusuroku/01/") + kVoice), test::patternBytes(6000));
        test::writeFile(remote.file(std::string("rusuroku/01/") + kInfo), test::patternBytes(300));
    }
    void startSimulator(sim::Faults faults = {}, std::string model = "Zu-QX") {
        sim::Config config;
        config.root = remote.path();
        config.model = std::move(model);
        config.faults = std::move(faults);
        simulator = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(simulator->start());
        client = std::make_unique<CFtpMng>(FtpLogin{u"127.0.0.1", u"hozen", u"hozen", simulator->port()},
                                           flags, Pump{}, FtpTimeouts{}.dividedBy(20));
    }
    void startLoggedIn(sim::Faults faults = {}) {
        startSimulator(std::move(faults));
        ASSERT_EQ(client->connectAndLogin(), LoginResult::LoggedIn);
        client->connection()->localFolder = local.path();
    }

    test::TempFolder remote;
    test::TempFolder local;
    Flags flags;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<CFtpMng> client;
};

TEST_F(SimulatorTest, LoginResults) {
    startSimulator();
    EXPECT_EQ(client->connectAndLogin(), LoginResult::LoggedIn);
    client->setLogin({u"127.0.0.1", u"hozen", u"wrong", simulator->port()});
    EXPECT_EQ(client->connectAndLogin(), LoginResult::LoginRefused);

    sim::Faults silent;
    silent.noGreeting = true;
    startSimulator(silent);
    EXPECT_EQ(client->connectAndLogin(), LoginResult::ConnectFailed);

    startSimulator({}, "Zu-QY");
    EXPECT_EQ(client->connectAndLogin(), LoginResult::UnsupportedModel);

    sim::Faults multiLine;
    multiLine.multiLineGreeting = true;
    startSimulator(multiLine);
    EXPECT_EQ(client->connectAndLogin(), LoginResult::LoggedIn);
}

TEST_F(SimulatorTest, Listings) {
    startLoggedIn();
    BoxListing boxes;
    ASSERT_EQ(client->boxListing(boxes), ListingResult::Listed);
    EXPECT_NE(boxes.root.find(u"rusuroku"), std::u16string::npos);
    EXPECT_NE(boxes.answering.find(u"01"), std::u16string::npos);
    EXPECT_NE(boxes.answering.find(u"02"), std::u16string::npos);
    EXPECT_NE(boxes.extension.find(u"201"), std::u16string::npos);

    std::u16string names;
    ASSERT_EQ(client->nameListing("/rusuroku/01", ListKind::RecordingInfo, names), ListingResult::Listed);
    EXPECT_EQ(names, text::u16(std::string(kInfo) + "\r\n"));
    EXPECT_EQ(client->nameListing("/rusuroku/02", ListKind::All, names),
              ListingResult::Listed);  // empty box: 550 to NLST
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(client->nameListing("/rusuroku/99", ListKind::All, names), ListingResult::NoDirectory);

    // The download engines read a detailed line by position: the size in the nine characters
    // from 24 and the name as the last 33 characters.
    DetailedListing listing;
    ASSERT_EQ(client->detailedListing("/rusuroku/01", ListKind::VoiceData, listing), ListingResult::Listed);
    std::string line = text::u8(listing.text);
    ASSERT_TRUE(line.ends_with("\r\n"));
    line.resize(line.size() - 2);
    ASSERT_GE(line.size(), 33u + 33u);
    EXPECT_EQ(std::stoul(line.substr(24, 9)), 6000u);
    EXPECT_EQ(line.substr(line.size() - 33), kVoice);
    EXPECT_EQ(listing.byteLength, line.size() + 2);
}

TEST_F(SimulatorTest, RetrieveAndItsFaults) {
    sim::Faults faults;
    faults.vanishOnRetrieve = {kInfo};
    startLoggedIn(faults);
    ASSERT_EQ(client->commandExchange("CWD /rusuroku/01\r\n"), 0);
    ASSERT_EQ(client->retrieve(kVoice, kVoice, true, false), TransferResult::Done);
    EXPECT_TRUE(test::readFile(local.file(kVoice)) == test::patternBytes(6000));
    EXPECT_EQ(client->connection()->chunkCount, 6);
    EXPECT_EQ(client->retrieve(kInfo, kInfo, true, false), TransferResult::NoSuchFile);

    faults = {};
    faults.dropDataAfterBytes = 2500;
    simulator->setFaults(faults);
    EXPECT_EQ(client->retrieve(kVoice, "copy.vmdat", true, false), TransferResult::Failed);
}

TEST_F(SimulatorTest, StoreDeleteAndProbe) {
    startLoggedIn();
    const std::string message = test::patternBytes(5000);
    auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(message.data()), message.size());
    ASSERT_EQ(client->storeResponseMessage("200001010000_001_A001_0000.vmdat", bytes), TransferResult::Done);
    EXPECT_TRUE(test::readFile(remote.file("outou/200001010000_001_A001_0000.vmdat")) == message);

    sim::Faults full;
    full.transferEndCodes["STOR"] = 452;
    simulator->setFaults(full);
    EXPECT_EQ(client->storeResponseMessage("200001010000_002_A002_0000.vmdat", bytes),
              fromCode<TransferResult>(452));
    simulator->setFaults({});

    EXPECT_EQ(client->deleteFile(std::string("/rusuroku/01/") + kInfo), TransferResult::Done);
    EXPECT_EQ(client->deleteFile(std::string("/rusuroku/01/") + kInfo), TransferResult::NoSuchFile);
    EXPECT_TRUE(client->probe());
    simulator->stop();
    EXPECT_FALSE(client->probe());
}

TEST_F(SimulatorTest, CancelledRetrievalAbortsAndLeavesNoFile) {
    test::writeFile(remote.file("rusuroku/01/big.vmdat"), test::patternBytes(2 << 20));
    startLoggedIn();
    client = std::make_unique<CFtpMng>(
        FtpLogin{u"127.0.0.1", u"hozen", u"hozen", simulator->port()}, flags,
        [this, armed = true]() mutable {
            if (armed && client->connection()->chunkCount == 4) {
                flags.cancelAll = 1;
                armed = false;
            }
        },
        FtpTimeouts{}.dividedBy(20));
    ASSERT_EQ(client->connectAndLogin(), LoginResult::LoggedIn);
    client->connection()->localFolder = local.path();
    ASSERT_EQ(client->commandExchange("CWD /rusuroku/01\r\n"), 0);
    EXPECT_EQ(client->retrieve("big.vmdat", "big.vmdat", true, false), TransferResult::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(local.file("big.vmdat")));
    auto log = simulator->commandLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "ABOR"), log.end());

    flags.cancelAll = 0;
    client->drainReplies();
    EXPECT_EQ(client->retrieve(kVoice, kVoice, true, false), TransferResult::Done);
}

}  // namespace
}  // namespace voxmg
