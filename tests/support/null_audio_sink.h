#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "core/lists/player_session.h"

namespace voxmg::test {

// A sound output that takes the player's samples only when the test pulls them, as a sound
// card would at its own pace. Without `device` it reports no sound output.
class NullAudioSink : public player::AudioSink {
public:
    bool start(player::SampleSource& source) override {
        ++starts;
        m_source = device ? &source : nullptr;
        return device;
    }
    void pause() override { paused = true; }
    void resume() override { paused = false; }
    void stop() override { m_source = nullptr; }
    bool drained() override { return bufferPlayed; }
    // Pulls up to `ms` of samples; how many it got.
    std::size_t pull(std::chrono::milliseconds ms) {
        std::vector<std::int16_t> buffer(static_cast<std::size_t>(ms.count()) * 8);
        return m_source != nullptr && !paused ? m_source->read(buffer) : 0;
    }
    bool playing() const { return m_source != nullptr; }

    bool device = true;
    bool paused = false;
    bool bufferPlayed = true;  // what it took has left the speaker
    int starts = 0;

private:
    player::SampleSource* m_source = nullptr;
};

}  // namespace voxmg::test
