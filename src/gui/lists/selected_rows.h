#pragma once

#include <string>
#include <vector>

#include "core/device/bulk_download.h"

class FrameHost;
class CListDispView;

// What the operations on selected rows share: the paths they work on and how their summary
// is shown.

// The paths of the selected rows in list order (empty for an empty response slot); nothing,
// after telling the user, when there is nothing to work on.
std::vector<std::string> selectedPaths(FrameHost& frame, CListDispView& view);

// A summary of the core in a message box over the frame: information or warning icon.
void showUserMessage(FrameHost& frame, const voxmg::UserMessage& message);
