#pragma once

#include <string>

#include "tools/command.h"

// The data-folder lock of the verbs that change a data folder: taken once for the whole verb,
// so a script and the window (or two scripts) never write into one data folder together.
namespace voxmg::tools {

// Option of every verb: how long to wait for another operation's lock, in seconds.
inline constexpr const char* kWaitOption = "--wait";
inline constexpr int kDefaultWaitSeconds = 60;

// The data folder `verb` changes with these arguments; empty for verbs that only read the
// data folder or only talk to the main unit.
std::string changedDataFolder(const std::string& verb, const Args& args);

// Runs the command with `--wait SECONDS` taken out of its arguments, holding the lock of the
// folder it changes. Exit 2 with a message when another operation holds it for the whole wait.
int runHoldingDataLock(const Command& command, const Args& args);

}  // namespace voxmg::tools
