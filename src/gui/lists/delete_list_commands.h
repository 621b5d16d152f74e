#pragma once

class FrameHost;

// "消去" and "音声ﾃﾞｰﾀﾀﾞｳﾝﾛｰﾄﾞ" on the selected rows of the active list.
void installDeleteCommands(FrameHost& frame);
