#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/progress.h"
#include "core/base/pump.h"

// Box subfolders made and renamed by hand, and the display names of boxes, behind the three
// box dialogs of the settings menu and their voxmgctl verbs. A box folder is the data root
// + the current box folder name; its kind folders "rusuroku" and "naisen" hold one
// subfolder per box. Subfolder names are UTF-8 as on disk; names typed by the user are UTF-16
// and their limits count CP932 bytes, as the main unit and the Windows program count them.
namespace voxmg::boxes {

enum class BoxKind { Answer = 0, Extension = 1 };  // "留守録BOX", "内線BOX"

std::string_view kindFolder(BoxKind kind);  // "rusuroku", "naisen"
std::optional<BoxKind> kindFromFolder(std::string_view folder);

// Why a name is refused; the dialogs show the texts below for them.
enum class BoxCheck { Ok = 0, InputError = 1, Duplicate = 2, CannotWrite = 3 };

inline constexpr std::u16string_view kInputError = u"入力値エラーです。";
inline constexpr std::u16string_view kDuplicate = u"フォルダ名が重複しています。";
// The name was fine; the box folder refused the new folder (read-only, another user's).
inline constexpr std::u16string_view kCannotWrite = u"書き込みできません。";
inline constexpr std::u16string_view kNoBoxes = u"フォルダにボックス情報がありません。\n確認ください。";
std::u16string_view checkText(BoxCheck check);  // empty for Ok

// A box subfolder name: 1 to 14 CP932 bytes, none of \ / : * ? " < > |, and never a name
// that would leave its folder ("." "..", control characters).
bool isValidFolderName(std::u16string_view name);
// A box display name: at most 10 CP932 bytes and no "," (lists are joined with commas); no
// control character either, which would break the line of inf.ini it is written to.
bool isValidBoxName(std::u16string_view name);

// A control character would end the line of inf.ini a name is written to.
bool hasControlCharacter(std::u16string_view text);

// The box subfolders of one kind, by name. Symbolic links are left out: nothing here writes
// through a link to a folder outside the box folder.
std::vector<std::string> boxSubfolders(const std::string& boxFolder, BoxKind kind);
// True for a box subfolder of that kind (a real folder with a name that stays in it).
bool isBoxSubfolder(const std::string& boxFolder, BoxKind kind, std::string_view name);
// True when either kind folder holds a box subfolder.
bool hasBoxSubfolders(const std::string& boxFolder);
// Those of one kind whose inf.ini says they were made on the PC (MAKE = 1).
std::vector<std::string> userBoxes(const std::string& boxFolder, BoxKind kind);

// Makes a user box: the subfolder, and its inf.ini with MAKE = 1, no NAME, AutoDel = 0.
// Duplicate when anything of that name is there already; InputError for a bad name or when
// the folder cannot be made (a folder whose inf.ini cannot be written is taken away again,
// as it would pass for a box of the main unit).
BoxCheck makeBoxFolder(const std::string& boxFolder, BoxKind kind, std::u16string_view name);

// One renamed row of the rename dialog.
struct FolderRename {
    BoxKind kind = BoxKind::Answer;
    std::string oldName;
    std::u16string newName;
};
struct RenameCheck {
    BoxCheck result = BoxCheck::Ok;
    std::size_t row = 0;  // the first refused row
};
// Each new name valid, not in use on disk and not taken by an earlier row; the first refusal
// stops the check.
RenameCheck checkRenames(const std::string& boxFolder, const std::vector<FolderRename>& renames);
// Renames in order, never over an existing folder; the number renamed.
int renameBoxFolders(const std::string& boxFolder, const std::vector<FolderRename>& renames);

// One row of the box name dialog.
struct BoxNameRow {
    BoxKind kind = BoxKind::Answer;
    std::string folder;   // the subfolder's name: the box number on the main unit
    std::u16string name;  // NAME of its inf.ini
    // Typed by the user. A name left as it was read is written back as it is: the phone book
    // import may have stored one longer than a typed name may be, and that must not keep the
    // user from changing the other boxes.
    bool changed = true;
};
// Every box subfolder of both kinds, answering-machine boxes first.
std::vector<BoxNameRow> boxNameRows(const std::string& boxFolder);
// The first changed row whose name is refused.
std::optional<std::size_t> firstInvalidName(const std::vector<BoxNameRow>& rows);
// Writes NAME, quoted, into every row's inf.ini, changed or not. Progress: range = rows, one
// step each. The number of files that could not be written.
int saveBoxNames(const std::string& boxFolder, const std::vector<BoxNameRow>& rows, ProgressSink* progress,
                 const Pump& pump);

}  // namespace voxmg::boxes
