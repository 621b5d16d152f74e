// voxmgctl move and copy: "移動・コピー" on message files named on the command line, as the
// program runs it on the selected rows of a box list.
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "core/base/flags.h"
#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/lists/move_copy.h"
#include "tools/command.h"

namespace voxmg::tools {
namespace {

using Json = nlohmann::ordered_json;
using move_copy::Mode;
using move_copy::Overwrite;
using move_copy::RowOutcome;

const std::vector<std::string> kValued = {"--to", "--overwrite"};

const char* outcomeName(RowOutcome outcome) {
    switch (outcome) {
        case RowOutcome::Done:
            return "done";
        case RowOutcome::Declined:
            return "declined";
        case RowOutcome::SameBox:
            return "same-box";
        case RowOutcome::NotDownloaded:
            return "not-downloaded";
        case RowOutcome::NoSpace:
            return "no-space";
        case RowOutcome::Failed:
            return "failed";
        case RowOutcome::Cancelled:
            return "cancelled";
        case RowOutcome::NotReached:
            break;
    }
    return "not-reached";
}

int runMoveCopy(const Args& args, Mode mode, const char* usage) {
    const std::vector<std::string> files = positional(args, kValued);
    const std::string to = optionValue(args, "--to");
    const std::string overwrite = optionValue(args, "--overwrite");
    if (files.empty() || to.empty() || (overwrite != "" && overwrite != "ask-no" && overwrite != "all")) {
        std::fprintf(stderr, "usage: voxmgctl %s\n", usage);
        return 2;
    }
    move_copy::MoveCopyRequest request;
    std::error_code ec;
    // std::filesystem::absolute asks for the working folder on every call: once is enough.
    const std::filesystem::path here = std::filesystem::current_path(ec);
    for (const std::string& file : files) {
        const std::filesystem::path path(file);
        request.paths.push_back((path.is_absolute() ? path : here / path).lexically_normal().string());
    }
    // FILE is <box folder>/<rusuroku|naisen>/<box>/<message>: the box folder is three levels up.
    request.boxFolder = std::string(paths::parentOf(paths::parentOf(paths::parentOf(request.paths.front()))));
    request.destinationBox = to;
    request.mode = mode;
    const Overwrite answer = overwrite == "all" ? Overwrite::All : Overwrite::No;
    request.askOverwrite = [answer](const std::u16string& text) {
        std::fprintf(stderr, "%s: %s\n", text::utf8FromUtf16(text).c_str(),
                     answer == Overwrite::All ? "all" : "no");
        return answer;
    };
    const std::string dest = move_copy::destinationFolder(request.boxFolder, to);
    if (dest.empty() || !std::filesystem::is_directory(dest, ec)) {
        std::fprintf(stderr, "voxmgctl: no box %s in %s\n", to.c_str(), request.boxFolder.c_str());
        return 2;
    }
    Flags flags;
    auto result = move_copy::run(request, flags, Pump{}, nullptr);
    Json out;
    out["summary"] = {{"text", text::utf8FromUtf16(result.summary.text)},
                      {"caption", text::utf8FromUtf16(result.summary.caption)}};
    out["done"] = result.done;
    Json rows = Json::array();
    for (const auto& row : result.rows) {
        rows.push_back({{"file", row.path}, {"outcome", outcomeName(row.outcome)}});
    }
    out["files"] = rows;
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return result.done > 0 ? 0 : 1;
}

const char* kMoveUsage = "move FILE... --to rusuroku/NAME|naisen/NAME [--overwrite ask-no|all]";
const char* kCopyUsage = "copy FILE... --to rusuroku/NAME|naisen/NAME [--overwrite ask-no|all]";

CommandRegistrar moveCommand{
    Command{"move", kMoveUsage, [](const Args& args) { return runMoveCopy(args, Mode::Move, kMoveUsage); },
            kValued, Writes::Messages}};
CommandRegistrar copyCommand{
    Command{"copy", kCopyUsage, [](const Args& args) { return runMoveCopy(args, Mode::Copy, kCopyUsage); },
            kValued, Writes::Messages}};

}  // namespace
}  // namespace voxmg::tools
