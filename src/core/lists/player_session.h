#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/audio/g729_codec.h"

// The built-in player: the selected message's voice decoded in memory on a worker thread and
// handed to an audio sink as it is decoded, with play, pause, seek, the waveform and the
// played-on-PC mark. The sink is a seam: the program plays through the sound device, tests and
// benches take the samples through a sink of their own.
namespace voxmg::player {

struct Message {
    std::string path;     // the record's path: ".vmdat" with voice, ".vminf" info only
    bool boxList = true;  // in a response list the played byte means "uploaded": never marked
    bool operator==(const Message&) const = default;
};

enum class PaneState : int {
    Empty = 0,       // nothing selected
    InfoOnly = 1,    // only the recording info was downloaded
    Missing = 2,     // the voice data file is gone
    Unreadable = 3,  // no frame in the file, or the codec failed
    Ready = 4,       // loaded, not playing
    Playing = 5,
    Paused = 6,
    Ended = 7,
    NoDevice = 8,  // the sink found no sound output
};

// What a sink pulls the samples from (8 kHz, mono, signed 16 bit).
class SampleSource {
public:
    virtual ~SampleSource() = default;
    // Copies up to out.size() samples from the play position on; 0 when nothing is ready yet
    // or the end is reached.
    virtual std::size_t read(std::span<std::int16_t> out) = 0;
};

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // Starts pulling from `source`; false when there is no sound output.
    virtual bool start(SampleSource& source) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void stop() = 0;
    // Asked once the source gave its last sample, until it says yes: whether what the sink
    // still buffered has played (stop() would cut it off).
    virtual bool drained() { return true; }
};

inline constexpr std::size_t kWaveformColumns = 2048;

class PlayerSession : private SampleSource {
public:
    // Records that a message was played on the PC; false when the record could not be written.
    using MarkPlayed = std::function<bool(const std::string& path)>;

    PlayerSession(AudioSink& sink, MarkPlayed markPlayed,
                  audio::DecoderFactory decoder = &audio::makeBcg729Decoder,
                  std::chrono::milliseconds markAfter = std::chrono::seconds(3));
    ~PlayerSession() override;
    PlayerSession(const PlayerSession&) = delete;
    PlayerSession& operator=(const PlayerSession&) = delete;

    // LEVELRVORWAV as stored, for the messages selected from now on.
    void setGain(int gainSetting) { m_gain = gainSetting; }

    // The message of the selected row. The same message again changes nothing; another one
    // stops the playback, and plays from its start when the previous one was playing.
    void select(const Message& message);
    // Nothing selected (no list, or no row).
    void clear();
    // Reads the selected message's file again (it was deleted or replaced meanwhile).
    void reload();

    void play();
    void pause();
    void togglePlay();
    // Positions are clamped to the message; at or beyond the end the playback ends there.
    void seekTo(std::chrono::milliseconds position);
    void seekBy(std::chrono::milliseconds delta);

    // The owner's timer: notices the end of the playback and writes the played mark once.
    void poll();

    PaneState state() const { return m_state; }
    const Message& message() const { return m_message; }
    std::chrono::milliseconds position() const;
    std::chrono::milliseconds length() const;
    // The record now says played on the PC (set once per selection).
    bool marked() const { return m_marked; }
    // Peaks of kWaveformColumns equal stretches, once the whole message is decoded.
    bool waveformReady() const;
    const std::vector<std::uint16_t>& waveform() const;
    // Waits until the waveform is ready or the decoding failed; false on time-out or failure.
    bool waitForWaveform(std::chrono::milliseconds timeout) const;
    // Samples handed to the sink since the message was selected.
    std::size_t samplesHanded() const { return m_handed.load(); }

private:
    struct Decoded;

    std::size_t read(std::span<std::int16_t> out) override;
    void load();
    void stopDecoding();
    void startSink();
    void toState(PaneState state) { m_state = state; }

    AudioSink& m_sink;
    MarkPlayed m_markPlayed;
    audio::DecoderFactory m_factory;
    std::size_t m_markSamples;
    int m_gain = 0;

    Message m_message;
    PaneState m_state = PaneState::Empty;
    bool m_markTried = false;
    bool m_marked = false;

    std::shared_ptr<Decoded> m_decoded;
    std::thread m_worker;

    // Shared with the sink's pulls.
    mutable std::mutex m_lock;
    std::size_t m_position = 0;  // samples
    std::size_t m_heard = 0;     // samples handed while playing, for the played mark
    bool m_reachedEnd = false;   // the playback ran to the end
    std::atomic<std::size_t> m_handed{0};
};

// The pane's texts for the states that play nothing.
std::u16string stateText(PaneState state);

}  // namespace voxmg::player
