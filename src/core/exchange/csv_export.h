#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/progress.h"
#include "core/base/pump.h"
#include "core/lists/list_columns.h"

namespace voxmg {
class ListRows;
}

// "一覧表をエクスポートする": the rows of a list as shown (columns, order, filter, sort) in a
// CSV file in CP932 with LF line ends and no byte-order mark, the way spreadsheets on the
// office's Windows PCs read it.
namespace voxmg::csv_export {

enum class ExportResult {
    Done = 0,
    Cancelled = 1,      // the lines written so far are kept: reported as success
    FolderMissing = 2,  // the folder is not an existing folder
    NotCsvName = 3,     // the name does not contain ".csv"
    NoRows = 4,         // no list, or a list without rows
    CannotWrite = 5,
};

struct ExportRequest {
    std::string folder{};                             // UTF-8, no trailing "/" needed
    std::string fileName{};                           // UTF-8
    std::vector<list_columns::ColumnInfo> columns{};  // as the list shows them, in order
    const ListRows* rows = nullptr;                   // the rows shown, in display order; null: no list
    std::u16string dataRoot{};                        // cut off the front of the file names
    // Asked after each row: the dialog's キャンセル.
    std::function<bool()> cancelRequested{};
};

struct ExportOutcome {
    ExportResult result = ExportResult::Done;
    int rowsWritten = 0;
    bool success() const { return result == ExportResult::Done || result == ExportResult::Cancelled; }
};

// Writes the file: the header line, then one line per row. It is built under a temporary
// name beside the target and renamed over it when the rows are done or the export is
// cancelled, so the target only ever holds a whole export; a failure leaves it untouched.
// Progress: range = row count, position after each row.
ExportOutcome run(const ExportRequest& request, const Pump& pump, ProgressSink* progress);

// The name test of the export: case-sensitive, anywhere in the name ("a.csv.txt" passes).
bool acceptedName(std::string_view fileName);
// folder + "/" + name.
std::string targetPath(const std::string& folder, const std::string& fileName);

// One line without its line end: the cells joined with ",", leading blanks removed. A cell
// holding ",", a double quote or a line break is quoted (quotes doubled) so the columns stay
// in place; every other cell is written as it is.
std::u16string joinLine(const std::vector<std::u16string>& cells);
// What a cell becomes in the file: "ﾌﾗｸﾞ" or empty for a flag column, the short form of the
// "取込" code in a box list, else the text shown.
std::u16string fileCell(std::u16string_view header, std::u16string_view shown, bool responseList);

}  // namespace voxmg::csv_export
