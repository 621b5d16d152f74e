#pragma once

class FrameHost;

// "移動・コピー" on the selected rows of the active box list.
void installMoveCopyCommands(FrameHost& frame);
