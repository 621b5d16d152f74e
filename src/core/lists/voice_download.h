#pragma once

#include <string>
#include <vector>

#include "core/base/flags.h"
#include "core/base/paths.h"
#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/device/bulk_download.h"

namespace voxmg {
class CFtpMng;
}

// "音声ﾃﾞｰﾀﾀﾞｳﾝﾛｰﾄﾞ": the voice data files of selected messages whose recording info alone
// is on the PC, fetched into their box folders.
namespace voxmg::voice_download {

enum class RowOutcome {
    Fetched,
    AlreadyDeleted,  // the main unit no longer lists the voice file
    NoSpace,
    Failed,     // communication error or a failed conversion; the run stopped here
    Malformed,  // the main unit's file is no message: left there, passed over
    NotReached,
};

struct RowResult {
    std::string path;
    RowOutcome outcome = RowOutcome::NotReached;
};

struct FetchResult {
    std::vector<RowResult> rows;
    std::vector<UserMessage> messages;  // none when cancelled
    bool success = false;               // the full-success text
    bool refreshList = true;
    bool connectionLost = false;  // the connection was closed: the caller logs out
    bool cancelled = false;
};

// Fetches the voice of each row (a record path, ".vminf" or ".vmdat") in order. The free space
// of each box folder is read through `freeSpace`. The always-download worker is paused for the
// whole run.
FetchResult run(const std::vector<std::string>& paths, CFtpMng& ftp, Flags& flags, const Pump& pump,
                ProgressSink* progress, const FreeSpaceProbe& freeSpace = systemFreeSpaceProbe());

}  // namespace voxmg::voice_download
