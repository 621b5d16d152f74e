#include "gui/audio/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <array>
#include <cstring>

#include "core/audio/voice_pcm.h"

// The sink reads bytes; the session hands whole samples.
class QtAudioOutput::Pull final : public QIODevice {
public:
    explicit Pull(voxmg::player::SampleSource& source) : m_source(source) {}
    bool isSequential() const override { return true; }

    QElapsedTimer lastData;  // since samples last went to the sink

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        std::array<std::int16_t, 4096> buffer{};
        const std::size_t want = std::min(buffer.size(), static_cast<std::size_t>(maxSize) / 2);
        const std::size_t got = m_source.read(std::span(buffer.data(), want));
        std::memcpy(data, buffer.data(), got * 2);
        if (got > 0) {
            lastData.start();
        }
        return static_cast<qint64>(got * 2);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    voxmg::player::SampleSource& m_source;
};

QtAudioOutput::QtAudioOutput() = default;

QtAudioOutput::~QtAudioOutput() {
    stop();
}

bool QtAudioOutput::start(voxmg::player::SampleSource& source) {
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(voxmg::audio::kVoiceSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) {
        return false;
    }
    m_pull = std::make_unique<Pull>(source);
    m_pull->open(QIODevice::ReadOnly);
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_sink->start(m_pull.get());
    if (m_sink->error() != QAudio::NoError) {
        stop();
        return false;
    }
    return true;
}

void QtAudioOutput::pause() {
    if (m_sink) {
        m_sink->suspend();
    }
}

void QtAudioOutput::resume() {
    if (m_sink) {
        m_sink->resume();
    }
}

bool QtAudioOutput::drained() {
    if (!m_sink || !m_pull->lastData.isValid()) {
        return true;
    }
    // A full buffer's worth of time since the last samples went in: 16 bytes a millisecond at
    // 8 kHz, 16-bit mono.
    return m_pull->lastData.elapsed() >= m_sink->bufferSize() / 16 + 20;
}

void QtAudioOutput::stop() {
    if (m_sink) {
        m_sink->stop();
        m_sink.reset();
    }
    m_pull.reset();
}
