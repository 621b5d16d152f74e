#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/base/flags.h"
#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/device/bulk_download.h"

namespace voxmg {
class CFtpMng;
}

// "消去" on the selected messages of a list: on the main unit, on the PC, or both. The rows
// are given as the paths their records name; everything else is read from the files, so a
// protection set in another window since the list was built still holds.
namespace voxmg::delete_op {

enum class DeleteKind { UnitOnly = 0, Both = 1, PcOnly = 2 };

// What happened to one row. The summary folds them into the three marks the messages name:
// Protected, WrongBox and Gone are "no message or protected".
enum class RowOutcome {
    Deleted,
    Protected,      // never deleted on either side
    WrongBox,       // the file name carries another box than its folder
    Gone,           // the main unit has no such message (550, or not listed)
    NotDownloaded,  // no complete voice file here: the main unit's copy is the only one
    InUse,          // the main unit answered 450
    CommError,      // the connection failed; the operation stopped here
    CannotWrite,    // the PC's folder refused the deletion (read-only, another user's)
    Skipped,        // nothing to do (an empty response slot), or not reached
};

struct RowResult {
    std::string path;
    RowOutcome outcome = RowOutcome::Skipped;
};

struct DeleteResult {
    std::vector<RowResult> rows;
    UserMessage summary;
    bool success = false;         // the full-success text
    bool connectionLost = false;  // the connection was closed: the caller logs out
    bool interrupted = false;     // an automatic backup took over: no summary
    int deleted = 0;              // rows with something deleted
};

struct DeleteRequest {
    std::vector<std::string> paths;  // in list order
    DeleteKind kind = DeleteKind::PcOnly;
    bool responseList = false;
    // Asked after each message deleted on the PC only: true when an automatic backup that fell
    // due takes over, which ends the delete there.
    std::function<bool()> interrupt{};
};

// Runs the delete. `ftp` may be null for PcOnly. The always-download worker is paused for the
// whole run. Progress: range 3 steps a row (6 for Both), position after each step.
DeleteResult run(const DeleteRequest& request, CFtpMng* ftp, Flags& flags, const Pump& pump,
                 ProgressSink* progress);

// The box a file name belongs to: the 4 characters that start its last 16, without a leading
// "R", "_" read as a blank, trailing blanks dropped ("R001" -> "001", "201_" -> "201").
std::string boxOfFileName(const std::string& fileName);

// The remote file the main unit part deletes for a local message path; empty when the path
// names no message this part may touch.
std::string remotePathOf(const std::string& localPath, bool responseList);

}  // namespace voxmg::delete_op
