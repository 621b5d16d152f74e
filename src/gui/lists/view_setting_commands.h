#pragma once

class FrameHost;
class ListWindows;

// "選択表示" on the active list, the column setting of the box lists ("録音情報一覧の表示項目の
// 追加と消去...") and the CSV export of the active list ("一覧表をエクスポートする...").
void installViewSettingCommands(FrameHost& frame, ListWindows& lists);
