// voxmgctl convert FILE... [--dest DIR] [--gain DB]
// Converts message files to WAV as the list's "変換" does and reports the summary it shows.

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/audio/decoding_engine.h"
#include "core/lists/convert_operation.h"
#include "core/store/file_mng.h"
#include "tools/command.h"

namespace voxmg::tools {
namespace {

using Json = nlohmann::ordered_json;

const std::vector<std::string> kValued = {"--dest", "--gain"};

const char* outcomeName(ConvertOutcome outcome) {
    switch (outcome) {
        case ConvertOutcome::Converted:
            return "converted";
        case ConvertOutcome::AlreadyPresent:
            return "present";
        case ConvertOutcome::NotDownloaded:
            return "not-downloaded";
        case ConvertOutcome::Missing:
            return "missing";
        case ConvertOutcome::NoSpace:
            return "no-space";
        case ConvertOutcome::Failed:
            return "failed";
        case ConvertOutcome::NotReached:
            break;
    }
    return "not-reached";
}

Json messagesJson(const std::vector<UserText>& texts) {
    Json out = Json::array();
    for (const auto& t : texts) {
        out.push_back({{"text", t.text}, {"caption", t.caption}, {"error", t.error}});
    }
    return out;
}

void print(const Json& j) {
    std::printf("%s\n", j.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
}

int runConvert(const Args& args) {
    const std::vector<std::string> files = positional(args, kValued);
    const std::optional<int> gain = gainOption(args);
    if (files.empty() || !gain) {
        std::fprintf(stderr, "usage: voxmgctl convert FILE... [--dest DIR] [--gain DB]\n");
        return 2;
    }
    Flags flags;
    const CFileMng store(flags);
    ConvertRequest request;
    request.destination = optionValue(args, "--dest");
    request.gainSetting = *gain;
    if (!request.destination.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(request.destination, ignored);
    }
    for (const auto& path : files) {
        // The state code comes from the record; a file without one is treated as downloaded
        // voice, so that it is reported as missing or failed rather than passed over.
        FILESTS_INFO record;
        record.state = 2;
        store.readRecord(path, record);
        request.rows.push_back({path, record.state});
        // A response message never counts as deleted: its list keeps every slot.
        request.boxList = request.boxList && path.find("/outou/") == std::string::npos;
    }

    Json out;
    if (auto refusal = convertRefusal(request, systemFreeSpaceProbe())) {
        out["summary"] = refusal->text;
        out["caption"] = refusal->caption;
        out["messages"] = messagesJson({*refusal});
        out["files"] = Json::array({{{"path", files.front()},
                                     {"wav", wavPathFor(files.front(), request.destination)},
                                     {"outcome", "refused"}}});
        print(out);
        return 1;
    }
    audio::DecodingEngine engine;
    ConvertEnv env{engine, flags, {}, nullptr, systemFreeSpaceProbe(), {}};
    const ConvertResult result = convertMessages(request, env);
    const std::vector<UserText> summary = convertSummary(result);
    out["summary"] = summary.empty() ? std::string() : summary.front().text;
    out["caption"] = summary.empty() ? std::string() : summary.front().caption;
    out["messages"] = messagesJson(summary);
    out["converted"] = result.converted;
    out["present"] = result.present;
    Json list = Json::array();
    for (const auto& f : result.files) {
        list.push_back({{"path", f.path}, {"wav", f.wavPath}, {"outcome", outcomeName(f.outcome)}});
    }
    out["files"] = list;
    print(out);
    return convertSucceeded(result) ? 0 : 1;
}

const CommandRegistrar convertCommand{Command{
    "convert", "convert FILE... [--dest DIR] [--gain DB]   message files to WAV, with the list's summary",
    runConvert, kValued, Writes::Messages}};

}  // namespace
}  // namespace voxmg::tools
