// voxmgctl to-wav FILE.vmdat OUT.wav [--gain DB]
// voxmgctl from-audio FILE.wav|FILE.wma OUT.vmdat [--gain DB]

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "core/audio/audio_import.h"
#include "core/audio/conversion_engine.h"
#include "core/audio/wav_conversion.h"
#include "core/audio/wav_format.h"
#include "tools/command.h"

namespace voxmg::tools {
namespace {

using Json = nlohmann::ordered_json;

// A private folder for the engine's scratch files (frame file, intermediate PCM), so the
// tool never writes beside the program or over a file of the user's.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "voxmgctl-XXXXXX").string();
        if (::mkdtemp(pattern.data())) {
            m_path = pattern;
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// The --gain value, or empty when it is not an integer.
std::optional<int> gainOption(const Args& args) {
    bool present = false;
    const std::string value = optionValue(args, "--gain", &present);
    if (!present) {
        return hasFlag(args, "--gain") ? std::nullopt : std::optional<int>(0);
    }
    try {
        std::size_t used = 0;
        const int gain = std::stoi(value, &used);
        return used == value.size() ? std::optional<int>(gain) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::uintmax_t sizeOf(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

int report(const Json& j, bool ok) {
    std::printf("%s\n", j.dump(2).c_str());
    return ok ? 0 : 1;
}

int toWav(const Args& args) {
    const std::vector<std::string> files = positional(args, {"--gain"});
    const std::optional<int> gain = gainOption(args);
    if (files.size() != 2 || !gain) {
        std::fprintf(stderr, "usage: voxmgctl to-wav FILE.vmdat OUT.wav [--gain DB]\n");
        return 2;
    }
    ScratchFolder scratch;
    audio::ConversionEngine engine(scratch.path());
    Flags flags;
    const audio::WavTargets targets{scratch.path() + "/frames.tmp", files[1]};
    const int result =
        audio::convertVoiceFileToWavAt(engine.decoding, files[0], targets, *gain, {flags, {}, nullptr});
    Json j{{"command", "to-wav"},
           {"source", files[0]},
           {"output", files[1]},
           {"gain", *gain},
           {"result", result}};
    if (result == 1) {
        j["samples"] = (sizeOf(files[1]) - audio::kWavHeaderSize) / 2;
    }
    return report(j, result == 1);
}

int fromAudio(const Args& args) {
    const std::vector<std::string> files = positional(args, {"--gain"});
    const std::optional<int> gain = gainOption(args);
    if (files.size() != 2 || !gain) {
        std::fprintf(stderr, "usage: voxmgctl from-audio FILE.wav|FILE.wma OUT.vmdat [--gain DB]\n");
        return 2;
    }
    ScratchFolder scratch;
    audio::ConversionEngine engine(scratch.path());
    Flags flags;
    const int result =
        audio::runEncodingJob(engine.encoding, files[0], files[1], *gain, {flags, {}, nullptr});
    Json j{{"command", "from-audio"},
           {"source", files[0]},
           {"output", files[1]},
           {"gain", *gain},
           {"result", result}};
    if (result == 1) {
        j["frames"] = sizeOf(files[1]) / audio::kFrameBytes;
    } else {
        std::error_code ignored;
        std::filesystem::remove(files[1], ignored);
    }
    return report(j, result == 1);
}

const CommandRegistrar toWavCommand{
    Command{"to-wav", "to-wav FILE.vmdat OUT.wav [--gain DB]   voice data file to WAV", &toWav}};
const CommandRegistrar fromAudioCommand{Command{
    "from-audio", "from-audio FILE.wav|FILE.wma OUT.vmdat [--gain DB]   audio file to bare G.729 frames",
    &fromAudio}};

}  // namespace
}  // namespace voxmg::tools
