#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/lists/row_view.h"
#include "core/store/filests_info.h"

// The columns of a list window and the text each cell shows for a message record.
namespace voxmg::list_columns {

enum class Column {
    Flag,          // "ﾌﾗｸﾞ"
    Played,        // "再生/未再生"
    State,         // "取込"
    Protect,       // "保護/非保護"
    BoxNumber,     // "BOX番号"
    Date,          // "日時"
    Length,        // "録音時間"
    CallerNumber,  // "相手番号"
    CallerName,    // "相手名称"
    FileName,      // "ファイル名"
    BoxName,       // "BOX名称"
    Title,         // "タイトル"
    Memo,          // "メモ"
    // Response lists only.
    MessageNumber,  // "ﾒｯｾｰｼﾞ番号"
    Upload,         // "アップロード"
    ResponseName,   // "ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ名称"
};

enum class Align { Left, Center };

struct ColumnInfo {
    Column column;
    std::u16string name;  // the header text as configured
    int width;            // initial width in pixels
    Align align;
};

// Recognises a configured column name: it names the column whose name it contains.
std::optional<Column> fromName(std::u16string_view name);

// The box list's columns from the display setting: names in order up to the first empty one,
// at most 13; names that match no column are skipped.
std::vector<ColumnInfo> boxListColumns(const std::vector<std::u16string>& names);
// The response list's fixed columns.
std::vector<ColumnInfo> responseListColumns();

// The display setting after "リセット"; also used when the settings file names no column, as
// a list without columns would show nothing at all.
std::vector<std::u16string> defaultBoxColumnNames();

// What a cell shows. `dataRoot` (UTF-16, any trailing "/" optional) is cut off the front of
// the file name. An empty response slot shows only its number and "--:--:--".
std::u16string cellText(const FILESTS_INFO& record, Column column, std::u16string_view dataRoot,
                        bool emptySlot = false);
std::u16string cellText(const RowView& row, Column column, std::u16string_view dataRoot,
                        bool emptySlot = false);

// Tool tip of a "取込" cell, by the code the cell shows ("   0   " .. "   3   ").
std::u16string stateToolTip(std::uint8_t state);
// The short form of the "取込" cell used when a row is written out as text.
std::u16string stateShortText(std::uint8_t state);
// The same short form by the code the cell shows; a code above 3 reads as 3.
std::u16string shownStateShortText(int shownCode);
// The code the "取込" cell shows (0..3) for a stored download-state code.
int shownStateCode(std::uint8_t state);

// Voice downloaded: the path names a ".vmdat" file. Info only: it names a ".vminf" file.
bool hasVoice(const FILESTS_INFO& record);
bool isInfoOnly(const FILESTS_INFO& record);
bool hasVoice(const RowView& row);
bool isInfoOnly(const RowView& row);

}  // namespace voxmg::list_columns
