#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "core/lists/list_columns.h"
#include "core/lists/list_rows.h"
#include "tools/command.h"

// The list a window would show, for voxmgctl list and export-csv: --root DIR --folder NAME
// (--boxes KIND/NAME,... | --response) [--filter FIELD=VALUE ...] [--ini VOXMG.ini].
namespace voxmg::tools {

// Options of the selection that take a value.
extern const std::vector<std::string> kSelectionOptions;
extern const char* const kSelectionUsage;

struct ListSelection {
    std::atomic<int> cancel{0};
    ListRows rows{cancel};
    std::vector<list_columns::ColumnInfo> columns;
    std::u16string dataRoot;
    bool filtered = false;  // a filter was given and some rows passed
};

// Reads the list, applies the filters as the filter dialog's ticks do and puts the rows in
// the list's default order. Returns 0, 1 when the dialog would refuse the filter (its text on
// stderr), 2 for a usage error. A filter no row passes leaves every row, as the window does,
// with its text on stderr.
int buildSelection(const Args& args, ListSelection& out);

}  // namespace voxmg::tools
