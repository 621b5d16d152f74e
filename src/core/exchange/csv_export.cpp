#include "core/exchange/csv_export.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/lists/list_rows.h"
#include "core/store/file_io.h"

namespace voxmg::csv_export {
namespace {

bool isDirectory(const std::string& folder) {
    struct stat st {};
    return !folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The cell's number as the list control's text reads: leading blanks skipped, a sign, digits;
// anything else ends it (no digits: 0).
int cellNumber(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    int value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9' && value < 100000000; ++i) {
        value = value * 10 + (text[i] - u'0');
    }
    return negative ? -value : value;
}

bool needsQuotes(std::u16string_view cell) {
    // A plain loop: find_first_of walks the set through char_traits for every unit.
    return std::any_of(cell.begin(), cell.end(),
                       [](char16_t c) { return c == u',' || c == u'"' || c == u'\r' || c == u'\n'; });
}

void appendCell(std::u16string& line, std::u16string_view cell) {
    if (!needsQuotes(cell)) {
        line += cell;
        return;
    }
    line += u'"';
    for (char16_t c : cell) {
        if (c == u'"') {
            line += u'"';
        }
        line += c;
    }
    line += u'"';
}

bool isSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// CP932 bytes of the lines. A list's lines are mostly ASCII and a few hundred different
// Japanese characters, so each character goes through the converter once and is remembered;
// a line holding a surrogate goes through it whole. The bytes are the converter's either way.
class Cp932Lines {
public:
    Cp932Lines() : m_known(0x10000) {}

    void append(std::vector<std::uint8_t>& out, std::u16string_view line) {
        if (std::any_of(line.begin(), line.end(), isSurrogate)) {
            const std::string bytes = text::cp932FromUtf16(line);
            out.insert(out.end(), bytes.begin(), bytes.end());
        } else {
            // Written through a pointer into room for two bytes a unit, then cut.
            const std::size_t start = out.size();
            out.resize(start + 2 * line.size());
            std::uint8_t* at = out.data() + start;
            for (char16_t c : line) {
                if (c < 0x80) {
                    *at++ = static_cast<std::uint8_t>(c);
                    continue;
                }
                Known& known = m_known[c];
                if (known.size == 0) {
                    const std::string bytes = text::cp932FromUtf16(std::u16string_view(&c, 1));
                    known.size = static_cast<std::uint8_t>(std::min<std::size_t>(bytes.size(), 2));
                    std::copy_n(bytes.begin(), known.size, known.bytes.begin());
                }
                at = std::copy_n(known.bytes.begin(), known.size, at);
            }
            out.resize(static_cast<std::size_t>(at - out.data()));
        }
        out.push_back('\n');
    }

private:
    // A CP932 character is one or two bytes.
    struct Known {
        std::uint8_t size = 0;
        std::array<std::uint8_t, 2> bytes{};
    };
    std::vector<Known> m_known;  // by UTF-16 unit, filled as met
};

}  // namespace

bool acceptedName(std::string_view fileName) {
    return fileName.find(".csv") != std::string_view::npos;
}

std::string targetPath(const std::string& folder, const std::string& fileName) {
    return paths::withTrailingSeparator(folder) + fileName;
}

namespace {

// One line onto `line`: the cells joined, leading blanks removed.
void appendLine(std::u16string& line, const std::vector<std::u16string>& cells) {
    const std::size_t start = line.size();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) {
            line += u',';
        }
        appendCell(line, cells[i]);
    }
    std::size_t first = start;
    while (first < line.size() && (line[first] == u' ' || line[first] == u'\t')) {
        ++first;
    }
    line.erase(start, first - start);
}

}  // namespace

std::u16string joinLine(const std::vector<std::u16string>& cells) {
    std::u16string line;
    appendLine(line, cells);
    return line;
}

std::u16string fileCell(std::u16string_view header, std::u16string_view shown, bool responseList) {
    if (header.find(u"ﾌﾗｸﾞ") != std::u16string_view::npos) {
        return cellNumber(shown) != 0 ? u"ﾌﾗｸﾞ" : u"";
    }
    if (!responseList && header.find(u"取込") != std::u16string_view::npos) {
        return list_columns::shownStateShortText(cellNumber(shown));
    }
    return std::u16string(shown);
}

namespace {

// Why the export cannot start, if it cannot.
std::optional<ExportResult> refusal(const ExportRequest& request) {
    if (!isDirectory(request.folder)) {
        return ExportResult::FolderMissing;
    }
    if (!acceptedName(request.fileName) || request.fileName.find('/') != std::string::npos) {
        return ExportResult::NotCsvName;
    }
    if (request.rows == nullptr || request.rows->shown().empty() || request.columns.empty()) {
        return ExportResult::NoRows;
    }
    // Found out now rather than after every row was converted.
    if (::access(request.folder.c_str(), W_OK | X_OK) != 0) {
        return ExportResult::CannotWrite;
    }
    return std::nullopt;
}

// The header line and the shown rows as the file's bytes. A cancel ends it after the row it
// came during; the lines so far are kept.
ExportOutcome encodeRows(const ExportRequest& request, const Pump& pump, ProgressSink* progress,
                         std::vector<std::uint8_t>& out) {
    const ListRows& rows = *request.rows;
    const auto& shown = rows.shown();
    std::vector<std::u16string> cells;
    cells.reserve(request.columns.size());
    for (const auto& column : request.columns) {
        cells.push_back(column.name);
    }
    Cp932Lines lines;
    std::u16string line = joinLine(cells);
    lines.append(out, line);
    ExportOutcome outcome;
    for (int i = 0; i < static_cast<int>(shown.size()); ++i) {
        pumpOnce(pump);
        const int record = shown[static_cast<std::size_t>(i)];
        const bool empty = rows.emptySlot(record);
        for (std::size_t c = 0; c < request.columns.size(); ++c) {
            const auto& column = request.columns[c];
            cells[c] =
                fileCell(column.name,
                         list_columns::cellText(rows.view(record), column.column, request.dataRoot, empty),
                         rows.response());
        }
        line.clear();
        appendLine(line, cells);
        lines.append(out, line);
        outcome.rowsWritten = i + 1;
        if (progress != nullptr) {
            progress->setPosition(i);
        }
        if (request.cancelRequested && request.cancelRequested()) {
            outcome.result = ExportResult::Cancelled;
            break;
        }
    }
    return outcome;
}

}  // namespace

ExportOutcome run(const ExportRequest& request, const Pump& pump, ProgressSink* progress) {
    if (const auto refused = refusal(request)) {
        return {*refused, 0};
    }
    const int count = static_cast<int>(request.rows->shown().size());
    if (progress != nullptr) {
        progress->setRange(count);
    }
    std::vector<std::uint8_t> out;
    const ExportOutcome outcome = encodeRows(request, pump, progress, out);
    const std::string path = targetPath(request.folder, request.fileName);
    if (!fileio::replaceFile(path, {std::span<const std::uint8_t>(out)})) {
        return {ExportResult::CannotWrite, 0};
    }
    if (progress != nullptr) {
        progress->setPosition(count);
    }
    return outcome;
}

}  // namespace voxmg::csv_export
