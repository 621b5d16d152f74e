#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/base/flags.h"
#include "core/base/paths.h"
#include "core/base/progress.h"
#include "core/base/pump.h"

namespace voxmg {
namespace audio {
class DecodingEngine;
}

// A message box the caller shows: UTF-8 text and caption; `error` picks the warning icon,
// otherwise it is an information box.
struct UserText {
    std::string text;
    std::string caption;
    bool error = true;
    bool operator==(const UserText&) const = default;
};

// One selected message: the path its record names and its download-state code.
struct ConvertRow {
    std::string path;
    std::uint8_t state = 0;
};

struct ConvertRequest {
    std::vector<ConvertRow> rows;  // in list order
    bool boxList = true;           // a response list never reports a missing file
    std::string destination;       // empty: each WAV file beside its voice data file
    int gainSetting = 0;           // LEVELRVORWAV as stored
};

// What the conversions run with. `progress` gets nextFile() per row and the conversion's
// range and position; `interrupt` is asked after each converted file and ends the run
// without a summary when it says so (a due backup taking over).
struct ConvertEnv {
    audio::DecodingEngine& engine;
    Flags& flags;
    Pump pump;
    ProgressSink* progress = nullptr;
    FreeSpaceProbe freeSpace = systemFreeSpaceProbe();
    std::function<bool()> interrupt;
};

enum class ConvertOutcome {
    Converted,
    AlreadyPresent,  // the WAV file was there already
    NotDownloaded,   // info only: nothing to convert
    Missing,         // the voice data file is gone
    NoSpace,
    Failed,
    NotReached,  // the run stopped before this row
};

struct ConvertFileResult {
    std::string path;
    std::string wavPath;  // empty when the row has no voice data file
    ConvertOutcome outcome = ConvertOutcome::NotReached;
};

struct ConvertMarks {
    bool notDownloaded = false;
    bool alreadyDeleted = false;
    bool noSpace = false;
    bool failed = false;
    bool any() const { return notDownloaded || alreadyDeleted || noSpace || failed; }
};

struct ConvertResult {
    std::vector<ConvertFileResult> files;
    ConvertMarks marks;
    int converted = 0;
    int present = 0;
    bool cancelled = false;    // cancel-all: no summary
    bool interrupted = false;  // a backup took over: no summary
};

// Free bytes a conversion of a voice data file of `voiceBytes` bytes asks for: room for the
// WAV file (16 times the frames) rounded up to whole 4 KiB clusters.
constexpr std::uint64_t wavSpaceNeeded(std::uint64_t voiceBytes) {
    return (voiceBytes / 256 + 1) * 4096;
}

// Whether the file system of `target` has room for converting `voicePath`. A free space the
// probe cannot tell does not stop the conversion; the conversion itself reports a full disk.
bool hasRoomForWav(const std::string& voicePath, const std::string& target, const FreeSpaceProbe& probe);

// The WAV file of a message: the path with ".vmdat" (or ".vminf") replaced by ".wav", in
// `destination` when one is given. Empty for a path with neither ending.
std::string wavPathFor(const std::string& messagePath, const std::string& destination = {});

// With exactly one row selected the operation is refused before anything starts when that
// message cannot be converted: the error to show, or nothing to go on.
std::optional<UserText> convertRefusal(const ConvertRequest& request, const FreeSpaceProbe& probe);

// Converts every downloaded message of the request whose WAV file is missing, with the
// always-download worker paused and the cancel-all flag cleared first.
ConvertResult convertMessages(const ConvertRequest& request, ConvertEnv& env);

// The summary messages of a run (none when it was cancelled or interrupted).
std::vector<UserText> convertSummary(const ConvertResult& result);

// Whether the summary is the full-success text.
bool convertSucceeded(const ConvertResult& result);

}  // namespace voxmg
