#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace voxmg::fileio {

// Calls `visit(name, isFolder)` for each entry of a folder in the order the file system
// returns them, "." and ".." left out; `visit` returns false to stop. False when the folder
// cannot be read.
bool walkFolder(const std::string& folder,
                const std::function<bool(std::string_view name, bool isFolder)>& visit);

}  // namespace voxmg::fileio
