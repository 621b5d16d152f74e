#include "core/audio/encoding_engine.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "core/audio/file_handle.h"
#include "core/audio/gain.h"
#include "core/audio/wav_format.h"
#include "core/base/paths.h"

namespace voxmg::audio {

namespace {
constexpr std::size_t kBlockSamples = 1600;  // 200 ms, 20 frames

// The intermediate PCM file of one job, mode 0600, gone when the object goes. Where the file
// system can, it is a file without a name, reached through /proc by the decoder's open: then
// even a run killed mid-way leaves nothing in the work folder. Elsewhere a mkstemp name.
class WorkFile {
public:
    explicit WorkFile(const std::string& folder) {
        const std::string dir = folder.empty() ? std::string(".") : folder;
        m_fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            m_path = "/proc/self/fd/" + std::to_string(m_fd);
            if (::access(m_path.c_str(), R_OK | W_OK) == 0) {
                return;
            }
            ::close(m_fd);
        }
        std::string name = paths::join(dir, "wave_tmp-XXXXXX");
        m_fd = ::mkostemp(name.data(), O_CLOEXEC);
        m_path = m_fd >= 0 ? name : std::string();
        m_named = m_fd >= 0;
    }
    ~WorkFile() {
        if (m_named) {
            ::unlink(m_path.c_str());
        }
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    WorkFile(const WorkFile&) = delete;
    WorkFile& operator=(const WorkFile&) = delete;

    // Empty when no work file could be made.
    const std::string& path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
    bool m_named = false;
};

}  // namespace

EncodingEngine::EncodingEngine(std::string workFolder, MediaBackend media, EncoderFactory encoder)
    : m_workFolder(std::move(workFolder)), m_media(std::move(media)), m_encoderFactory(std::move(encoder)) {}

int EncodingEngine::start(const std::string& source, const std::string& output, int gainSetting,
                          int longestSeconds) {
    std::lock_guard lock(m_slot.callerLock());
    if (m_slot.status() != Status::idle) {
        return StartResult::busy;
    }
    if (!openFile(source, "rb") || !openFile(output, "wb")) {
        return StartResult::cannotOpen;
    }
    const std::optional<std::int64_t> lengthMs = m_media.duration ? m_media.duration(source) : std::nullopt;
    if (!lengthMs) {
        return StartResult::unknownLength;
    }
    if (*lengthMs > static_cast<std::int64_t>(longestSeconds) * 1000) {
        return StartResult::tooLong;
    }
    m_source = source;
    m_output = output;
    m_gain = gainFromSetting(gainSetting);
    if (!m_slot.launch([this](JobSlot& slot) { run(slot); }, Status::outputWriteFailed)) {
        return StartResult::noThread;
    }
    return StartResult::ok;
}

void EncodingEngine::run(JobSlot& slot) {
    if (!slot.awaitStart()) {
        return;
    }
    std::uint8_t result = Status::pcmOpenFailed;
    {
        // The intermediate file only lives while a job runs.
        const WorkFile pcm(m_workFolder);
        if (!pcm.path().empty()) {
            result = prepare(slot, pcm.path());
        }
    }
    if (slot.stopRequested()) {
        return;
    }
    slot.setStatus(result);
    slot.awaitStop();
}

std::uint8_t EncodingEngine::prepare(JobSlot& slot, const std::string& pcmPath) {
    std::unique_ptr<FrameEncoder> encoder = m_encoderFactory ? m_encoderFactory() : nullptr;
    if (!encoder) {
        return Status::encoderInitFailed;
    }
    slot.setStatus(Status::sourceDecoding);
    if (!m_media.decodeToPcmWav ||
        !m_media.decodeToPcmWav(m_source, pcmPath, [&slot] { return slot.stopRequested(); })) {
        return Status::sourceDecodeFailed;
    }
    FileHandle pcm = openFile(pcmPath, "rb");
    if (!pcm) {
        return Status::pcmOpenFailed;
    }
    std::array<std::uint8_t, kWavHeaderSize> header{};
    if (std::fread(header.data(), 1, header.size(), pcm.get()) != header.size()) {
        return Status::pcmFormatWrong;
    }
    const std::optional<PcmFormat> format = parsePcmFormat(header);
    // The decoder writes the fixed 44-byte layout; the samples start right behind "data".
    if (!format || !format->isTelephonePcm() || std::memcmp(header.data() + 36, "data", 4) != 0) {
        return Status::pcmFormatWrong;
    }
    FileHandle out = openFile(m_output, "ab");
    if (!out) {
        return Status::outputOpenFailed;
    }
    slot.setStatus(Status::converting);
    return encode(slot, *encoder, pcm.get(), out.get());
}

std::uint8_t EncodingEngine::encode(JobSlot& slot, FrameEncoder& encoder, std::FILE* pcm, std::FILE* out) {
    std::array<std::uint8_t, kBlockSamples * 2> bytes{};
    std::array<std::int16_t, kBlockSamples> samples{};
    std::array<std::uint8_t, kBlockSamples / kFrameSamples * kFrameBytes> coded{};
    while (!slot.stopRequested()) {
        bytes.fill(0);
        const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), pcm);
        if (got < bytes.size() && std::ferror(pcm)) {
            return Status::pcmReadFailed;
        }
        const std::size_t count = got / 2;
        if (count == 0) {
            return std::fflush(out) == 0 ? Status::finished : Status::outputWriteFailed;
        }
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<std::int16_t>(readLe16(bytes, i * 2));
        }
        // The last frame of a short block is filled up with silence.
        const std::size_t frames = (count + kFrameSamples - 1) / kFrameSamples;
        applyGain(samples, m_gain);
        for (std::size_t f = 0; f < frames; ++f) {
            const std::span<const std::int16_t, kFrameSamples> in(samples.data() + f * kFrameSamples,
                                                                  kFrameSamples);
            if (!encoder.encode(
                    in, std::span<std::uint8_t, kFrameBytes>(coded.data() + f * kFrameBytes, kFrameBytes))) {
                return Status::frameEncodeFailed;
            }
        }
        const std::size_t length = frames * kFrameBytes;
        if (std::fwrite(coded.data(), 1, length, out) != length) {
            return Status::outputWriteFailed;
        }
        if (count < kBlockSamples) {
            return std::fflush(out) == 0 ? Status::finished : Status::outputWriteFailed;
        }
    }
    return Status::converting;
}

}  // namespace voxmg::audio
