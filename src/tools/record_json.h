#pragma once

#include <iostream>
#include <nlohmann/json.hpp>

#include "core/base/text.h"
#include "core/store/filests_info.h"

namespace voxmg::tools {

using Json = nlohmann::ordered_json;

inline Json recordJson(const FILESTS_INFO& r) {
    auto u8 = [](const std::u16string& s) { return text::utf8FromUtf16(s); };
    return Json{{"flags", r.flags},
                {"played", r.played},
                {"state", r.state},
                {"protect", r.protect},
                {"box_number", u8(r.boxNumberText())},
                {"box_name", u8(r.boxNameText())},
                {"caller_number", u8(r.callerNumberText())},
                {"caller_name", u8(r.callerNameText())},
                {"date", u8(r.dateText())},
                {"length", u8(r.lengthText())},
                {"title", u8(r.titleText())},
                {"memo", u8(r.memoText())},
                {"path", u8(r.pathText())}};
}

// Strings from files may hold bytes that are no UTF-8; they are shown replaced, not refused.
inline void printJson(const Json& json) {
    std::cout << json.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
}

}  // namespace voxmg::tools
