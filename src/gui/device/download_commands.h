#pragma once

class FrameHost;
class DownloadRunner;

// The download commands of the frame: "一括ﾀﾞｳﾝﾛｰﾄﾞ" (download kind dialog) and "選択ﾀﾞｳﾝﾛｰﾄﾞ"
// (box selection dialog), both only while logged in with a box folder chosen, and the
// settings menu's automatic deletion choice. `downloads` runs what the dialogs start.
void installDownloadCommands(FrameHost& frame, DownloadRunner& downloads);
