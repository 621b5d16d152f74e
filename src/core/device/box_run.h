#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/base/progress.h"
#include "core/device/download_env.h"

namespace voxmg {

// One run of the box download over a detailed listing, shared by the user, worker, response
// and backup variants; they differ in where each file goes and which files they take.
struct BoxRun {
    std::string remoteDir;
    ProgressSink* progress = nullptr;  // null: nothing shown (worker, background)
    bool byWorker = false;
    bool refresh = false;
    bool response = false;                 // response messages: their own record builder, no deletion
    const BackupTarget* backup = nullptr;  // backup runs: step-only progress, incomplete marking
    std::string spaceFolder;               // where free space is measured; empty = the destination

    // The local folder of a listed file; empty passes the file over.
    std::function<std::string(const std::string& name)> destination;
    // Whether to take a listed file at all (after it has been noted for the deletion check).
    std::function<bool(const std::string& name)> accept;

    // Filled while running.
    std::string lastVoice;
    bool lastVoiceRetrieved = false;
    int voiceCount = 0;
};

}  // namespace voxmg
