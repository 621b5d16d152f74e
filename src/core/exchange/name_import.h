#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/device/bulk_download.h"

// Import of extension box names from the telephone system's extension phone book, a CP932
// CSV file: line 1 free text, line 2 the header "収容位置,内線番号,内線名称,ヨミガナ", then one
// line per extension: position, extension number, extension name, reading. Each name goes
// into NAME of the inf.ini of the extension box folder of that number, when the folder exists.
//
// Before an inf.ini is changed it is copied to inf.tmp beside it (a box without one gets an
// inf.tmp with an empty NAME). A cancelled import moves every copy back; a completed one
// deletes them. Leftover copies of an import that never finished are moved back before a
// refused file is reported, so the boxes come back to their last complete state.
namespace voxmg::name_import {

enum class ImportResult { Failed = 0, Done = 1 };

struct ImportRequest {
    std::string source;     // the phone book file
    std::string boxFolder;  // data root + current box folder name
    // Asked before each line; true ends the import and restores every box changed so far.
    std::function<bool()> cancelRequested{};
};

struct ImportedName {
    std::string box;  // the extension number: the box subfolder's name
    std::u16string name;
};

struct ImportOutcome {
    ImportResult result = ImportResult::Failed;
    bool completed = false;           // every line read: the copies are gone and the names stay
    std::vector<ImportedName> names;  // what was written, in file order (also when cancelled)
    UserMessage summary;              // failure or completion; empty when cancelled
};

// Runs the import. Progress: range = file length / 25, one step per data line, the maximum
// when complete. The pump runs once per line so a Cancel button is seen.
ImportOutcome run(const ImportRequest& request, ProgressSink* progress, const Pump& pump);

// One data line (CP932 bytes without its line end): the extension number and name, from the
// second and third fields. Nothing for a line with fewer than three commas, as the phone book
// always ends the name with one, or whose fields hold control characters.
struct PhoneBookEntry {
    std::string number;  // UTF-8, as the box subfolder is named
    std::u16string name;
};
std::optional<PhoneBookEntry> parseLine(std::string_view line);

// Moves every inf.tmp of the extension boxes back over its inf.ini, and deletes them.
void restoreCopies(const std::string& boxFolder, const Pump& pump);
void deleteCopies(const std::string& boxFolder);

}  // namespace voxmg::name_import
