#pragma once

#include <QIODevice>
#include <memory>

#include "core/lists/player_session.h"

class QAudioSink;

// The player's samples through the desktop's default sound output (Qt Multimedia, pulled by
// the sink as it needs them). Without a sound output start() says so and nothing plays.
class QtAudioOutput final : public voxmg::player::AudioSink {
public:
    QtAudioOutput();
    ~QtAudioOutput() override;

    bool start(voxmg::player::SampleSource& source) override;
    void pause() override;
    void resume() override;
    void stop() override;
    bool drained() override;

private:
    class Pull;
    std::unique_ptr<Pull> m_pull;
    std::unique_ptr<QAudioSink> m_sink;
};
