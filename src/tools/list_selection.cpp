#include "tools/list_selection.h"

#include <cstdio>
#include <optional>

#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/lists/list_boxes.h"
#include "core/lists/list_filter.h"
#include "core/lists/list_sort.h"
#include "core/settings/settings.h"

namespace voxmg::tools {

const std::vector<std::string> kSelectionOptions = {"--root",   "--folder", "--boxes",
                                                    "--filter", "--ini",    "--settings"};
const char* const kSelectionUsage =
    "--root DIR --folder NAME (--boxes KIND/NAME,... | --response) [--filter FIELD=VALUE ...] "
    "[--ini VOXMG.ini]";

namespace {

using list_filter::Choice;
using list_filter::ListFilter;
using list_filter::StateCriterion;

std::vector<std::string> allValues(const Args& args, const std::string& name) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == name) {
            out.push_back(args[++i]);
        }
    }
    return out;
}

std::optional<Choice> choiceValue(const std::string& v) {
    if (v == "0" || v == "1") {
        return v == "1" ? Choice::Yes : Choice::No;
    }
    return std::nullopt;
}

// One of the box list's text criteria; false for a field that is none of them.
bool addTextFilter(ListFilter& f, const std::string& field, const std::u16string& text) {
    struct TextField {
        const char* name;
        bool ListFilter::*on;
        std::u16string ListFilter::*text;
    };
    static const TextField kTexts[] = {
        {"title", &ListFilter::titleOn, &ListFilter::title},
        {"box_number", &ListFilter::boxNumberOn, &ListFilter::boxNumber},
        {"box_name", &ListFilter::boxNameOn, &ListFilter::boxName},
        {"caller_number", &ListFilter::callerNumberOn, &ListFilter::callerNumber},
        {"memo", &ListFilter::memoOn, &ListFilter::memo}};
    for (const auto& t : kTexts) {
        if (field == t.name) {
            f.*(t.on) = true;
            f.*(t.text) = text;
            return true;
        }
    }
    return false;
}

// One --filter FIELD=VALUE into the filter; false for an unknown field or a bad value.
bool addFilter(ListFilter& f, const std::string& option, bool response) {
    const auto eq = option.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    const std::string field = option.substr(0, eq);
    const std::string value = option.substr(eq + 1);
    const std::u16string text = text::utf16FromUtf8(value);
    if (field == "caller_name") {
        f.callerNameOn = true;
        f.callerName = text;
        return true;
    }
    if (field == "played" || field == "flag") {
        auto choice = choiceValue(value);
        (field == "played" ? f.played : f.flag) = choice.value_or(Choice::Any);
        return choice.has_value();
    }
    if (response) {
        return false;  // the response list's dialog has no other criterion
    }
    if (addTextFilter(f, field, text)) {
        return true;
    }
    if (field == "protect") {
        auto choice = choiceValue(value);
        f.protect = choice.value_or(Choice::Any);
        return choice.has_value();
    }
    if (field == "state") {
        if (value.size() != 1 || value[0] < '0' || value[0] > '8') {
            return false;
        }
        f.state = static_cast<StateCriterion>(value[0] - '0');
        return true;
    }
    if (field == "date") {
        const auto dots = text.find(u"..");
        if (dots == std::u16string::npos) {
            return false;
        }
        f.dateOn = true;
        f.dateFrom = text.substr(0, dots);
        f.dateTo = text.substr(dots + 2);
        return true;
    }
    return false;
}

// "rusuroku/0101,naisen/0201" into the boxes of a list title.
bool parseBoxes(const std::string& spec, list_boxes::ListBoxes& boxes) {
    std::size_t start = 0;
    while (start <= spec.size()) {
        const auto comma = spec.find(',', start);
        const std::string item =
            spec.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const auto slash = item.find('/');
        if (slash == std::string::npos || slash + 1 >= item.size()) {
            return false;
        }
        const std::string kind = item.substr(0, slash);
        const std::u16string name = text::utf16FromUtf8(item.substr(slash + 1));
        if (kind == "rusuroku") {
            boxes.answerBoxes.push_back(name);
        } else if (kind == "naisen") {
            boxes.extensionBoxes.push_back(name);
        } else {
            return false;
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return true;
}

std::vector<list_columns::ColumnInfo> boxColumns(const Args& args) {
    bool present = false;
    const std::string ini = optionValue(args, "--ini", &present);
    std::vector<std::u16string> names;
    if (present) {
        const Settings settings = loadSettings(ProfileFile::load(ini));
        for (const auto& name : settings.columns) {
            names.push_back(name.str());
        }
    }
    auto columns = list_columns::boxListColumns(names);
    return columns.empty() ? list_columns::boxListColumns(list_columns::defaultBoxColumnNames()) : columns;
}

}  // namespace

int buildSelection(const Args& args, ListSelection& out) {
    const std::string root = optionValue(args, "--root");
    const std::string folder = optionValue(args, "--folder");
    const bool response = hasFlag(args, "--response");
    bool hasBoxes = false;
    const std::string boxSpec = optionValue(args, "--boxes", &hasBoxes);
    if (root.empty() || folder.empty() || paths::isUnsafeName(folder) || response == hasBoxes) {
        return 2;
    }
    list_boxes::ListBoxes boxes;
    if (hasBoxes && !parseBoxes(boxSpec, boxes)) {
        std::fprintf(stderr, "voxmgctl: --boxes takes rusuroku/NAME or naisen/NAME, separated by \",\"\n");
        return 2;
    }
    ListFilter filter;
    const auto filters = allValues(args, "--filter");
    for (const auto& option : filters) {
        if (!addFilter(filter, option, response)) {
            std::fprintf(stderr, "voxmgctl: unknown or invalid filter %s\n", option.c_str());
            return 2;
        }
    }
    if (!filters.empty()) {
        const auto check =
            response ? list_filter::checkResponseFilter(filter) : list_filter::checkBoxFilter(filter);
        if (check != list_filter::FilterCheck::Ok) {
            std::fprintf(stderr, "%s\n", text::utf8FromUtf16(list_filter::refusalText(check)).c_str());
            return 1;
        }
        list_filter::normalizeTexts(filter);
    }

    const std::string boxFolder = paths::join(root, folder);
    out.dataRoot = text::utf16FromUtf8(root);
    out.columns = response ? list_columns::responseListColumns() : boxColumns(args);
    const int read =
        response ? out.rows.buildResponseList(boxFolder, {}) : out.rows.buildBoxList(boxFolder, boxes, {});
    if (read < 0) {
        std::fprintf(stderr, "一覧表の表示に失敗しました。\n");
        return 1;
    }
    if (!filters.empty()) {
        out.filtered = list_filter::apply(out.rows, filter) > 0;
        if (!out.filtered) {
            std::fprintf(stderr, "%s\n", text::utf8FromUtf16(list_filter::kNoMatchText).c_str());
        }
    }
    if (!response) {
        const std::u16string& dataRoot = out.dataRoot;
        const ListRows& rows = out.rows;
        list_sort::applyDefaultOrder(out.rows.shown(), [&](int record, list_columns::Column column) {
            return list_columns::cellText(rows.view(record), column, dataRoot, rows.emptySlot(record));
        });
    }
    return 0;
}

}  // namespace voxmg::tools
