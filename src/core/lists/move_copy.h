#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/base/flags.h"
#include "core/base/paths.h"
#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/device/bulk_download.h"

// "移動・コピー": the selected messages of a box list go to another box of the same box folder.
// Purely local: a message's recording info, voice data and WAV file, in that order.
//
// A move never leaves a message torn between two boxes, even when the program is killed half
// way: the files are first linked into the destination box (across file systems copied, synced
// and named there), the last of them (the WAV file) renamed there, and only when all of them
// are there are the other source names removed, the recording info first. Whatever moment a kill hits, the
// source box still lists the whole message, or the destination box does; at worst both do (the same files
// under two names), never neither. A copy appears under its name only once it is complete.
//
// The next run finishes what a killed one left: a message whose recording info already left the
// source box while the destination holds it whole is finished (the source names go); files set
// aside for an overwrite go back or go once the run enters their box; what a killed copy left
// (a recording info without its voice data) is replaced without a question. Taking back a
// message only ever removes names this run made.
namespace voxmg::move_copy {

enum class Mode { Move, Copy };

// The answers of the overwrite question "ﾌｧｲﾙ上書きの確認".
enum class Overwrite {
    Yes = 0,     // "はい": this file and the rest of this message
    All = 1,     // "全て上書き": every clash of this operation
    No = 2,      // "いいえ": leave this message where it was
    Cancel = 3,  // "キャンセル": stop the whole operation
};

enum class RowOutcome {
    Done,           // every file of the message is in the destination box
    Declined,       // いいえ: left as it was; counts as done
    SameBox,        // already in the destination box: nothing to do; counts as done
    NotDownloaded,  // info only, or the voice data or recording info file is missing
    NoSpace,        // the destination's disk is full; the operation stopped here
    Failed,         // the file system refused; the operation stopped here
    Cancelled,      // cancel, キャンセル or a backup taking over in this message
    NotReached,
};

struct RowResult {
    std::string path;
    RowOutcome outcome = RowOutcome::NotReached;
};

struct MoveCopyResult {
    std::vector<RowResult> rows;
    UserMessage summary;       // none when cancelled or interrupted
    bool success = false;      // the full-success text
    bool cancelled = false;    // cancel or キャンセル: no summary
    bool interrupted = false;  // an automatic backup took over: no summary
    int done = 0;              // rows that count as done
};

struct MoveCopyRequest {
    std::vector<std::string> paths;  // the voice data paths of the selected rows, in list order
    std::string boxFolder;           // the current box folder (data root + box folder name)
    std::string destinationBox;      // "rusuroku/NAME" or "naisen/NAME"
    Mode mode = Mode::Move;
    // Asked on a clash with the text "このﾌｫﾙﾀﾞには既に %s ﾌｧｲﾙが存在します。". Without it
    // every clash is answered いいえ.
    std::function<Overwrite(const std::u16string& text)> askOverwrite{};
    // Asked after each file: true when an automatic backup that fell due takes over.
    std::function<bool()> interrupt{};
    FreeSpaceProbe freeSpace = systemFreeSpaceProbe();
    // The rename that never replaces a name (renameat2 with RENAME_NOREPLACE): 0 or an errno.
    // Empty: the system's. A file system without it answers EINVAL, and the run links instead.
    std::function<int(const std::string& from, const std::string& to)> renameNoReplace{};
};

// Runs the move or copy. The always-download worker is paused for the whole run; cancelAll
// is cleared at the start and read after each file. Progress: range 3 steps a row.
MoveCopyResult run(const MoveCopyRequest& request, Flags& flags, const Pump& pump, ProgressSink* progress);

// The destination box folder, or empty when `destinationBox` is not "rusuroku/NAME" or
// "naisen/NAME" with a NAME that stays in its folder.
std::string destinationFolder(const std::string& boxFolder, const std::string& destinationBox);

}  // namespace voxmg::move_copy
