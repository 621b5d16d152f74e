#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/base/progress.h"
#include "core/base/pump.h"

// The folder work behind the folder list dialogs: moving, renaming and deleting box folders,
// and which rows and buttons the dialogs show. Paths are UTF-8 with "/" separators.
namespace voxmg::folders {

bool isFolder(const std::string& path);
bool hasSubfolder(const std::string& folder);

// Moves a folder to a path that does not exist yet. Refused when the source is not a
// folder, the target exists (nothing is ever overwritten) or names the same path. Within
// one file system this is a rename; across file systems the tree is copied, and the source
// removed only once the copy is complete (a failed copy is taken away again, so the folder
// stays whole where it was).
bool moveFolder(const std::string& from, const std::string& to);

enum class RenameResult {
    Done,
    InputError,  // empty, or a name that would leave the folder, or the rename failed
    Duplicate,   // a file or folder of the new name exists
};
// Renames the folder within its parent.
RenameResult renameFolder(const std::string& folder, std::u16string_view newName);

// Deletes the folder with everything in it, read-only files and folders included. The
// progress range is the number of entries below the folder, advanced by one per entry
// deleted. Symbolic links are removed, never followed. True when the folder is gone.
bool deleteFolderCompletely(const std::string& folder, ProgressSink* progress, const Pump& pump);

// One row of the folder lists: the folder's name, its full path, and its one-character mark.
struct FolderRow {
    std::string name;
    std::string path;
    char mark = ' ';
};

enum class RowKind {
    // The folder download dialog: every subfolder of the data root; "*" marks one that has
    // a "naisen" or "rusuroku" subfolder.
    Download,
    // The folder change dialog: only folders with such subfolders; "*" marks one where no
    // box holds a message.
    Change,
};
// Rows for the subfolders of the data root, in the order the folder lists them.
std::vector<FolderRow> folderRows(const std::string& dataRoot, RowKind kind);

// The "パス名" column: the mark followed by the path, and the path read back from it.
std::string pathColumn(const FolderRow& row);
std::string pathFromColumn(std::string_view column);

// The buttons of the folder download dialog that depend on the selection.
struct DownloadButtons {
    bool download = false;   // ダウンロード
    bool rename = false;     // 名称変更
    bool deleteAll = false;  // フォルダ完全削除
    bool recycle = false;    // フォルダ一時削除
};
// No row: all off. A row: rename on, download while logged in, the two deletes only for a
// folder with no subfolder at all (a box folder is removed through its own dialogs, never
// wholesale from here).
DownloadButtons downloadButtons(bool rowSelected, bool loggedIn, bool folderHasSubfolder);

// The folder the folder chooser opens in: the current box folder (the data root when no box
// folder is chosen yet), else the program's "save/VMU", else its "save", else the documents
// folder, the first that exists.
std::string addFolderStart(const std::string& dataRoot, const std::string& boxFolderName,
                           const std::string& programFolder, const std::string& documents);

// After the user chose a folder: its parent (with "/") is the new data root folder and its
// last component the current box folder name.
struct ChosenFolder {
    std::string dataRoot;
    std::string boxFolderName;
};
ChosenFolder splitChosenFolder(std::string_view chosen);

}  // namespace voxmg::folders
