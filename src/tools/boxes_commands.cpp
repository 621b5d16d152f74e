// voxmgctl make-box / rename-box / box-name: the box dialogs of the settings menu, for scripts.
// Each refuses exactly what its dialog refuses (exit 1, nothing changed) and prints JSON.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/store/box_management.h"
#include "tools/command.h"
#include "tools/record_json.h"

namespace voxmg::tools {
namespace {

using boxes::BoxCheck;
using boxes::BoxKind;

// --root DIR --folder NAME --kind rusuroku|naisen and `count` positional words.
struct BoxArgs {
    std::string boxFolder;
    BoxKind kind = BoxKind::Answer;
    std::vector<std::string> words;
};

std::optional<BoxArgs> parseBoxArgs(const Args& args, std::size_t count, const char* usage) {
    const std::string root = optionValue(args, "--root");
    const std::string folder = optionValue(args, "--folder");
    const auto kind = boxes::kindFromFolder(optionValue(args, "--kind"));
    auto words = positional(args, {"--root", "--folder", "--kind"});
    if (root.empty() || folder.empty() || paths::isUnsafeName(folder) || !kind || words.size() != count) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", usage);
        return std::nullopt;
    }
    return BoxArgs{paths::join(root, folder), *kind, std::move(words)};
}

// The dialog's outcome: its completion text, or the error it shows.
int report(BoxCheck check, std::u16string_view done, std::u16string_view doneCaption, Json extra) {
    const bool ok = check == BoxCheck::Ok;
    Json out{{"caption", text::utf8FromUtf16(ok ? doneCaption : u"エラー")},
             {"summary", text::utf8FromUtf16(ok ? done : boxes::checkText(check))}};
    if (extra.is_object()) {
        out.update(extra);
    }
    printJson(out);
    return ok ? 0 : 1;
}

bool isBox(const std::vector<std::string>& boxes, const std::string& name) {
    return std::find(boxes.begin(), boxes.end(), name) != boxes.end();
}

constexpr const char* kMakeUsage = "make-box --root DIR --folder NAME --kind rusuroku|naisen BOX";
constexpr const char* kRenameUsage = "rename-box --root DIR --folder NAME --kind rusuroku|naisen OLD NEW";
constexpr const char* kNameUsage = "box-name --root DIR --folder NAME --kind rusuroku|naisen BOX NAME";

int makeBox(const Args& args) {
    const auto a = parseBoxArgs(args, 1, kMakeUsage);
    if (!a) {
        return 2;
    }
    const auto check = boxes::makeBoxFolder(a->boxFolder, a->kind, text::utf16FromUtf8(a->words[0]));
    return report(
        check, u"ボックスフォルダが作成完了しました。", u"作成完了",
        {{"path", paths::join(paths::join(a->boxFolder, boxes::kindFolder(a->kind)), a->words[0])}});
}

int renameBox(const Args& args) {
    const auto a = parseBoxArgs(args, 2, kRenameUsage);
    if (!a) {
        return 2;
    }
    // The rename dialog lists only the boxes made on the PC.
    if (!isBox(boxes::userBoxes(a->boxFolder, a->kind), a->words[0])) {
        std::fprintf(stderr, "voxmgctl: %s is no box made on the PC\n", a->words[0].c_str());
        return 1;
    }
    const std::vector<boxes::FolderRename> renames{{a->kind, a->words[0], text::utf16FromUtf8(a->words[1])}};
    const auto check = boxes::checkRenames(a->boxFolder, renames).result;
    const int renamed = check == BoxCheck::Ok ? boxes::renameBoxFolders(a->boxFolder, renames) : 0;
    if (check == BoxCheck::Ok && renamed != 1) {
        std::fprintf(stderr, "voxmgctl: %s could not be renamed\n", a->words[0].c_str());
        return 1;
    }
    return report(check, u"ボックスフォルダ名称の変更が完了しました。", u"変更完了", {{"renamed", renamed}});
}

int boxName(const Args& args) {
    const auto a = parseBoxArgs(args, 2, kNameUsage);
    if (!a) {
        return 2;
    }
    if (!isBox(boxes::boxSubfolders(a->boxFolder, a->kind), a->words[0])) {
        std::fprintf(stderr, "voxmgctl: no box %s\n", a->words[0].c_str());
        return 1;
    }
    const std::vector<boxes::BoxNameRow> rows{{a->kind, a->words[0], text::utf16FromUtf8(a->words[1])}};
    if (boxes::firstInvalidName(rows)) {
        return report(BoxCheck::InputError, {}, {}, {});
    }
    if (boxes::saveBoxNames(a->boxFolder, rows, nullptr, {}) != 0) {
        std::fprintf(stderr, "voxmgctl: the box info file of %s cannot be written\n", a->words[0].c_str());
        return 1;
    }
    return report(BoxCheck::Ok, u"ＢＯＸ名称の登録が完了しました。", u"登録完了", {{"box", a->words[0]}});
}

const CommandRegistrar makeBoxCommand{Command{
    "make-box", std::string(kMakeUsage) + "   make a box subfolder on the PC", makeBox, {}, Writes::Root}};
const CommandRegistrar renameBoxCommand{
    Command{"rename-box",
            std::string(kRenameUsage) + "   rename a box subfolder made on the PC",
            renameBox,
            {},
            Writes::Root}};
const CommandRegistrar boxNameCommand{Command{
    "box-name", std::string(kNameUsage) + "   set the display name of a box", boxName, {}, Writes::Root}};

}  // namespace
}  // namespace voxmg::tools
