#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/device/bulk_download.h"
#include "core/store/file_io.h"

// Import of extension box names from the telephone system's extension phone book, a CP932
// CSV file: line 1 free text, line 2 the header "収容位置,内線番号,内線名称,ヨミガナ", then one
// line per extension: position, extension number, extension name, reading. Each name goes
// into NAME of the inf.ini of the extension box folder of that number, when the folder exists.
//
// The whole file is read first, so each box is written once with the name of its last line,
// however often a large directory repeats an extension. Before a box's inf.ini is changed it is
// copied to inf.tmp beside it, once per run (a box without one gets an inf.tmp with an empty
// NAME), and every copy is on the disk before the first name is written. A cancelled or failed
// import moves every copy back; a completed one deletes them. Copies left by an import that
// never finished (a kill, a power loss) are moved back when the next import starts, so the
// boxes come back to their last complete state; an import killed while it deleted its copies
// had written every name, and the next one finishes the deletion instead.
namespace voxmg::name_import {

enum class ImportResult { Failed = 0, Done = 1 };

struct ImportRequest {
    std::string source;     // the phone book file
    std::string boxFolder;  // data root + current box folder name
    // Asked before each line; true ends the import and restores every box changed so far.
    std::function<bool()> cancelRequested{};
    // Every write, flush and rename of the box files; the real file system when null.
    fileio::Writes* writes = nullptr;
};

struct ImportedName {
    std::string box;  // the extension number: the box subfolder's name
    std::u16string name;
};

struct ImportOutcome {
    ImportResult result = ImportResult::Failed;
    bool completed = false;  // every name written: the copies are gone and the names stay
    // The lines imported, in file order (also when cancelled); empty when the import failed.
    std::vector<ImportedName> names;
    UserMessage summary;  // failure or completion; empty when cancelled
};

// Runs the import. Progress: range = file length / 25, one step per data line, the maximum
// when complete. The pump runs once per line and once per box written so a Cancel button is
// seen. A write that fails (a full disk) fails the import: every box is put back.
ImportOutcome run(const ImportRequest& request, ProgressSink* progress, const Pump& pump);

// One data line (CP932 bytes without its line end): the extension number and name, from the
// second and third fields. Nothing for a line with fewer than three commas, as the phone book
// always ends the name with one, or whose fields hold control characters.
struct PhoneBookEntry {
    std::string number;  // UTF-8, as the box subfolder is named
    std::u16string name;
};
std::optional<PhoneBookEntry> parseLine(std::string_view line);

// Moves every inf.tmp of the extension boxes back over its inf.ini, and removes the work files
// an interrupted import left. False when a copy could not be moved back (it stays for the next
// run). Only for an operation that holds the data folder's lock.
bool restoreCopies(const std::string& boxFolder, const Pump& pump,
                   fileio::Writes& writes = fileio::systemWrites());
void deleteCopies(const std::string& boxFolder);

}  // namespace voxmg::name_import
