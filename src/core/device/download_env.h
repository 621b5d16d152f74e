#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "core/base/paths.h"
#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"

namespace voxmg {

// The settings the engines read, copied from the settings block when a run starts: an engine
// run by the always-download worker must never read the block the UI thread writes.
struct DownloadSettings {
    bool convertOnDownload = false;  // DOWNCONV
    int wavGain = 0;                 // LEVELRVORWAV
    bool wavSaveEnable = false;      // WavSave: WAV files into their own folder
    std::string wavSavePath;
};

// What the download engines need from the rest of the program. The program builds it from
// the settings and the conversion engine (makeDownloadEnv); tests fill in what they need.
struct DownloadEnv {
    DownloadSettings settings;
    FreeSpaceProbe freeSpace = systemFreeSpaceProbe();
    std::string programFolder;  // local folder when an engine is given none (paths::settingsFolder)

    // Converts one voice data file to WAV (NotDone: nothing left behind); `cancel` is the cancel
    // the engine's caller runs under (the user's cancel-all, or the worker's box cancel).
    std::function<FileOp(const std::string& voicePath, const DownloadSettings& settings,
                         ProgressSink* progress, std::atomic<int>& cancel)>
        convertToWav;
    // Where the WAV file of a voice data file goes (beside it, or the WAV save folder).
    std::function<std::string(const std::string& voicePath, const DownloadSettings& settings)> wavPathFor;

    // The box's automatic deletion selection; read each time a box is finished.
    std::function<bool(std::string_view kind, std::string_view box)> autoDeleteSelected =
        [](std::string_view, std::string_view) { return false; };

    // The writes that store downloaded messages; tests fail them to play a full disk.
    fileio::Writes* writes = &fileio::systemWrites();

    // Asks the main frame to reload the lists that show this box (always-download worker).
    std::function<void(const std::string& remoteDir)> refreshRequest;

    // A message this run has just stored complete under its final names (box downloads by the
    // user, the always-download worker and the selected download; not backups or response
    // messages). Called on the engine's thread: it must be quick and must not fail the run.
    std::function<void(const std::string& voicePath)> messageStored;
};

// Where a backup run puts what it downloads: month folders "BU_YYYYMM" under the data root,
// of which only months from the target month to the current month are taken.
struct BackupTarget {
    std::string dataRoot;
    std::array<std::string, 3> monthFolders;  // two months ago, last month, this month
    std::string targetMonth;                  // "YYYYMM"
    std::string currentMonth;                 // "YYYYMM"
    std::function<void()> markIncomplete = [] {};
};

}  // namespace voxmg

namespace voxmg {
struct Settings;
struct Flags;
namespace audio {
class DecodingEngine;
}

DownloadSettings downloadSettingsOf(const Settings& settings);

// The engines' environment as the program runs them: a copy of the settings they read,
// conversions on the program's decoding engine, the automatic deletion selections read from
// the settings file each time.
DownloadEnv makeDownloadEnv(const Settings& settings, std::string settingsPath,
                            audio::DecodingEngine& decoder, Flags& flags, Pump pump,
                            std::string programFolder);
}  // namespace voxmg
