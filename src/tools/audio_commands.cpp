// voxmgctl to-wav FILE.vmdat OUT.wav [--gain DB]
// voxmgctl from-audio FILE.wav|FILE.wma OUT.vmdat [--gain DB]
// voxmgctl wav-clean --root DIR --folder NAME (--boxes KIND/NAME,... | --response)

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/audio/audio_import.h"
#include "core/audio/conversion_engine.h"
#include "core/audio/wav_conversion.h"
#include "core/audio/wav_files.h"
#include "core/audio/wav_format.h"
#include "core/base/paths.h"
#include "core/base/text.h"
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

std::uintmax_t sizeOf(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

// One source file in, one output file out, an optional gain: the shape of both commands.
struct FileCommand {
    const char* name;
    const char* usage;
    // Runs the job; returns 1 on success like the engine's callers.
    int (*run)(audio::ConversionEngine& engine, const std::string& scratch, const std::string& source,
               const std::string& output, int gain, const audio::CallerContext& caller);
    // Adds what the output holds to the report.
    void (*describe)(Json& j, const std::string& output);
};

int runFileCommand(const FileCommand& command, const Args& args) {
    const std::vector<std::string> files = positional(args, {"--gain"});
    const std::optional<int> gain = gainOption(args);
    if (files.size() != 2 || !gain) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", command.usage);
        return 2;
    }
    std::error_code ec;
    if (std::filesystem::equivalent(files[0], files[1], ec)) {
        std::fprintf(stderr, "voxmgctl %s: the output would overwrite the source\n", command.name);
        return 2;
    }
    ScratchFolder scratch;
    audio::ConversionEngine engine(scratch.path());
    Flags flags;
    const int result = command.run(engine, scratch.path(), files[0], files[1], *gain, {flags, {}, nullptr});
    Json j{{"command", command.name},
           {"source", files[0]},
           {"output", files[1]},
           {"gain", *gain},
           {"result", result}};
    if (result == 1) {
        command.describe(j, files[1]);
    } else {
        std::error_code ignored;
        std::filesystem::remove(files[1], ignored);  // the engine's callers leave no output on failure
    }
    std::printf("%s\n", j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return result == 1 ? 0 : 1;
}

const FileCommand toWav{
    "to-wav", "to-wav FILE.vmdat OUT.wav [--gain DB]",
    [](audio::ConversionEngine& engine, const std::string& scratch, const std::string& source,
       const std::string& output, int gain, const audio::CallerContext& caller) {
        const audio::WavTargets targets{scratch + "/frames.tmp", output};
        return audio::convertVoiceFileToWavAt(engine.decoding, source, targets, gain, caller);
    },
    [](Json& j, const std::string& output) { j["samples"] = (sizeOf(output) - audio::kWavHeaderSize) / 2; }};

const FileCommand fromAudio{
    "from-audio", "from-audio FILE.wav|FILE.wma OUT.vmdat [--gain DB]",
    [](audio::ConversionEngine& engine, const std::string&, const std::string& source,
       const std::string& output, int gain, const audio::CallerContext& caller) {
        return audio::runEncodingJob(engine.encoding, source, output, gain, caller);
    },
    [](Json& j, const std::string& output) { j["frames"] = sizeOf(output) / audio::kFrameBytes; }};

const CommandRegistrar toWavCommand{Command{"to-wav", std::string(toWav.usage) + "   voice data file to WAV",
                                            [](const Args& args) { return runFileCommand(toWav, args); }}};
const CommandRegistrar fromAudioCommand{
    Command{"from-audio", std::string(fromAudio.usage) + "   audio file to bare G.729 frames",
            [](const Args& args) { return runFileCommand(fromAudio, args); }}};

constexpr const char* kWavCleanUsage =
    "wav-clean --root DIR --folder NAME (--boxes KIND/NAME,... | --response)   delete the WAV and WMA "
    "files of boxes";

// "rusuroku/101,naisen/200" -> the boxes; false on a malformed item.
bool parseBoxes(const std::string& list, std::vector<audio::WavBox>& boxes) {
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const std::string item = list.substr(start, end - start);
        const std::size_t slash = item.find('/');
        if (slash == std::string::npos || slash == 0 || slash + 1 == item.size()) {
            return false;
        }
        boxes.push_back({item.substr(0, slash), item.substr(slash + 1)});
        start = end + 1;
    }
    return !boxes.empty();
}

// The clean-up of the WAV delete dialog, for scripts: one entry per file met, the summary the
// dialog would show, exit 0 only when everything chosen is gone.
int wavClean(const Args& args) {
    bool boxesGiven = false;
    const std::string root = optionValue(args, "--root");
    const std::string folder = optionValue(args, "--folder");
    const std::string boxList = optionValue(args, "--boxes", &boxesGiven);
    const bool response = hasFlag(args, "--response");
    std::vector<audio::WavBox> boxes;
    if (root.empty() || folder.empty() || paths::isUnsafeName(folder) || boxesGiven == response ||
        (boxesGiven && !parseBoxes(boxList, boxes))) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", kWavCleanUsage);
        return 2;
    }
    const std::string boxFolder = paths::join(root, folder);
    const auto result = response ? audio::deleteResponseWavFiles(boxFolder, nullptr)
                                 : audio::deleteBoxWavFiles(boxFolder, boxes, nullptr);

    Json files = Json::array();
    for (const auto& entry : result.entries) {
        Json item{{"path", entry.path}, {"deleted", entry.deleted}};
        if (entry.folderRefused) {
            item["folder_refused"] = true;
        }
        if (entry.error != 0) {
            item["error"] = std::strerror(entry.error);
        }
        files.push_back(std::move(item));
    }
    const bool ok = result.complete();
    Json out{{"caption", ok ? text::utf8FromUtf16(audio::kWavCleanDoneCaption) : std::string("エラー")},
             {"summary", text::utf8FromUtf16(ok ? audio::kWavCleanDone : audio::kWavCleanIncomplete)},
             {"deleted", result.deleted},
             {"failed", result.failed},
             {"files", std::move(files)}};
    std::cout << out.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    return ok ? 0 : 1;
}

const CommandRegistrar wavCleanCommand{Command{"wav-clean", kWavCleanUsage, wavClean, {}, Writes::Root}};

}  // namespace
}  // namespace voxmg::tools
