// voxmgctl import-names: the extension phone book import of the settings menu, for scripts.
// voxmgctl export-csv: the CSV export of a list as the list window shows it.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/exchange/csv_export.h"
#include "core/exchange/name_import.h"
#include "tools/command.h"
#include "tools/list_selection.h"
#include "tools/record_json.h"

namespace voxmg::tools {
namespace {

constexpr const char* kImportUsage = "import-names CSV --root DIR --folder NAME";

// The names written, and the message the dialog ends with; exit 1 when it refuses the file or
// a write fails (then every box info file is as it was).
int importNames(const Args& args) {
    const std::string root = optionValue(args, "--root");
    const std::string folder = optionValue(args, "--folder");
    const auto files = positional(args, {"--root", "--folder"});
    if (root.empty() || folder.empty() || paths::isUnsafeName(folder) || files.size() != 1) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", kImportUsage);
        return 2;
    }
    const auto outcome = name_import::run({files[0], paths::join(root, folder)}, nullptr, {});
    Json names = Json::array();
    for (const auto& n : outcome.names) {
        names.push_back(Json{{"box", n.box}, {"name", text::utf8FromUtf16(n.name)}});
    }
    printJson(Json{{"caption", text::utf8FromUtf16(outcome.summary.caption)},
                   {"summary", text::utf8FromUtf16(outcome.summary.text)},
                   {"completed", outcome.completed},
                   {"names", std::move(names)}});
    return outcome.completed ? 0 : 1;
}

const CommandRegistrar importNamesCommand{
    Command{"import-names",
            std::string(kImportUsage) + "   extension box names from a phone book CSV",
            importNames,
            {},
            Writes::Root}};

int exportUsage() {
    std::fprintf(stderr, "usage: voxmgctl export-csv %s [--overwrite] OUT.csv\n", kSelectionUsage);
    return 2;
}

int exportCsv(const Args& args) {
    const auto out = positional(args, kSelectionOptions);
    if (out.size() != 1) {
        return exportUsage();
    }
    ListSelection selection;
    const int status = buildSelection(args, selection);
    if (status == 2) {
        return exportUsage();
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
    if (outcome.result == csv_export::ExportResult::NotCsvName) {
        // As the dialog says it: the lower-case ".csv" is what the export looks for.
        std::fprintf(stderr, "ファイル名の拡張子は「.csv」にしてください。\n");
        return 1;
    }
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
