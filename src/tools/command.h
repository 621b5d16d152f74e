#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// voxmgctl subcommands register themselves from their own files, one file per subsystem.
namespace voxmg::tools {

using Args = std::vector<std::string>;

// What a verb writes: the data folders whose lock it holds while it runs.
enum class Writes {
    Nothing,         // reads only, or talks to the main unit alone
    Messages,        // the data folders of the message files it is given
    MarkedMessages,  // the same when --mark is given, else nothing
    Root,            // the data folder given with --root
    Backup,          // --root, else the FOLDER of the settings it reads
};

struct Command {
    std::string name;                          // first word on the command line ("settings", "inspect", ...)
    std::string usage;                         // one line for the help text
    std::function<int(const Args& args)> run;  // args after the name; returns the exit code
    // The options that take a value. The verb's own parser and the lock both read this one list,
    // so an option's value is never taken for a message file (and the wrong folder locked).
    std::vector<std::string> valued = {};
    Writes writes = Writes::Nothing;
};

std::vector<Command>& commandTable();

struct CommandRegistrar {
    explicit CommandRegistrar(Command command) { commandTable().push_back(std::move(command)); }
};

// Helpers for the small argument parsers of the subcommands.
// The value after `--name`, or empty; `present` tells whether the flag was there.
std::string optionValue(const Args& args, const std::string& name, bool* present = nullptr);
bool hasFlag(const Args& args, const std::string& name);
// The --gain value in dB: 0 when it is not given, nothing when it is not an integer.
std::optional<int> gainOption(const Args& args);
// The password of --password-file: its first line, so it shows neither in the process list
// nor in the shell history. False when the file cannot be read.
bool readPasswordFile(const std::string& path, std::string& password);
// Arguments that are neither options nor option values (options named in `valued` take one).
std::vector<std::string> positional(const Args& args, const std::vector<std::string>& valued);

}  // namespace voxmg::tools
