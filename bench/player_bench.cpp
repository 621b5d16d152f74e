// The built-in player against a bare bcg729 decode of the same frames, measured in the same run:
// - selecting a 60 s message until its first sample reaches the audio sink (the sink is handed
//   samples after the first block, not after the whole decode);
// - the waveform of a 600 s message (the whole in-memory decode plus the peaks).
// Prints ratios; never asserts a time.

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_codec.h"
#include "bench_run.h"
#include "core/lists/player_session.h"

namespace {

constexpr int kRuns = 7;

// Pulls as soon as it is started, as a sound device asks for its first buffer.
class EagerSink : public voxmg::player::AudioSink {
public:
    bool start(voxmg::player::SampleSource& source) override {
        m_source = &source;
        return true;
    }
    void pause() override {}
    void resume() override {}
    void stop() override { m_source = nullptr; }
    void waitForFirstSample() {
        std::vector<std::int16_t> buffer(800);
        while (m_source != nullptr && m_source->read(buffer) == 0) {
            std::this_thread::yield();  // the decoder may share this core
        }
    }

private:
    voxmg::player::SampleSource* m_source = nullptr;
};

// A voice data file: record and main unit header (zeros will do for the player), then frames.
std::string writeMessage(const std::string& dir, const std::string& name,
                         const std::vector<std::uint8_t>& frames) {
    const std::string path = dir + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::vector<char> front(990 + 256, 0);
    out.write(front.data(), static_cast<std::streamsize>(front.size()));
    out.write(reinterpret_cast<const char*>(frames.data()), static_cast<std::streamsize>(frames.size()));
    return path;
}

}  // namespace

int main() {
    const std::string dir = bench::scratchFolder();
    if (dir.empty()) {
        return 1;
    }
    const auto frames60 = bench::bareEncode(bench::testSignal(60, 1));
    const auto frames600 = bench::bareEncode(bench::testSignal(600, 2));
    const std::string short60 = writeMessage(dir, "60s.vmdat", frames60);
    const std::string long600 = writeMessage(dir, "600s.vmdat", frames600);

    EagerSink sink;
    voxmg::player::PlayerSession session(sink, [](const std::string&) { return false; });
    volatile std::int64_t sink64 = 0;

    auto [bare60, first] = bench::bestOfTurns(
        kRuns, [&] { sink64 = bench::bareDecode(frames60); },
        [&] {
            session.select({short60, true});
            session.play();
            sink.waitForFirstSample();
            session.clear();  // stops the rest of the decode; a real selection would go on
        });
    session.clear();

    auto [bare600, wave] = bench::bestOfTurns(
        kRuns, [&] { sink64 = bench::bareDecode(frames600); },
        [&] {
            session.select({long600, true});
            session.waitForWaveform(std::chrono::minutes(5));
            session.clear();
        });
    session.clear();

    std::printf("first sample of a 60 s message: %.2f ms, bare decode of its frames %.2f ms, ratio %.3f\n",
                first, bare60, first / bare60);
    std::printf("waveform of a 600 s message:    %.2f ms, bare decode of its frames %.2f ms, ratio %.3f\n",
                wave, bare600, wave / bare600);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
