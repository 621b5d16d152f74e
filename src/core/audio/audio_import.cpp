#include "core/audio/audio_import.h"

#include <algorithm>
#include <array>
#include <filesystem>

#include "core/audio/file_handle.h"
#include "core/audio/wav_format.h"
#include "core/base/paths.h"
#include "core/base/text.h"

namespace voxmg::audio {

namespace {

constexpr std::chrono::milliseconds kPollPause{1};
constexpr int kProgressStep = 4;

void removeFile(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace

bool wavPrecheck(const std::string& path) {
    if (text::asciiLower(path).find(".wav") == std::string::npos) {
        return false;
    }
    FileHandle f = openFile(path, "rb");
    if (!f) {
        return false;
    }
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxWavBytes) {
        return false;
    }
    std::array<std::uint8_t, 128> head{};
    const std::size_t got = std::fread(head.data(), 1, head.size(), f.get());
    const std::optional<PcmFormat> format = parsePcmFormat(std::span<const std::uint8_t>(head.data(), got));
    return format && format->isTelephonePcm();
}

bool wmaPrecheck(const std::string& path, const DurationProbe& duration) {
    const std::optional<std::int64_t> ms = duration ? duration(path) : std::nullopt;
    return ms && *ms >= 0 && *ms / 100 <= kMaxWmaTenths;
}

int runEncodingJob(EncodingEngine& engine, const std::string& source, const std::string& output,
                   int gainSetting, const CallerContext& caller) {
    if (engine.start(source, output, gainSetting, kLongestImportSeconds) != StartResult::ok) {
        return 0;
    }
    int counter = 0;
    const std::uint8_t last = pollJob(engine, caller, kPollPause, [&] {
        counter += kProgressStep;
        if (caller.progress) {
            caller.progress->setPosition(counter);
        }
    });
    return last == Status::finished && !caller.cancelled() ? 1 : 0;
}

int importAudioFile(EncodingEngine& engine, const std::string& source, const std::string& extension,
                    const ImportGains& gains, const CallerContext& caller) {
    const std::string ext = text::asciiLower(extension);
    if (ext != ".wav" && ext != ".wma") {
        return 0;
    }
    // The output name is cut from the source name; a source not ending in the extension it
    // came with would yield a name of some other file.
    const std::string name = text::asciiLower(std::string(paths::fileName(source)));
    if (name.size() <= ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0) {
        return 0;
    }
    const std::string output = source.substr(0, source.size() - 3) + "vmdat";
    const int gain = ext == ".wav" ? gains.wav : gains.wma;
    if (runEncodingJob(engine, source, output, gain, caller) == 1) {
        return 1;
    }
    removeFile(output);
    removeFile(source);
    return 0;
}

}  // namespace voxmg::audio
