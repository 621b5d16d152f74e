#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/base/profile_file.h"

// The box rows the download and automatic deletion dialogs show, and the automatic deletion
// selection they write.
namespace voxmg::box_rows {

constexpr std::u16string_view kRusuroku = u"rusuroku";
constexpr std::u16string_view kNaisen = u"naisen";

// True when the folder holds a subfolder whose name contains "rusuroku" and one whose name
// contains "naisen".
bool isBoxFolder(const std::string& path);

// The box subfolders of boxFolder/kind that came from the main unit (boxes the user made on
// the PC, MAKE = 1 in their inf.ini, are left out), sorted by name so the rows come in the
// order a Windows folder listing gave them.
std::vector<std::u16string> mainUnitBoxes(const std::string& boxFolder, std::u16string_view kind);

// One selection per box: section `kind`, key = box name, "1" or "0".
using Selection = std::vector<std::pair<std::u16string, bool>>;
void writeAutoDeleteSelection(ProfileFile& file, std::u16string_view kind, const Selection& rows);

}  // namespace voxmg::box_rows
