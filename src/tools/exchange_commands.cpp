// voxmgctl export-csv: the CSV export of a list as the list window shows it.
#include <sys/stat.h>

#include <cstdio>

#include "core/base/paths.h"
#include "core/exchange/csv_export.h"
#include "tools/command.h"
#include "tools/list_selection.h"
#include "tools/record_json.h"

namespace voxmg::tools {
namespace {

int usage() {
    std::fprintf(stderr, "usage: voxmgctl export-csv %s [--overwrite] OUT.csv\n", kSelectionUsage);
    return 2;
}

int exportCsv(const Args& args) {
    const auto out = positional(args, kSelectionOptions);
    if (out.size() != 1) {
        return usage();
    }
    ListSelection selection;
    const int status = buildSelection(args, selection);
    if (status == 2) {
        return usage();
    }
    if (status != 0) {
        return status;
    }
    const std::string& path = out[0];
    std::string folder(paths::parentOf(path));
    if (folder.empty()) {
        folder = path.starts_with('/') ? "/" : ".";
    }
    const std::string name(paths::fileName(path));
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !hasFlag(args, "--overwrite")) {
        // The dialog asks first; here --overwrite is the Yes.
        std::fprintf(stderr, "ファイル\"%s\"は\n既に存在します。上書きしますか？ (--overwrite)\n",
                     path.c_str());
        return 1;
    }
    csv_export::ExportRequest request{.folder = folder,
                                      .fileName = name,
                                      .columns = selection.columns,
                                      .rows = &selection.rows,
                                      .dataRoot = selection.dataRoot};
    const auto outcome = csv_export::run(request, {}, nullptr);
    if (!outcome.success()) {
        std::fprintf(stderr, "エクスポートエラー\n");
        return 1;
    }
    printJson(Json{{"path", path}, {"rows", outcome.rowsWritten}, {"filtered", selection.filtered}});
    return 0;
}

CommandRegistrar exportCsvCommand{Command{"export-csv",
                                          std::string("export-csv ") + kSelectionUsage +
                                              " [--overwrite] OUT.csv   the list as the CSV export writes it",
                                          exportCsv}};

}  // namespace
}  // namespace voxmg::tools
