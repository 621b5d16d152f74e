#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/lists/convert_operation.h"

namespace voxmg {

class CFileMng;

enum class PlayResult {
    Played,
    NotDownloaded,  // an info-only message
    Missing,        // the voice data file is gone
    NoSpace,
    ConvertFailed,
    Cancelled,  // the conversion was cancelled
    NoPlayer,   // nothing on the desktop opens WAV files
};

struct PlayRequest {
    std::string path;  // the record's path
    bool boxList = true;
    int gainSetting = 0;  // LEVELRVORWAV as stored
};

struct PlayHooks {
    // Called once before a missing WAV file is made (the caller shows its progress).
    std::function<void()> beforeConversion;
    // Opens the WAV file with the desktop's player; false when nothing can open it.
    std::function<bool(const std::string& wavPath)> open;
};

struct PlayOutcome {
    PlayResult result = PlayResult::Missing;
    std::string wavPath;
    bool converted = false;  // the WAV file was made for this play
    bool marked = false;     // the record now says played on the PC
};

// Plays one message: makes its WAV file beside the voice data file when it is missing, opens
// it, and in a box list records that the message was played on the PC. The WAV file is
// always the one beside the voice data, whatever the WAV save folder says, so that what was
// made is what is opened.
PlayOutcome playMessage(const PlayRequest& request, ConvertEnv& env, const PlayHooks& hooks);

// Records in the message's file that it was played on the PC, so the list shows "再生済".
bool markPlayedOnPc(const CFileMng& files, const std::string& path);

// The message for an outcome that did not play; nothing for Played and Cancelled.
std::optional<UserText> playMessageText(PlayResult result);

}  // namespace voxmg
