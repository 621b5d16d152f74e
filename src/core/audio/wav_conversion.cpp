#include "core/audio/wav_conversion.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "core/audio/file_handle.h"
#include "core/audio/wav_files.h"
#include "core/base/paths.h"

namespace voxmg::audio {

namespace {

constexpr int kStartAttempts = 3;
constexpr std::chrono::milliseconds kRetryPause{5};
constexpr std::chrono::milliseconds kPollPause{2};
constexpr std::size_t kBytesPerSecond = 1000;  // 8 kbit/s of G.729
constexpr std::uint64_t kFramesPerSecond = 100;

bool endsWithIgnoreCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) {
        return false;
    }
    return std::equal(suffix.begin(), suffix.end(), s.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

std::string foldDoubledSeparators(std::string path) {
    for (std::size_t pos; (pos = path.find("//")) != std::string::npos;) {
        path.erase(pos, 1);
    }
    return path;
}

// The frames of a voice data file, or nothing when it cannot be read or is too short to
// hold the record and the header.
std::optional<std::vector<char>> readFrames(const std::string& voicePath) {
    // A folder under a message's name would make the stream throw (or claim a huge size).
    std::error_code ec;
    if (!std::filesystem::is_regular_file(voicePath, ec)) {
        return std::nullopt;
    }
    std::ifstream in(voicePath, std::ios::binary | std::ios::ate);
    if (!in) {
        return std::nullopt;
    }
    const std::streamoff size = in.tellg();
    if (size < static_cast<std::streamoff>(kVoiceFramesOffset)) {
        return std::nullopt;
    }
    std::vector<char> frames(static_cast<std::size_t>(size) - kVoiceFramesOffset);
    in.seekg(static_cast<std::streamoff>(kVoiceFramesOffset));
    if (!frames.empty() && !in.read(frames.data(), static_cast<std::streamsize>(frames.size()))) {
        return std::nullopt;
    }
    return frames;
}

bool writeFrameFile(const std::string& path, const std::vector<char>& frames) {
    FileHandle out = openFile(path, "wb");
    if (!out) {
        return false;
    }
    const bool written =
        frames.empty() || std::fwrite(frames.data(), 1, frames.size(), out.get()) == frames.size();
    return closeFile(out) && written;
}

void removeFile(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace

WavTargets wavTargetsFor(const std::string& voicePath, const WavSaveSettings& wavSave) {
    const std::string path = foldDoubledSeparators(voicePath);
    // An empty save folder would put the WAV file at the file system root; beside the voice
    // data is the only sensible place then.
    const bool beside = wavSave.enable != 1 || wavSave.path.empty();
    std::string base = beside ? path : paths::join(wavSave.path, paths::fileName(path));
    // Only a ".vmdat" ending is replaced. Any other name gets the endings appended, so the
    // frame file can never be the voice data file itself.
    if (endsWithIgnoreCase(base, ".vmdat")) {
        base.resize(base.size() - 6);
    }
    // Beside the voice data, a WAV file already there in another case (".WAV", the user's own
    // file kept by an import) is the message's WAV file: no second one is made beside it.
    std::string wav = base + ".wav";
    if (beside && endsWithIgnoreCase(path, ".vmdat") && !std::filesystem::exists(wav)) {
        if (auto companions = companionAudioFiles(path, true); !companions.empty()) {
            wav = companions.front();
        }
    }
    return WavTargets{base + ".tmp", wav};
}

int convertVoiceFileToWav(DecodingEngine& engine, const std::string& voicePath, int gainSetting,
                          const WavSaveSettings& wavSave, const CallerContext& caller) {
    return convertVoiceFileToWavAt(engine, voicePath, wavTargetsFor(voicePath, wavSave), gainSetting, caller);
}

int convertVoiceFileToWavAt(DecodingEngine& engine, const std::string& voicePath, const WavTargets& targets,
                            int gainSetting, const CallerContext& caller) {
    std::optional<std::vector<char>> frames = readFrames(voicePath);
    if (!frames) {
        return 0;
    }
    const int seconds = static_cast<int>(frames->size() / kBytesPerSecond);
    if (caller.progress) {
        caller.progress->setRange(seconds);
    }
    if (!writeFrameFile(targets.frameFile, *frames)) {
        removeFile(targets.frameFile);
        return 0;
    }
    frames.reset();

    bool started = false;
    for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
        started = engine.start(targets.frameFile, targets.wavFile, gainSetting) == StartResult::ok;
        if (!started) {
            if (caller.cancelled()) {
                break;
            }
            engine.cancel();
            std::this_thread::sleep_for(kRetryPause);
        }
    }
    std::uint8_t last = Status::idle;
    if (started) {
        // Progress counts seconds of speech decoded, so the bar ends exactly at its range.
        last = pollJob(engine, caller, kPollPause, [&] {
            if (caller.progress) {
                const auto done = static_cast<int>(engine.framesDone() / kFramesPerSecond);
                caller.progress->setPosition(std::min(done, seconds));
            }
        });
    }
    removeFile(targets.frameFile);
    if (caller.cancelled() || last != Status::finished) {
        removeFile(targets.wavFile);
        return 0;
    }
    return 1;
}

}  // namespace voxmg::audio
