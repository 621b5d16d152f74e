#include "core/exchange/name_import.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/store/box_management.h"
#include "core/store/file_io.h"
#include "core/store/file_naming.h"

namespace voxmg::name_import {
namespace {

constexpr std::string_view kCopyFile = "inf.tmp";
// The phone book's lines are short; the rest of a longer line is skipped, never read as a
// line of its own.
constexpr std::size_t kMaxLineBytes = 256;
constexpr int kBytesPerStep = 25;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The next line without its LF and an optional CR before it; nothing at the end of the file.
std::optional<std::string> readLine(std::FILE* file) {
    std::string line;
    int c = std::getc(file);
    if (c == EOF) {
        return std::nullopt;
    }
    for (; c != EOF && c != '\n'; c = std::getc(file)) {
        if (line.size() < kMaxLineBytes) {
            line.push_back(static_cast<char>(c));
        }
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

const std::string& headerText() {
    static const std::string header = text::cp932FromUtf8("収容位置,内線番号,内線名称,ヨミガナ");
    return header;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string naisenBox(const std::string& boxFolder, std::string_view number) {
    return paths::join(paths::join(boxFolder, "naisen"), number);
}

// Copies the box's inf.ini to inf.tmp (a box without one gets an inf.tmp with an empty NAME),
// then writes the name. A box whose copy cannot be made keeps its inf.ini untouched, so a
// cancel can always put back what was there.
bool writeName(const std::string& box, std::u16string_view name) {
    const std::string info = paths::join(box, naming::kBoxInfoFile);
    const std::string copy = paths::join(box, kCopyFile);
    bool copied = false;
    if (exists(info)) {
        auto bytes = fileio::readAll(info);
        copied = bytes && fileio::replaceFile(copy, {std::span<const std::uint8_t>(*bytes)});
    } else {
        ProfileFile empty(copy);
        empty.writeString(u"INF", u"NAME", u"");
        copied = empty.save();
    }
    return copied && profile::writeString(info, u"INF", u"NAME", name);
}

// The extension boxes holding a copy.
std::vector<std::string> boxesWithCopies(const std::string& boxFolder) {
    std::vector<std::string> out;
    for (const auto& box : boxes::boxSubfolders(boxFolder, boxes::BoxKind::Extension)) {
        std::string path = naisenBox(boxFolder, box);
        if (fileio::isPlainFile(paths::join(path, kCopyFile))) {
            out.push_back(std::move(path));
        }
    }
    return out;
}

UserMessage failure() {
    return {u"インポートエラー", u"エラー", UserMessage::Icon::Exclamation};
}

}  // namespace

std::optional<PhoneBookEntry> parseLine(std::string_view line) {
    const std::u16string decoded = text::utf16FromCp932(line);
    std::vector<std::u16string_view> fields;
    std::u16string_view rest = decoded;
    for (std::size_t comma = rest.find(u','); comma != std::u16string_view::npos && fields.size() < 3;
         comma = rest.find(u',')) {
        fields.push_back(rest.substr(0, comma));
        rest.remove_prefix(comma + 1);
    }
    if (fields.size() < 3) {
        return std::nullopt;
    }
    if (boxes::hasControlCharacter(fields[1]) || boxes::hasControlCharacter(fields[2])) {
        return std::nullopt;
    }
    return PhoneBookEntry{text::utf8FromUtf16(fields[1]), std::u16string(fields[2])};
}

void restoreCopies(const std::string& boxFolder, const Pump& pump) {
    for (const auto& box : boxesWithCopies(boxFolder)) {
        // One rename puts the copy in place: there is no moment without an inf.ini.
        std::rename(paths::join(box, kCopyFile).c_str(), paths::join(box, naming::kBoxInfoFile).c_str());
        pumpOnce(pump);
    }
}

void deleteCopies(const std::string& boxFolder) {
    for (const auto& box : boxesWithCopies(boxFolder)) {
        std::remove(paths::join(box, kCopyFile).c_str());
    }
}

ImportOutcome run(const ImportRequest& request, ProgressSink* progress, const Pump& pump) {
    ImportOutcome outcome;
    auto refuse = [&] {
        restoreCopies(request.boxFolder, pump);
        deleteCopies(request.boxFolder);
        outcome.summary = failure();
        return outcome;
    };
    fileio::Fd fd = fileio::openRead(request.source);
    File file(fd.valid() ? ::fdopen(fd.get(), "rb") : nullptr, &std::fclose);
    if (!file) {
        return refuse();
    }
    fd.release();
    const int range = static_cast<int>(
        std::min<std::uint64_t>(fileio::fileSize(request.source).value_or(0) / kBytesPerStep, 1 << 30));
    if (progress) {
        progress->setRange(range);
        progress->setPosition(0);
    }

    readLine(file.get());
    const auto header = readLine(file.get());
    if (!header || header->compare(0, headerText().size(), headerText()) != 0) {
        file.reset();
        return refuse();
    }

    bool cancelled = false;
    int position = 0;
    while (!(cancelled = request.cancelRequested && request.cancelRequested())) {
        const auto line = readLine(file.get());
        if (!line) {
            break;
        }
        if (auto entry = parseLine(*line);
            entry && boxes::isBoxSubfolder(request.boxFolder, boxes::BoxKind::Extension, entry->number)) {
            if (writeName(naisenBox(request.boxFolder, entry->number), entry->name)) {
                outcome.names.push_back({entry->number, std::move(entry->name)});
            }
        }
        if (progress) {
            progress->setPosition(++position);
        }
        pumpOnce(pump);
    }
    file.reset();

    outcome.result = ImportResult::Done;
    if (cancelled) {
        restoreCopies(request.boxFolder, pump);
        return outcome;
    }
    outcome.completed = true;
    if (progress) {
        progress->setPosition(range);
    }
    deleteCopies(request.boxFolder);
    outcome.summary = {u"内線電話帳のインポートが正常に完了しました。", u"インポート完了",
                       UserMessage::Icon::Information};
    return outcome;
}

}  // namespace voxmg::name_import
