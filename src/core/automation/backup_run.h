#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "core/automation/backup_schedule.h"
#include "core/base/flags.h"
#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/device/bulk_download.h"
#include "core/device/ftp_mng.h"
#include "core/store/file_io.h"

namespace voxmg {
struct Settings;
}

// One automatic backup run: log in (with retries), list the main unit's boxes, count, copy every
// box and the response messages into the backup month folders, log out.
namespace voxmg::backup {

// What the run shows. The program implements it with its progress dialog and message boxes;
// the tool and the tests record.
class BackupUi {
public:
    virtual ~BackupUi() = default;
    // The progress dialog shown; its sink gets the range (messages + 2) and a step per file.
    virtual ProgressSink* openProgress() = 0;
    virtual void closeProgress() = 0;
    virtual void show(const UserMessage& message) = 0;
};

struct BackupRequest {
    std::string dataRoot;      // BU_ folders are made here
    std::string boxFolder;     // current box folder: its automatic deletion goes off on 555
    std::string settingsPath;  // where the automatic deletion selections are kept
    FtpLogin login;
    int retryCount = 3;                          // RETRYCNT, at least 1
    std::chrono::milliseconds retryWait{60000};  // RETRYWAIT, at least 10 s
    bool interactive = false;                    // the user confirmed: failures are shown
    std::tm now{};                               // the run's time: months and records
    std::string lastRun;                         // ZENKAIBI: decides the month range
    // Waits before a retry; false when the cancel-all flag ended the wait. The default pumps and
    // sleeps 10 ms per 15 ms of the wait.
    std::function<bool(std::chrono::milliseconds)> wait;
    // The writes of the month records; the real file system when null.
    fileio::Writes* recordWrites = nullptr;
};

struct BackupResult {
    bool success = false;
    bool cancelled = false;
    EngineResult code = EngineResult::Done;  // the copy's result
    bool autoDeleteUnsupported = false;      // the main unit refused automatic deletion
    int total = 0;                           // files counted on the main unit
    MonthRange range;
    std::vector<BoxOutcome> boxes;
};

// Runs the backup. The month folders of the range are marked incomplete before anything is
// copied and complete only when every box and the response messages were copied, so a run that
// dies half-way is repeated from the same month next time. A mark that cannot be written (a full
// disk) ends the run before anything is copied, as DiskFull. The user is logged out afterwards.
BackupResult runBackup(CFtpMng& ftp, Flags& flags, BackupUi& ui, const BackupRequest& request,
                       const Pump& pump);

// The backup run's request filled from the settings block: data root, box folder, login,
// retries, the month range of ZENKAIBI.
BackupRequest requestFromSettings(const Settings& settings, const std::string& settingsPath,
                                  const std::tm& now);

// What follows a run: ZENKAIKA (1 succeeded, 2 failed) and ZENKAIBI = now; YOTEIBI moves to the
// next occurrence unless the run failed and `keepDueOnFailure` (a run at exit stays due).
void recordRun(Settings& settings, bool success, const std::tm& now, bool keepDueOnFailure);

namespace backup_text {
inline constexpr char16_t kDone[] = u"バックアップが完了しました。";
inline constexpr char16_t kDoneCaption[] = u"バックアップ完了";
}  // namespace backup_text

}  // namespace voxmg::backup
