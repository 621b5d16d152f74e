#pragma once

#include <string>
#include <vector>

#include "tools/command.h"

// The data-folder lock of the verbs that change a data folder: taken once for the whole verb,
// so a script and the window (or two scripts) never write into one data folder together.
namespace voxmg::tools {

// Option of every verb: how long to wait for another operation's lock, in seconds.
inline constexpr const char* kWaitOption = "--wait";
inline constexpr int kDefaultWaitSeconds = 60;

// The data folders `command` changes with these arguments, each once, in the order they are
// locked (by device and inode, the same in every process, so two runs never wait on each
// other); empty for verbs that only read or only talk to the main unit.
std::vector<std::string> changedDataFolders(const Command& command, const Args& args);

// Runs the command with `--wait SECONDS` taken out of its arguments, holding the locks of the
// folders it changes. Exit 2 with a message when another operation holds one for the whole
// wait, or when a lock file cannot be used.
int runHoldingDataLock(const Command& command, const Args& args);

}  // namespace voxmg::tools
