#pragma once

// The download engines' fixture: a main unit simulator in-process over a folder tree, a box
// folder on the PC, and a client logged in to the simulator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "core/audio/decoding_engine.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/device/bulk_download.h"
#include "core/device/ftp_mng.h"
#include "core/settings/settings.h"
#include "core/store/file_mng.h"
#include "sim/g729.h"
#include "sim/main_unit_header.h"
#include "sim/simulator.h"
#include "support/local_time.h"
#include "support/temp_folder.h"

namespace voxmg::test {

namespace fs = std::filesystem;

// Records what a run shows and lets a test act on progress steps.
class RecordingUi : public DownloadUi, public ProgressSink {
public:
    ProgressSink* openProgress() override {
        ++opened;
        return this;
    }
    void closeProgress() override { ++closed; }
    void show(const UserMessage& m) override { messages.push_back(m); }
    void loggedOut() override { ++logouts; }
    void setPosition(int position) override {
        if (onPosition) {
            onPosition(position);
        }
    }
    void nextFile() override { ++filesDone; }

    std::vector<std::u16string> texts() const {
        std::vector<std::u16string> out;
        for (const auto& m : messages) {
            out.push_back(m.text);
        }
        return out;
    }

    int opened = 0;
    int closed = 0;
    int logouts = 0;
    int filesDone = 0;
    std::vector<UserMessage> messages;
    std::function<void(int)> onPosition;
};

// One second of a 440 Hz tone as G.729A frames.
inline const std::string& voiceFrames() {
    static const std::string frames = [] {
        std::vector<std::int16_t> pcm(8000);
        for (std::size_t i = 0; i < pcm.size(); ++i) {
            pcm[i] =
                static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440.0 * static_cast<double>(i) / 8000));
        }
        return sim::encodeG729a(pcm);
    }();
    return frames;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        boxFolder = paths::join(local.path(), "本社");
        for (const char* box : {"rusuroku/101", "naisen/201", "outou"}) {
            fs::create_directories(paths::join(boxFolder, box));
            fs::create_directories(remote.file(box));
        }
        settingsPath = local.file("VOXMG.ini");
    }

    // A message pair on the main unit; returns its base name.
    std::string putMessage(const std::string& kind, const std::string& box, const std::tm& when, int serial,
                           const std::string& caller = "\x8e\x52\x93\x63", bool protect = false) {
        sim::HeaderFields h;
        h.protect = protect;
        h.recorded = when;
        h.callerName = caller;
        h.callerNumber = "0312345678";
        h.lengthTenths = 10;
        h.boxNumber = box;
        char serialText[8];
        std::snprintf(serialText, sizeof serialText, "%05d", serial);
        std::string code = std::string(4 - std::min<std::size_t>(4, box.size()), '0') + box;
        std::string base = sim::messageFileName(when, code, serialText, "");
        auto header = sim::encodeHeader(h);
        std::string head(header.begin(), header.end());
        std::string dir = remote.file(kind + "/" + box);
        writeFile(dir + "/" + base + ".vmdat", head + voiceFrames());
        writeFile(dir + "/" + base + ".vminf", head);
        return base;
    }

    std::string putResponse(const std::tm& when, int number) {
        sim::HeaderFields h;
        h.recorded = when;
        h.callerName = "greeting";
        h.responseNumber = static_cast<std::uint16_t>(number);
        h.lengthTenths = 10;
        char code[8];
        std::snprintf(code, sizeof code, "A%03d", number);
        std::string base = sim::messageFileName(when, code, "0000", "");
        auto header = sim::encodeHeader(h);
        std::string head(header.begin(), header.end());
        writeFile(remote.file("outou/" + base + ".vmdat"), head + voiceFrames());
        writeFile(remote.file("outou/" + base + ".vminf"), head);
        return base;
    }

    void start(sim::Faults faults = {}) {
        sim::Config config;
        config.root = remote.path();
        config.faults = std::move(faults);
        simulator = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(simulator->start());
        ftp = std::make_unique<CFtpMng>(FtpLogin{u"127.0.0.1", u"hozen", u"hozen", simulator->port()}, flags,
                                        Pump{}, FtpTimeouts{}.dividedBy(20));
        ftp->setDownloadEnv(makeDownloadEnv(settings, settingsPath, decoder, flags, Pump{}, local.path()));
        ASSERT_EQ(ftp->connectAndLogin(), LoginResult::LoggedIn);
    }

    int retrievals() const {
        int n = 0;
        for (const auto& line : simulator->commandLog()) {
            n += line.rfind("RETR", 0) == 0 ? 1 : 0;
        }
        return n;
    }

    BulkDownload bulk() { return BulkDownload(*ftp, flags, ui, boxFolder, settingsPath, Pump{}); }
    std::string localBox(const std::string& kindBox) const { return paths::join(boxFolder, kindBox); }
    bool present(const std::string& kindBox, const std::string& name) const {
        return fs::exists(paths::join(localBox(kindBox), name));
    }

    TempFolder remote;
    TempFolder local;
    std::string boxFolder;
    std::string settingsPath;
    Settings settings;
    Flags flags;
    audio::DecodingEngine decoder;
    RecordingUi ui;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<CFtpMng> ftp;
};

// Selects a box for automatic deletion in the settings file.
inline void selectAutoDelete(const std::string& settingsPath, std::u16string_view kind,
                             std::u16string_view box) {
    ProfileFile ini = ProfileFile::load(settingsPath);
    writeAutoDelete(ini, kind, box, true);
    ASSERT_TRUE(ini.save());
}

}  // namespace voxmg::test
