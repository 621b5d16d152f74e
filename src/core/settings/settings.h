#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/base/fixed_text.h"
#include "core/base/profile_file.h"

namespace voxmg {

// The settings block: the in-memory mirror of VOXMG.ini, held by the document for the life
// of the main frame. Dialogs change the block; the file is written at exit (display columns
// and auto-delete selections excepted, which are written at once).
//
// The on/off switches are bools here; the file holds them as integers, and a switch is on only
// when its key holds 1 (the Windows program compares with 1). Saving keeps any other value the
// file holds while the switch still means the same, so an unchanged block never rewrites them.
struct Settings {
    // LOGIN
    FixedText<15> ip;
    FixedText<16> user;
    FixedText<16> pass;
    bool check = false;  // CHECK: the login is remembered between runs
    int port = 0;        // our extension: 0 = the services database's "ftp" port

    // FOLDER
    FixedText<259> folder;  // data root folder, ends with "/" when not empty
    int init = 0;           // INIT: 1 = open the start-up folder below, 0 = the folder used last time
    FixedText<259> nextFolder;
    FixedText<259> nextFolderName;
    int change = 0;  // CHANGE: 1 = the start-up folder was set this run, takes over at the next start

    // DISP
    FixedText<259> folderName;  // current box folder
    int num = 0;                // list windows open at exit
    std::array<FixedText<4095>, 4> disp;
    std::array<FixedText<259>, 4> folderNames;
    std::array<FixedText<6>, 13> columns;
    std::array<FixedText<6>, 13> delColumns;

    // CONVERT
    bool downConv = false;  // DOWNCONV: voice data is converted to WAV while downloading
    bool convDel = false;   // CONVDEL: the WAV file is deleted after playing

    // EXPORT, IMPORT, CODEC
    FixedText<259> exportPath;
    FixedText<259> exportName;
    FixedText<259> importPath;
    FixedText<259> importName;
    FixedText<259> sysAddFolder;
    int levelWavOr = 0;  // LEVELRVWAVOR: WAV import gain
    int levelWmaOr = 0;  // LEVELRVWMAOR: WMA import gain
    int levelOrWav = 0;  // LEVELRVORWAV: conversion to WAV gain

    // BACKUP: the automatic backup's schedule and its last and next run
    int hindo = 0;           // HINDO: how often: 0 = never, 1 = daily, 2 = weekly, 3 = monthly
    int youbi = 0;           // YOUBI: weekday of a weekly backup, 0 = Sunday
    int hi = 1;              // HI: day of the month of a monthly backup, 1..31
    int jikokuHH = 0;        // JIKOKUHH: hour of the backup
    int jikokuMM = 0;        // JIKOKUMM: minute of the backup
    FixedText<13> zenkaiBi;  // ZENKAIBI: when the last backup ran, YYYYMMDDhhmm
    int zenkaiKa = 0;        // ZENKAIKA: how it ended: 0 = never ran, 1 = success, 2 = failure
    FixedText<13> yoteiBi;   // YOTEIBI: when the next backup is due, YYYYMMDDhhmm
    int retryCnt = 3;        // RETRYCNT: tries of one backup run
    int retryWait = 60000;   // RETRYWAIT: milliseconds between the tries

    // Download, WavSave
    bool always = false;         // Download/Always: new messages are downloaded in the background
    bool wavSaveEnable = false;  // WavSave/Enable: WAV files go to wavSavePath, not beside the voice
    FixedText<259> wavSavePath;

    // Our extensions, written back only when they differ from their defaults (or the file
    // held another value): the built-in player pane is shown (PLAYER/PANE), "再生" plays in
    // it (PLAYER/BUTTON), always-download tells of new messages (Download/Notice).
    bool playerPane = false;
    bool playerButton = false;
    bool newMessageNotice = true;
};

// The run-time copy of the login values the connection uses. The login dialog fills it even
// when the values are not to be remembered; the automatic backup copies the persistent ones
// into it before it logs in.
struct LoginValues {
    FixedText<15> ip;
    FixedText<16> user;
    FixedText<16> pass;
    int port = 0;
};

Settings loadSettings(const ProfileFile& file);
// Writes every key except COLUM/DELCOLUM in the file's order, applying the CHANGE rules.
void saveSettings(const Settings& settings, ProfileFile& file);

// The file in the settings folder (paths::settingsFolder). VOXMG.ini holds a password: a new
// file is created 0600.
std::string settingsFilePath(const std::string& programFolder);
constexpr mode_t kSettingsFileMode = 0600;

// Display columns: all 26 keys are emptied first, then the shown and hidden column names
// are written in order and copied into the block. Written at once, not at exit.
void writeDisplayColumns(ProfileFile& file, Settings& settings, const std::vector<std::u16string>& shown,
                         const std::vector<std::u16string>& hidden);

// Auto-delete box selections: sections "rusuroku" and "naisen", key = box folder name,
// value "1" or "0", read with default 0.
bool readAutoDelete(const ProfileFile& file, std::u16string_view kind, std::u16string_view box);
void writeAutoDelete(ProfileFile& file, std::u16string_view kind, std::u16string_view box, bool on);

}  // namespace voxmg
