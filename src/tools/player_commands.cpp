// voxmgctl listen FILE [--gain DB] [--columns N] [--mark]

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/audio/voice_pcm.h"
#include "core/base/text.h"
#include "core/lists/play_operation.h"
#include "core/lists/player_session.h"
#include "core/store/file_mng.h"
#include "tools/command.h"

namespace voxmg::tools {
namespace {

using Json = nlohmann::ordered_json;

constexpr char kListenUsage[] = "listen FILE [--gain DB] [--columns N] [--mark]";

// Takes every sample as fast as it is decoded: the whole message, as if listened to the end.
class DrainSink : public player::AudioSink {
public:
    bool start(player::SampleSource& source) override {
        m_source = &source;
        return true;
    }
    void pause() override {}
    void resume() override {}
    void stop() override { m_source = nullptr; }
    std::size_t drain() {
        std::vector<std::int16_t> buffer(8000);
        std::size_t n = 0;
        return m_source != nullptr && (n = m_source->read(buffer)) > 0 ? n : 0;
    }
    bool started() const { return m_source != nullptr; }

private:
    player::SampleSource* m_source = nullptr;
};

const char* stateName(player::PaneState state) {
    switch (state) {
        case player::PaneState::Empty:
            return "empty";
        case player::PaneState::InfoOnly:
            return "info-only";
        case player::PaneState::Missing:
            return "missing";
        case player::PaneState::Unreadable:
            return "unreadable";
        case player::PaneState::Ready:
            return "ready";
        case player::PaneState::Playing:
            return "playing";
        case player::PaneState::Paused:
            return "paused";
        case player::PaneState::Ended:
            return "ended";
        case player::PaneState::NoDevice:
            return "no-device";
    }
    return "";
}

const std::vector<std::string> kValued = {"--gain", "--columns"};

// The built-in player's work on one message: decoded in memory (no WAV file), its length and
// waveform peaks; with --mark it is listened to the end and marked played on the PC as the
// pane marks it.
int listen(const Args& args) {
    const std::vector<std::string> files = positional(args, kValued);
    const std::optional<int> gain = gainOption(args);
    bool columnsGiven = false;
    const std::string columnsText = optionValue(args, "--columns", &columnsGiven);
    std::size_t columns = 100;
    if (columnsGiven) {
        columns = static_cast<std::size_t>(std::clamp(std::atoi(columnsText.c_str()), 0, 100000));
    }
    if (files.size() != 1 || !gain || (columnsGiven && columns == 0)) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", kListenUsage);
        return 2;
    }
    const bool mark = hasFlag(args, "--mark");
    std::atomic<int> noCancel{0};
    const CFileMng store(noCancel);
    DrainSink sink;
    player::PlayerSession session(
        sink, [&](const std::string& path) { return mark && markPlayedOnPc(store, path); });
    session.setGain(*gain);
    session.select({files.front(), true});

    Json out;
    const bool decoded =
        session.state() == player::PaneState::Ready && session.waitForWaveform(std::chrono::minutes(5));
    if (decoded && mark) {
        session.play();
        while (sink.started() && sink.drain() > 0) {
        }
        session.poll();
    }
    session.poll();
    out["state"] = stateName(session.state());
    const std::u16string text = player::stateText(session.state());
    if (!text.empty()) {
        out["text"] = text::utf8FromUtf16(text);
    }
    out["length_ms"] = session.length().count();
    if (decoded) {
        // The pane's peaks folded to the columns asked for.
        const Json folded = audio::foldPeaks(session.waveform(), columns);
        out["peaks"] = folded;
    }
    out["marked"] = session.marked();
    // Asked to mark it and the record could not be written: a failure, said as one.
    const bool markFailed = decoded && mark && !session.marked();
    if (markFailed) {
        out["text"] = "書き込みできません: " + files.front();
        std::fprintf(stderr, "voxmgctl: 書き込みできません: %s\n", files.front().c_str());
    }
    std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    return decoded && !markFailed ? 0 : 1;
}

const CommandRegistrar listenCommand{
    Command{"listen", std::string(kListenUsage) + "   decode in memory as the player pane does (JSON)",
            listen, kValued, Writes::MarkedMessages}};

}  // namespace
}  // namespace voxmg::tools
