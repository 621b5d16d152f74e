#pragma once

// The frame's commands: the buttons of the command bar and the items of its two menus, with
// the command ids they have always had.
enum class Command : int {
    // Command bar buttons.
    FolderDownload = 1001,     // "ﾌｫﾙﾀﾞのﾀﾞｳﾝﾛｰﾄﾞ"
    BulkDownload = 1002,       // "一括ﾀﾞｳﾝﾛｰﾄﾞ"
    SelectedDownload = 1003,   // "選択ﾀﾞｳﾝﾛｰﾄﾞ"
    VoiceDownload = 1004,      // "音声ﾃﾞｰﾀﾀﾞｳﾝﾛｰﾄﾞ"
    SettingsMenu = 1005,       // "設定"
    WindowMenu = 1006,         // "ウィンドウ"
    About = 1007,              // "バージョン"
    FolderChange = 1008,       // "フォルダ名"
    OpenList = 1009,           // "ボックス"
    Filter = 1010,             // "選択表示"
    ShowAll = 1011,            // "全表示"
    ShowNotDownloaded = 1012,  // "未ﾀﾞｳﾝﾛｰﾄﾞ表示"
    Convert = 1013,            // "変換"
    Play = 1014,               // "再生"
    Delete = 1015,             // "消去"
    MoveCopy = 1016,           // "移動・コピー"
    Upload = 1017,             // "アップロード"
    AddResponse = 1018,        // "追加"

    // Settings menu items.
    Login = 32784,
    Logout = 32785,
    StartupFolder = 32786,
    ConvertOnDownload = 32787,  // check mark
    DeleteWavFiles = 32788,
    DeleteWavAfterPlay = 32789,  // check mark
    ListColumns = 32790,
    EditRecordingInfo = 32791,
    EditBoxNames = 32792,
    CreateBoxFolder = 32793,
    RenameBoxFolder = 32794,
    ExportList = 32795,
    ImportBoxNames = 32796,
    BackupSettings = 32803,
    AutoDeleteBoxes = 32808,
    AlwaysDownload = 32809,  // check mark
    WavSaveFolder = 32811,   // the WAV save folder dialog
    // Our own items, numbered apart from the ones above.
    PlayButtonInPane = 33001,  // check mark: "再生ボタンで内蔵プレーヤーを使う"
    NewMessageNotice = 33002,  // check mark: "新着メッセージを通知する"
    MailSettings = 33004,      // "メール転送の設定..."

    // Window menu items.
    TileWindows = 32800,
    CascadeWindows = 57650,
    TileHorizontally = 57651,  // "上下に並べて表示"
    TileVertically = 57652,    // "左右に並べて表示"
    PlayerPane = 33003,        // check mark: "内蔵プレーヤー"
};

// The window menu's item for list window n (1..4), after the arrangement items.
constexpr int windowListItem(int n) {
    return 10000 + n;
}
