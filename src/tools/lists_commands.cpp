// voxmgctl edit: the recording info edit of the list windows, on one message file.
// voxmgctl list: the rows a list window shows, filtered as its "選択表示" does.
#include <atomic>
#include <cstdio>
#include <ctime>
#include <optional>
#include <set>
#include <string>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/lists/info_edit.h"
#include "core/mail/mail_outbox.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"
#include "tools/command.h"
#include "tools/list_selection.h"
#include "tools/record_json.h"

namespace voxmg::tools {
namespace {

const std::vector<std::string> kValued = {"--title",   "--caller-number", "--caller-name", "--memo",
                                          "--protect", "--flag",          "--name"};

// The text of an option when given, else `current`.
std::u16string textOption(const Args& args, const std::string& name, const std::u16string& current) {
    bool present = false;
    std::string value = optionValue(args, name, &present);
    return present ? text::utf16FromUtf8(value) : current;
}

// "0" or "1" when given; nullopt for anything else.
std::optional<bool> switchOption(const Args& args, const std::string& name, bool current) {
    bool present = false;
    std::string value = optionValue(args, name, &present);
    if (!present) {
        return current;
    }
    if (value == "0" || value == "1") {
        return value == "1";
    }
    return std::nullopt;
}

int usage() {
    std::fprintf(stderr,
                 "usage: voxmgctl edit FILE [--title T] [--caller-number N] [--caller-name N] [--memo M]\n"
                 "                      [--protect 0|1] [--flag 0|1] [--name N (response messages)]\n");
    return 2;
}

// Whether the options given are those of the message's kind (said on stderr when not).
bool optionsFitTheKind(const Args& args, bool response) {
    for (const char* boxOnly : {"--title", "--caller-number", "--caller-name", "--memo", "--protect"}) {
        if (response && hasFlag(args, boxOnly)) {
            std::fprintf(stderr, "voxmgctl: %s is for box messages; a response message has --name\n",
                         boxOnly);
            return false;
        }
    }
    if (!response && hasFlag(args, "--name")) {
        std::fprintf(stderr, "voxmgctl: --name is for response messages\n");
        return false;
    }
    return true;
}

int edit(const Args& args) {
    auto files = positional(args, kValued);
    if (files.size() != 1) {
        return usage();
    }
    // The record the list shows is the one edited: the voice data file's, when the message has one.
    const std::string path = info_edit::shownFile(files[0]);
    const bool response = naming::isResponsePath(path);
    if (!optionsFitTheKind(args, response)) {
        return 2;
    }
    std::atomic<int> cancel{0};
    FILESTS_INFO current;
    if (!CFileMng(cancel).readRecord(path, current)) {
        std::fprintf(stderr, "voxmgctl: cannot read the record of %s\n", path.c_str());
        return 1;
    }
    auto flag = switchOption(args, "--flag", (current.flags & FILESTS_INFO::kUserFlag) != 0);
    auto protect = switchOption(args, "--protect", current.protect != 0);
    if (!flag || !protect) {
        return usage();
    }
    info_edit::EditOutcome out;
    if (response) {
        info_edit::ResponseEdit e{.name = textOption(args, "--name", current.callerNameText()),
                                  .flag = *flag};
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        out = info_edit::editResponseMessage(path, e, local, cancel);
    } else {
        info_edit::BoxEdit e{.title = textOption(args, "--title", current.titleText()),
                             .callerNumber = textOption(args, "--caller-number", current.callerNumberText()),
                             .callerName = textOption(args, "--caller-name", current.callerNameText()),
                             .memo = textOption(args, "--memo", current.memoText()),
                             .protect = *protect,
                             .flag = *flag};
        out = info_edit::editBoxMessage(path, e, cancel);
    }
    using info_edit::EditResult;
    if (out.result == EditResult::WriteFailed || out.result == EditResult::HeaderFailed ||
        out.result == EditResult::RenameFailed) {
        // The edit was fine; the folder or the file refused it (read-only, another user's).
        std::fprintf(stderr, "書き込みできません: %s\n", path.c_str());
        return 1;
    }
    if (out.result != EditResult::Done) {
        // The one text the edit dialogs show for every refusal.
        std::fprintf(stderr, "入力値エラーです。\n");
        return 1;
    }
    printJson(Json{{"path", out.path}, {"record", recordJson(out.record)}});
    return 0;
}

// A value as dump(2) prints it `depth` levels down in a document: every line after its first
// indented by the levels above it. A string never holds a raw line break: dump escapes it.
std::string nestedDump(const Json& value, int depth) {
    const std::string text = value.dump(2, ' ', false, Json::error_handler_t::replace);
    const std::string pad(static_cast<std::size_t>(2 * depth), ' ');
    std::string out;
    out.reserve(text.size() + 64);
    for (char c : text) {
        out += c;
        if (c == '\n') {
            out += pad;
        }
    }
    return out;
}

template <std::size_t N>
char* put(char* out, const char (&literal)[N]) {
    return std::copy_n(literal, N - 1, out);
}

// One ASCII character as it stands in a JSON string.
char* putAscii(char* out, char c) {
    static constexpr char kHex[] = "0123456789abcdef";
    switch (c) {
        case '"':
            out = put(out, "\\\"");
            break;
        case '\\':
            out = put(out, "\\\\");
            break;
        case '\b':
            out = put(out, "\\b");
            break;
        case '\f':
            out = put(out, "\\f");
            break;
        case '\n':
            out = put(out, "\\n");
            break;
        case '\r':
            out = put(out, "\\r");
            break;
        case '\t':
            out = put(out, "\\t");
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out = put(out, "\\u00");
                *out++ = kHex[static_cast<unsigned char>(c) >> 4];
                *out++ = kHex[static_cast<unsigned char>(c) & 0xF];
            } else {
                *out++ = c;
            }
    }
    return out;
}

// A cell as a JSON string, straight from its UTF-16: the bytes dump() writes for the UTF-8 text
// utf8FromUtf16 gives (an unpaired surrogate becomes U+FFFD), without building either. Fifty
// thousand rows of ten cells made the conversions and the dump most of the list's time.
void appendJsonString(std::string& buffer, std::u16string_view text) {
    // Written through a pointer into room for the worst case (six bytes a unit), then cut.
    const std::size_t start = buffer.size();
    buffer.resize(start + 2 + 6 * text.size());
    char* out = buffer.data() + start;
    *out++ = '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        const bool high = cp >= 0xD800 && cp <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out = putAscii(out, static_cast<char>(cp));
        } else if (cp < 0x800) {
            *out++ = static_cast<char>(0xC0 | (cp >> 6));
            *out++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *out++ = static_cast<char>(0xE0 | (cp >> 12));
            *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *out++ = static_cast<char>(0xF0 | (cp >> 18));
            *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    *out++ = '"';
    buffer.resize(static_cast<std::size_t>(out - buffer.data()));
}

// The document printJson would print, written a row at a time: a list of 50,000 rows is never
// held whole, neither as JSON nor as text.
// `silent`: base names of the messages the mail sender found to hold no speech; the rows they
// show are listed by index in "silent_rows".
void printRows(const ListSelection& selection, const std::set<std::string, std::less<>>& silent,
               std::FILE* out) {
    Json columns = Json::array();
    for (const auto& column : selection.columns) {
        columns.push_back(text::utf8FromUtf16(column.name));
    }
    const ListRows& rows = selection.rows;
    std::string text = "{\n  \"columns\": " + nestedDump(columns, 1) + ",\n  \"rows\": ";
    const auto& shown = rows.shown();
    text += shown.empty() ? "[]" : "[";
    std::string silentRows;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const int record = shown[i];
        const RowView row = rows.view(record);
        if (!silent.empty() && silent.count(mail::silentMarkKey(text::utf8FromUtf16(row.pathTail))) != 0) {
            silentRows += (silentRows.empty() ? "\n    " : ",\n    ") + std::to_string(i);
        }
        text += i == 0 ? "\n    [" : ",\n    [";
        const char* separator = "\n      ";
        for (const auto& column : selection.columns) {
            text += separator;
            separator = ",\n      ";
            appendJsonString(
                text, list_columns::cellText(row, column.column, selection.dataRoot, rows.emptySlot(record)));
        }
        text += selection.columns.empty() ? "]" : "\n    ]";
        if (text.size() > 65536) {
            std::fwrite(text.data(), 1, text.size(), out);
            text.clear();
        }
    }
    text += shown.empty() ? "" : "\n  ]";
    text += ",\n  \"silent_rows\": [" + silentRows + (silentRows.empty() ? "]" : "\n  ]");
    text += ",\n  \"box_total\": " + std::to_string(rows.boxTotal()) +
            ",\n  \"list_total\": " + std::to_string(rows.listTotal()) +
            ",\n  \"filtered\": " + (selection.filtered ? "true" : "false") + "\n}\n";
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

int list(const Args& args) {
    ListSelection selection;
    const int status = buildSelection(args, selection);
    if (status == 2) {
        std::fprintf(stderr, "usage: voxmgctl list %s [--settings DIR]\n", kSelectionUsage);
    }
    if (status != 0) {
        return status;
    }
    const std::string settings = optionValue(args, "--settings");
    const std::string settingsFolder = settings.empty() ? paths::settingsFolder() : settings;
    printRows(selection, mail::silentMarks(mail::Outbox::folderIn(settingsFolder)), stdout);
    return 0;
}

CommandRegistrar listCommand{
    Command{"list",
            std::string("list ") + kSelectionUsage +
                " [--settings DIR]   the rows a list window shows, as cell texts (JSON); silent_rows: the "
                "rows whose message the mail sender found silent",
            list}};

CommandRegistrar editCommand{
    Command{"edit",
            "edit FILE [--title T] [--caller-number N] [--caller-name N] [--memo M] [--protect 0|1] "
            "[--flag 0|1] [--name N]   recording info edit (JSON)",
            edit, kValued, Writes::Messages}};

}  // namespace
}  // namespace voxmg::tools
