#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "core/audio/audio_import.h"
#include "core/base/paths.h"
#include "core/device/bulk_download.h"

// "追加": a WAV or WMA file of the PC becomes response message N (1..300) of a box folder's
// response folder. The user's file is copied in (it stays as the message's ".WAV"/".WMA"),
// the copy is encoded to G.729 frames, and the frames get the main unit header and the record.
// Nothing appears under a message's name before it is complete, and a failed or cancelled
// import leaves the folder as it was.
namespace voxmg::response_import {

inline constexpr int kSlots = 300;

enum class ImportOutcome {
    Imported,
    BadSlot,      // not 1..300
    SlotTaken,    // the slot holds a message and replacing it was not asked for
    NoSpace,      // the response folder's disk cannot take the copy
    Unsupported,  // extension, precheck, copy or conversion refused the file
    Cancelled,    // the user cancelled the conversion
    NoFrames,     // the conversion gave no whole 100 ms of speech
    CannotWrite,  // the response folder takes no file (read-only, another user's, a link out)
};

struct ImportRequest {
    std::string responseFolder;  // the "outou" folder of a box folder
    int slot = 0;                // 1..300
    std::string source;          // the user's file
    bool replace = false;        // an occupied slot is replaced only when set
    audio::ImportGains gains;
    // The import time: the file name's time stamp and the header's date.
    std::function<std::tm()> now = [] {
        std::time_t t = std::time(nullptr);
        std::tm local{};
        localtime_r(&t, &local);
        return local;
    };
    FreeSpaceProbe freeSpace = systemFreeSpaceProbe();
    audio::DurationProbe duration = &audio::ffmpegDurationMs;  // the WMA precheck's length
};

struct ImportResult {
    ImportOutcome outcome = ImportOutcome::Unsupported;
    UserMessage summary;       // none after a cancel
    std::string voicePath;     // the new voice data file
    std::string replacedPath;  // the voice data file of the slot's old message, now gone
};

// The voice data file that holds slot `slot` in the folder (the list's reading: the record's
// number), if any.
std::optional<std::string> messageInSlot(const std::string& responseFolder, int slot);

// The checks made before anything is written: slot, space, format. The refusal to show, or
// nothing when the import may start.
std::optional<ImportResult> precheck(const ImportRequest& request);

// Runs the import. The caller's progress sink gets beforeConversion() when the copy is in and
// the conversion starts, and the engine's poll positions; the pump keeps its dialog live.
ImportResult run(const ImportRequest& request, audio::EncodingEngine& engine,
                 const audio::CallerContext& caller);

}  // namespace voxmg::response_import
