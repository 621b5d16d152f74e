#include "core/lists/player_session.h"

#include <algorithm>
#include <condition_variable>

#include "core/audio/voice_pcm.h"

namespace voxmg::player {

namespace {

constexpr std::size_t kSamplesPerMs = audio::kVoiceSampleRate / 1000;

bool endsWith(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

// One message's voice: the frames, the samples decoded so far, the waveform at the end. The
// worker writes samples in place behind `available`; readers take only what it published.
struct PlayerSession::Decoded {
    std::vector<std::uint8_t> frames;
    // Room for the whole message, left uninitialised: only what `available` covers is read.
    std::unique_ptr<std::int16_t[]> buffer;
    std::span<std::int16_t> pcm;
    std::vector<std::uint16_t> peaks;
    std::atomic<std::size_t> available{0};
    std::atomic<bool> cancel{false};
    std::atomic<bool> failed{false};
    std::atomic<bool> waveformDone{false};
    mutable std::mutex doneLock;
    mutable std::condition_variable doneSignal;

    void finish(bool ok) {
        {
            std::lock_guard lock(doneLock);
            if (ok) {
                waveformDone = true;
            } else {
                failed = true;
            }
        }
        doneSignal.notify_all();
    }
};

PlayerSession::PlayerSession(AudioSink& sink, MarkPlayed markPlayed, audio::DecoderFactory decoder,
                             std::chrono::milliseconds markAfter)
    : m_sink(sink),
      m_markPlayed(std::move(markPlayed)),
      m_factory(std::move(decoder)),
      m_markSamples(static_cast<std::size_t>(std::max<std::int64_t>(markAfter.count(), 0)) * kSamplesPerMs) {}

PlayerSession::~PlayerSession() {
    m_sink.stop();
    stopDecoding();
}

void PlayerSession::stopDecoding() {
    if (m_decoded) {
        m_decoded->cancel = true;
    }
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void PlayerSession::select(const Message& message) {
    if (message == m_message && m_state != PaneState::Empty) {
        return;
    }
    const bool wasPlaying = m_state == PaneState::Playing;
    m_message = message;
    load();
    if (wasPlaying && m_state == PaneState::Ready) {
        play();
    }
}

void PlayerSession::clear() {
    m_sink.stop();
    stopDecoding();
    m_message = {};
    std::lock_guard lock(m_lock);
    m_decoded.reset();
    toState(PaneState::Empty);
}

void PlayerSession::reload() {
    if (m_state != PaneState::Empty) {
        load();
    }
}

void PlayerSession::load() {
    m_sink.stop();
    stopDecoding();
    {
        std::lock_guard lock(m_lock);
        m_position = 0;
        m_heard = 0;
        m_reachedEnd = false;
        m_decoded.reset();
    }
    m_handed = 0;
    m_markTried = false;
    m_marked = false;

    if (!endsWith(m_message.path, ".vmdat")) {
        toState(PaneState::InfoOnly);
        return;
    }
    auto decoded = std::make_shared<Decoded>();
    switch (audio::loadVoiceFrames(m_message.path, decoded->frames)) {
        case audio::VoiceLoad::Missing:
            toState(PaneState::Missing);
            return;
        case audio::VoiceLoad::NoFrames:
            toState(PaneState::Unreadable);
            return;
        case audio::VoiceLoad::Loaded:
            break;
    }
    const std::size_t samples = decoded->frames.size() / audio::kFrameBytes * audio::kFrameSamples;
    decoded->buffer = std::make_unique_for_overwrite<std::int16_t[]>(samples);
    decoded->pcm = std::span(decoded->buffer.get(), samples);
    {
        std::lock_guard lock(m_lock);
        m_decoded = decoded;
    }
    toState(PaneState::Ready);
    m_worker = std::thread([decoded, factory = m_factory, gain = m_gain] {
        audio::VoiceBlockDecoder decoder(decoded->frames, gain, factory);
        if (!decoder.ready()) {
            decoded->finish(false);
            return;
        }
        std::size_t done = 0;
        while (!decoder.finished() && !decoded->cancel) {
            const std::size_t got = decoder.decodeBlock(decoded->pcm.subspan(done));
            if (got == 0) {
                decoded->finish(false);
                return;
            }
            done += got;
            decoded->available.store(done, std::memory_order_release);
        }
        if (decoded->cancel) {
            return;
        }
        decoded->peaks = audio::peaksPerColumn(decoded->pcm, kWaveformColumns);
        decoded->finish(true);
    });
}

void PlayerSession::startSink() {
    if (m_sink.start(*this)) {
        toState(PaneState::Playing);
    } else {
        toState(PaneState::NoDevice);
    }
}

void PlayerSession::play() {
    switch (m_state) {
        case PaneState::Ready:
        case PaneState::NoDevice:
            startSink();
            break;
        case PaneState::Paused:
            m_sink.resume();
            toState(PaneState::Playing);
            break;
        case PaneState::Ended: {
            {
                std::lock_guard lock(m_lock);
                m_position = 0;
                m_reachedEnd = false;
            }
            startSink();
            break;
        }
        default:
            break;
    }
}

void PlayerSession::pause() {
    if (m_state == PaneState::Playing) {
        m_sink.pause();
        toState(PaneState::Paused);
    }
}

void PlayerSession::togglePlay() {
    if (m_state == PaneState::Playing) {
        pause();
    } else {
        play();
    }
}

void PlayerSession::seekTo(std::chrono::milliseconds position) {
    if (!m_decoded || m_decoded->pcm.empty()) {
        return;
    }
    const std::size_t total = m_decoded->pcm.size();
    const std::int64_t ms = std::max<std::int64_t>(position.count(), 0);
    const std::size_t target = std::min(static_cast<std::size_t>(ms) * kSamplesPerMs, total);
    {
        std::lock_guard lock(m_lock);
        m_position = target;
        m_reachedEnd = false;
    }
    if (target >= total) {
        // A seek to the end is not a playback to the end: no played mark from it.
        if (m_state == PaneState::Playing || m_state == PaneState::Paused) {
            m_sink.stop();
        }
        toState(PaneState::Ended);
    } else if (m_state == PaneState::Ended) {
        toState(PaneState::Ready);
    }
}

void PlayerSession::seekBy(std::chrono::milliseconds delta) {
    seekTo(position() + delta);
}

std::size_t PlayerSession::read(std::span<std::int16_t> out) {
    std::lock_guard lock(m_lock);
    const Decoded* decoded = m_decoded.get();
    if (decoded == nullptr) {
        return 0;
    }
    const std::size_t available = decoded->available.load(std::memory_order_acquire);
    const std::size_t n = m_position < available ? std::min(out.size(), available - m_position) : 0;
    std::copy_n(decoded->pcm.begin() + static_cast<std::ptrdiff_t>(m_position), n, out.begin());
    m_position += n;
    m_heard += n;
    if (m_position >= decoded->pcm.size()) {
        m_reachedEnd = true;
    }
    m_handed += n;
    return n;
}

void PlayerSession::poll() {
    bool ended = false;
    bool heardEnough = false;
    {
        std::lock_guard lock(m_lock);
        // The last samples are out of the session, not yet out of the speaker: the sink
        // says when its buffer has played.
        ended = m_reachedEnd && m_state == PaneState::Playing && m_sink.drained();
        heardEnough = m_heard >= m_markSamples;
        if (ended) {
            m_reachedEnd = false;
        }
    }
    if (m_decoded && m_decoded->failed && m_state != PaneState::Unreadable) {
        m_sink.stop();
        toState(PaneState::Unreadable);
        return;
    }
    if (ended) {
        m_sink.stop();
        toState(PaneState::Ended);
    }
    if ((ended || heardEnough) && !m_markTried && m_message.boxList) {
        m_markTried = true;
        m_marked = m_markPlayed && m_markPlayed(m_message.path);
    }
}

std::chrono::milliseconds PlayerSession::position() const {
    std::lock_guard lock(m_lock);
    return std::chrono::milliseconds(m_position / kSamplesPerMs);
}

std::chrono::milliseconds PlayerSession::length() const {
    return std::chrono::milliseconds(m_decoded ? m_decoded->pcm.size() / kSamplesPerMs : 0);
}

bool PlayerSession::waveformReady() const {
    return m_decoded && m_decoded->waveformDone.load();
}

const std::vector<std::uint16_t>& PlayerSession::waveform() const {
    static const std::vector<std::uint16_t> none;
    return waveformReady() ? m_decoded->peaks : none;
}

bool PlayerSession::waitForWaveform(std::chrono::milliseconds timeout) const {
    const std::shared_ptr<Decoded> decoded = m_decoded;
    if (!decoded) {
        return false;
    }
    std::unique_lock lock(decoded->doneLock);
    decoded->doneSignal.wait_for(lock, timeout, [&] { return decoded->waveformDone || decoded->failed; });
    return decoded->waveformDone;
}

std::u16string stateText(PaneState state) {
    switch (state) {
        case PaneState::Empty:
            return u"メッセージを選択してください。";
        case PaneState::InfoOnly:
            return u"音声ファイルがダウンロードされていません。";
        case PaneState::Missing:
            return u"音声ファイルは既に消去されています。";
        case PaneState::Unreadable:
            return u"音声ファイルを再生できません。";
        case PaneState::NoDevice:
            return u"音声出力装置が見つかりません。";
        case PaneState::Ready:
        case PaneState::Playing:
        case PaneState::Paused:
        case PaneState::Ended:
            break;
    }
    return {};
}

}  // namespace voxmg::player
