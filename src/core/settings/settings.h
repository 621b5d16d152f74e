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
struct Settings {
    // LOGIN
    FixedText<15> ip;
    FixedText<16> user;
    FixedText<16> pass;
    int check = 0;
    int port = 0;  // our extension: 0 = the services database's "ftp" port

    // FOLDER
    FixedText<259> folder;  // data root folder, ends with "/" when not empty
    int init = 0;
    FixedText<259> nextFolder;
    FixedText<259> nextFolderName;
    int change = 0;

    // DISP
    FixedText<259> folderName;  // current box folder
    int num = 0;                // list windows open at exit
    std::array<FixedText<4095>, 4> disp;
    std::array<FixedText<259>, 4> folderNames;
    std::array<FixedText<6>, 13> columns;
    std::array<FixedText<6>, 13> delColumns;

    // CONVERT
    int downConv = 0;
    int convDel = 0;

    // EXPORT, IMPORT, CODEC
    FixedText<259> exportPath;
    FixedText<259> exportName;
    FixedText<259> importPath;
    FixedText<259> importName;
    FixedText<259> sysAddFolder;
    int levelWavOr = 0;  // LEVELRVWAVOR: WAV import gain
    int levelWmaOr = 0;  // LEVELRVWMAOR: WMA import gain
    int levelOrWav = 0;  // LEVELRVORWAV: conversion to WAV gain

    // BACKUP
    int hindo = 0;
    int youbi = 0;
    int hi = 1;
    int jikokuHH = 0;
    int jikokuMM = 0;
    FixedText<13> zenkaiBi;
    int zenkaiKa = 0;
    FixedText<13> yoteiBi;
    int retryCnt = 3;
    int retryWait = 60000;

    // Download, WavSave
    int always = 0;
    int wavSaveEnable = 0;
    FixedText<259> wavSavePath;

    // Our extensions, written back only when they differ from their defaults (or the file
    // held another value): the built-in player pane is shown (PLAYER/PANE), "再生" plays in
    // it (PLAYER/BUTTON), always-download tells of new messages (Download/Notice).
    int playerPane = 0;
    int playerButton = 0;
    int newMessageNotice = 1;
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
