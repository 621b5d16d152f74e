#pragma once

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

// "アップロード": the selected response messages go to the main unit's /outou directory, the
// main unit's bytes only (the record in front stays on the PC). Each record's played-on-PC
// byte says afterwards whether its message is on the main unit ("済み" in the list).
namespace voxmg::response_upload {

enum class RowOutcome {
    Uploaded,
    Refused,    // the main unit answered 450: in use, full, or it holds a newer message
    Missing,    // the file is gone or too short to hold a message
    CommError,  // the transfer broke or the main unit answered otherwise; the run stopped here
    Cancelled,  // the user cancelled during this row
    Skipped,    // an empty slot, or not reached
};

struct RowResult {
    std::string path;
    RowOutcome outcome = RowOutcome::Skipped;
};

struct UploadResult {
    std::vector<RowResult> rows;
    UserMessage summary;          // none after a cancel or an interruption
    bool success = false;         // the completion text
    bool connectionLost = false;  // the connection was closed: the caller logs out
    bool cancelled = false;
    bool interrupted = false;  // an automatic backup took over
    int uploaded = 0;
};

struct UploadRequest {
    std::vector<std::string> paths;  // the selected rows' paths in list order; empty for an empty slot
    // Asked after each row: true when an automatic backup that fell due takes over.
    std::function<bool()> interrupt{};
};

// Runs the upload with the always-download worker paused. Progress: range = rows, position
// after each row.
UploadResult run(const UploadRequest& request, CFtpMng& ftp, Flags& flags, const Pump& pump,
                 ProgressSink* progress);

}  // namespace voxmg::response_upload
