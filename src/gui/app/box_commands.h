#pragma once

class FrameHost;

// The settings menu's box items: "ボックス名称を編集する...", "ボックスフォルダを作成する...",
// "ボックスフォルダ名称を変更する..." and "内線ボックス名称をインポートする...". Each runs its
// dialog on the current box folder and tells the user when it is done; after new box names the
// open lists read their files again so their box name columns follow.
void installBoxCommands(FrameHost& frame);
