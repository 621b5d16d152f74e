#pragma once

#include <functional>

#include "core/app/doc.h"
#include "core/base/flags.h"
#include "core/base/pump.h"

class UserMessages;
class Choosers;

// Timer intervals; the defaults are the program's, tests shorten them.
struct Timings {
    int livenessMs = 12000;        // timer 1: connection probe and idle count
    int scheduleMs = 5000;         // timer 2: automatic backup due check
    int dialogScheduleMs = 10000;  // timer 10 of the modal dialogs
    int loginCheckMs = 1000;       // download dialogs: logged-in check
    int backupConfirmMs = 600000;  // the backup confirmation starts the backup by itself
    int dataLockWaitMs = 1000;     // how long an operation waits for a script's data-folder lock
};

// The backup hand-off flags of the frame.
struct ScheduleState {
    bool checkEnabled = true;  // timers 2 and 10 are re-armed only while set
    bool backupRequest = false;
    bool backupRunning = false;
    bool confirmedInteractively = false;  // a user said yes: completion and errors are shown
};

// What the automation adds to the frame's steps. Until it is installed they do nothing.
struct AutomationHooks {
    // After a command, the schedule timer and a dialog closed for a due backup.
    std::function<void()> runPendingBackup = [] {};
    // The exit sequence: the backup the exit confirmation asked for, then the worker's end.
    std::function<void()> runExitBackup = [] {};
    std::function<void()> stopWorker = [] {};
    // The exit sequence: the mail sender ends (the mail under way finishes, the rest waits).
    std::function<void()> stopMail = [] {};
    // Login, logout, box folder or lists changed: the always-download worker reads them anew.
    std::function<void()> stateChanged = [] {};
};

// What the frame shares with its dialogs.
struct AppContext {
    voxmg::CVOXMGDoc& doc;
    voxmg::Flags& flags;
    UserMessages& messages;
    Choosers& choosers;
    Timings timings;
    ScheduleState schedule;
    // Runs one pending event; what blocking waits call so the windows stay live.
    voxmg::Pump pump;
    // The automatic backup's due check and its confirmation with countdown; until the backup
    // exists nothing is ever due.
    std::function<bool()> backupDue = [] { return false; };
    std::function<bool()> offerBackup = [] { return false; };
    AutomationHooks automation{};
};

// "Dispatch at most one pending event" on the UI thread.
voxmg::Pump uiPump();
