#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "raw_ftp_client.h"
#include "sim/simulator.h"
#include "support/temp_folder.h"

namespace voxmg::sim::test {

using voxmg::test::patternBytes;
using voxmg::test::readFile;
using voxmg::test::TempFolder;
using voxmg::test::writeFile;

// Names of the hand-made tree every simulator test serves.
inline const std::string kMessage1 = "202412020900_MON_R001_00001";
inline const std::string kProtected = "202412020953_MON_R001_00002";
inline const std::string kMessage3 = "202412021046_MON_R001_00003";
inline const std::string kExtension = "202412031406_TUE_201__00001";
inline const std::string kResponse = "202412030240_TUE_A001_0000";

// 256-byte header with only the fields the simulator looks at: the model text and the
// protected bit at offset 129.
std::string minimalHeader(bool protect);

// Serves this tree on an ephemeral port:
//   rusuroku/001: kMessage1, kProtected (protected), kMessage3, each .vmdat + .vminf
//   rusuroku/002: empty
//   naisen/201:   kExtension
//   outou:        kResponse
class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Restarts the simulator with a changed configuration.
    void restart(Config config);
    Config baseConfig() const;
    std::unique_ptr<RawFtpClient> loggedIn();

    TempFolder m_root;
    std::unique_ptr<Simulator> m_simulator;
};

}  // namespace voxmg::sim::test
