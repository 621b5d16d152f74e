#pragma once

#include <string>
#include <vector>

#include "core/device/bulk_download.h"

class CListDispView;
class FrameHost;

// What the operations on selected rows share.

// The paths of the selected rows in list order; empty (after telling the user) when there is
// nothing to work on.
std::vector<std::string> selectedPaths(FrameHost& frame, CListDispView& view);

// A summary of the core in a message box over the frame.
void showMessage(FrameHost& frame, const voxmg::UserMessage& message);
