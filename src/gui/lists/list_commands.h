#pragma once

class FrameHost;
class ListWindows;

// Hooks the list windows into the main frame: the start-up restore creates real list
// windows, "ボックス" opens a new one, "全表示" and "未ﾀﾞｳﾝﾛｰﾄﾞ表示" act on the active list,
// and the status line and command bar follow the active list's counts and selection.
void installListCommands(FrameHost& frame, ListWindows& lists);
