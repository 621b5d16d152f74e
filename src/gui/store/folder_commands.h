#pragma once

class FrameHost;

// The command bar's folder buttons: "ﾌｫﾙﾀﾞのﾀﾞｳﾝﾛｰﾄﾞ" opens the folder download dialog,
// "フォルダ名" the folder change dialog. After either the folder field shows the
// document's box folder again; when it changed, the open lists (which show the old folder)
// are closed.
void installFolderCommands(FrameHost& frame);
