#pragma once

#include <functional>
#include <string_view>

namespace voxmg {

// Diagnostic trace lines (always-download, network folder, ...). They are formatted but never
// shown to the user; the gui routes them to a logging category that is off by default.
using TraceSink = std::function<void(std::string_view line)>;

void setTraceSink(TraceSink sink);
void trace(std::string_view line);

}  // namespace voxmg
