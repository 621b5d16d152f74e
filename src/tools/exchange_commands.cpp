// voxmgctl import-names: the extension phone book import of the settings menu, for scripts.
#include <cstdio>
#include <string>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/exchange/name_import.h"
#include "tools/command.h"
#include "tools/record_json.h"

namespace voxmg::tools {
namespace {

constexpr const char* kImportUsage = "import-names CSV --root DIR --folder NAME";

// The names written, and the message the dialog ends with; exit 1 when it refuses the file
// (then no box info file is changed).
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

const CommandRegistrar importNamesCommand{Command{
    "import-names", std::string(kImportUsage) + "   extension box names from a phone book CSV", importNames}};

}  // namespace
}  // namespace voxmg::tools
