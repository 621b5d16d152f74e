#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/base/progress.h"

// The WAV clean-up: the converted ".wav" files and the imported ".wma" files of chosen boxes,
// or of the response folder, are deleted; message files and everything else stay. Paths are
// UTF-8 with "/" separators.
namespace voxmg::audio {

// A name the clean-up deletes: ending in ".wav" or ".wma", in any case.
bool isWavOrWmaName(std::string_view name);

// The audio files kept beside a message's voice file under the same name: its WAV file, and
// for an imported response message the user's source audio, whose ".WAV"/".WMA" keeps the case
// the user's file had. Found whatever the case of the extension; `wavOnly` leaves WMA files out.
std::vector<std::string> companionAudioFiles(const std::string& voicePath, bool wavOnly = false);

// The box subfolders of boxFolder/kind ("rusuroku", "naisen") holding at least one such file,
// sorted by name. A box subfolder that is a symbolic link is not a box and is left out.
std::vector<std::string> boxesWithWavFiles(const std::string& boxFolder, std::string_view kind);
// True when the folder itself holds such a file (the response folder "outou").
bool folderHasWavFiles(const std::string& folder);

struct WavBox {
    std::string kind;  // "rusuroku" or "naisen"
    std::string name;  // the box subfolder
};

// One file the clean-up met, or one folder it could not enter (`folderRefused`).
struct WavCleanEntry {
    std::string path;
    bool deleted = false;
    bool folderRefused = false;
    int error = 0;  // errno of the failed step
};

struct WavCleanResult {
    std::vector<WavCleanEntry> entries;
    int deleted = 0;
    int failed = 0;  // files that stayed, and folders that could not be entered
    bool complete() const { return failed == 0; }
};

// Deletes the WAV and WMA files of the boxes, answering-machine boxes first: progress 1 once
// they are done, 2 after the extension boxes. Only files directly in each box folder go;
// a file that is a symbolic link is removed as a link, its target stays. A box or kind
// folder that is a symbolic link, or a box name that would leave its folder, is refused.
// A box folder that no longer exists has nothing to delete.
WavCleanResult deleteBoxWavFiles(const std::string& boxFolder, const std::vector<WavBox>& boxes,
                                 ProgressSink* progress);
// The same for the response folder boxFolder/outou; progress 2 afterwards.
WavCleanResult deleteResponseWavFiles(const std::string& boxFolder, ProgressSink* progress);

// What the user is told afterwards (caption "消去完了" or "エラー").
extern const char16_t* const kWavCleanDone;
extern const char16_t* const kWavCleanDoneCaption;
extern const char16_t* const kWavCleanIncomplete;

}  // namespace voxmg::audio
