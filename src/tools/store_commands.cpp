// voxmgctl inspect / load-box: look at message files and box folders as the program sees them.
#include <atomic>
#include <cstdio>

#include "core/base/text.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "tools/command.h"
#include "tools/record_json.h"

namespace voxmg::tools {
namespace {

Json headerJson(const UnitHeader& h) {
    return Json{{"model", text::utf8FromCp932(h.modelText())},
                {"date_text", text::utf8FromCp932(h.dateText())},
                {"caller_name", text::utf8FromCp932(h.callerName())},
                {"caller_number", text::utf8FromCp932(h.callerNumber())},
                {"status", h.status()},
                {"length_units", h.lengthUnits()},
                {"message_number", h.messageNumber()},
                {"box_number", text::utf8FromCp932(h.boxNumber())}};
}

int inspect(const Args& args) {
    auto files = positional(args, {});
    if (files.empty()) {
        std::fprintf(stderr, "usage: voxmgctl inspect FILE...\n");
        return 2;
    }
    std::atomic<int> cancel{0};
    CFileMng mng(cancel);
    Json out = Json::array();
    int status = 0;
    for (const auto& file : files) {
        Json entry{{"path", file}};
        auto bytes = fileio::readPrefix(file, kFramesOffset);
        if (!bytes) {
            std::fprintf(stderr, "voxmgctl: cannot open %s\n", file.c_str());
            status = 1;
        }
        std::span<const std::uint8_t> view;
        if (bytes) {
            view = *bytes;
        }
        auto record = decodeRecord(view);
        auto header =
            view.size() >= kFramesOffset ? UnitHeader::fromBytes(view.subspan(kRecordSize)) : std::nullopt;
        entry["valid"] = record && header && mng.isValidMessage(file, *record, *header);
        entry["record"] = record ? recordJson(*record) : Json(nullptr);
        entry["header"] = header ? headerJson(*header) : Json(nullptr);
        out.push_back(std::move(entry));
    }
    printJson(out);
    return status;
}

int loadBox(const Args& args) {
    auto folders = positional(args, {});
    if (folders.size() != 1) {
        std::fprintf(stderr, "usage: voxmgctl load-box DIR\n");
        return 2;
    }
    std::atomic<int> cancel{0};
    CFileMng mng(cancel);
    std::vector<FILESTS_INFO> records;
    if (mng.loadBoxFolder(folders[0], records) != LoadResult::Loaded) {
        std::fprintf(stderr, "voxmgctl: a message file in %s cannot be opened\n", folders[0].c_str());
        return 1;
    }
    Json out = Json::array();
    for (const auto& r : records) {
        out.push_back(recordJson(r));
    }
    printJson(out);
    return 0;
}

CommandRegistrar inspectCommand{
    Command{"inspect", "inspect FILE...   record and main unit header of message files (JSON)", inspect}};
CommandRegistrar loadBoxCommand{
    Command{"load-box", "load-box DIR      records of a box folder in load order (JSON)", loadBox}};

}  // namespace
}  // namespace voxmg::tools
