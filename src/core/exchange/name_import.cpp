#include "core/exchange/name_import.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/store/box_management.h"
#include "core/store/dir_walk.h"
#include "core/store/file_io.h"
#include "core/store/file_naming.h"
#include "core/store/file_replace.h"

namespace voxmg::name_import {
namespace {

constexpr std::string_view kCopyFile = "inf.tmp";
// The import's own work files live in the "naisen" folder, where one listing finds what a kill
// left: temporary files renamed into a box's inf.ini or inf.tmp, and the mark that says every
// name of an import is on the disk while its copies are deleted.
constexpr std::string_view kTempPrefix = ".inf-import-";
constexpr std::string_view kDoneMark = ".inf-imported";
// The phone book's lines are short; the rest of a longer line is skipped, never read as a
// line of its own.
constexpr std::size_t kMaxLineBytes = 256;
constexpr int kBytesPerStep = 25;
constexpr mode_t kNewFileMode = 0644;

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

std::string naisenFolder(const std::string& boxFolder) {
    return paths::join(boxFolder, boxes::kindFolder(boxes::BoxKind::Extension));
}

// Moves a copy back over inf.ini: one rename, so there is no moment without an inf.ini. A copy
// still linked to inf.ini (taken, the name not yet written) is the same file: it only goes.
bool putBack(fileio::Writes& writes, const std::string& copy, const std::string& info) {
    struct stat copyStat {};
    struct stat infoStat {};
    if (::lstat(copy.c_str(), &copyStat) == 0 && ::lstat(info.c_str(), &infoStat) == 0 &&
        copyStat.st_dev == infoStat.st_dev && copyStat.st_ino == infoStat.st_ino) {
        return ::unlink(copy.c_str()) == 0;
    }
    return writes.rename(copy, info);
}

// One box to name, and what its inf.ini held before this run.
struct BoxWrite {
    std::string folder;
    std::u16string name;                  // the name of the box's last line
    std::optional<std::string> original;  // nothing when the box had no inf.ini
    mode_t mode = kNewFileMode;
    bool copied = false;
    bool named = false;
};

// The boxes of one run, in box order, from one pass over the phone book.
class Import {
public:
    Import(const ImportRequest& request, const Pump& pump)
        : m_request(request),
          m_pump(pump),
          m_writes(request.writes ? *request.writes : fileio::systemWrites()),
          m_naisen(naisenFolder(request.boxFolder)),
          m_tempPrefix(paths::join(m_naisen, kTempPrefix)) {}

    // Reads the data lines; false when cancelled.
    bool readBook(std::FILE* file, ProgressSink* progress, std::vector<ImportedName>& names);
    // Reads each box's inf.ini; boxes whose inf.ini cannot be read are left alone.
    void readBoxes(std::vector<ImportedName>& names);
    enum class Step { Done, Cancelled, Failed };
    Step write();
    // Puts back every box this run changed; drops the copies of boxes it had not changed yet.
    void undo();
    void dropCopies();

private:
    bool cancelled() const { return m_request.cancelRequested && m_request.cancelRequested(); }
    bool takeCopy(const BoxWrite& box);
    std::string infoPath(const BoxWrite& box) const { return paths::join(box.folder, naming::kBoxInfoFile); }
    std::string copyPath(const BoxWrite& box) const { return paths::join(box.folder, kCopyFile); }

    const ImportRequest& m_request;
    const Pump& m_pump;
    fileio::Writes& m_writes;
    const std::string m_naisen;
    const std::string m_tempPrefix;
    std::map<std::string, BoxWrite> m_boxes;
};

bool Import::readBook(std::FILE* file, ProgressSink* progress, std::vector<ImportedName>& names) {
    // One listing instead of a look at the disk per line: a directory repeats its extensions.
    const auto folders = boxes::boxSubfolders(m_request.boxFolder, boxes::BoxKind::Extension);
    const std::set<std::string, std::less<>> known(folders.begin(), folders.end());
    int position = 0;
    while (!cancelled()) {
        const auto line = readLine(file);
        if (!line) {
            return true;
        }
        if (auto entry = parseLine(*line); entry && known.contains(entry->number)) {
            BoxWrite& box = m_boxes[entry->number];
            if (box.folder.empty()) {
                box.folder = paths::join(m_naisen, entry->number);
            }
            box.name = entry->name;
            names.push_back({entry->number, std::move(entry->name)});
        }
        if (progress) {
            progress->setPosition(++position);
        }
        pumpOnce(m_pump);
    }
    return false;
}

void Import::readBoxes(std::vector<ImportedName>& names) {
    std::set<std::string, std::less<>> unreadable;
    for (auto it = m_boxes.begin(); it != m_boxes.end();) {
        BoxWrite& box = it->second;
        const std::string info = infoPath(box);
        struct stat st {};
        if (::lstat(info.c_str(), &st) == 0) {
            // Never through a link or into anything but a plain file: such a box keeps what it has.
            auto bytes = S_ISREG(st.st_mode) ? fileio::readAll(info) : std::nullopt;
            if (!bytes) {
                unreadable.insert(it->first);
                it = m_boxes.erase(it);
                continue;
            }
            box.original = std::string(bytes->begin(), bytes->end());
            box.mode = st.st_mode & 07777;
        }
        ++it;
    }
    std::erase_if(names, [&](const ImportedName& n) { return unreadable.contains(n.box); });
}

// A second name for the inf.ini as it is: every change replaces inf.ini by a rename, so the
// copy keeps the old content without a byte written. A file system without hard links gets the
// bytes. Not flushed one by one: one flush of the file system covers all the copies.
bool Import::takeCopy(const BoxWrite& box) {
    if (box.original) {
        if (::link(infoPath(box).c_str(), copyPath(box).c_str()) == 0) {
            return true;
        }
        if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EXDEV && errno != EMLINK &&
            errno != ENOSYS) {
            return false;
        }
        return fileio::replaceThrough(m_writes, copyPath(box), *box.original, box.mode, false, m_tempPrefix);
    }
    ProfileFile empty;
    empty.writeString(u"INF", u"NAME", u"");
    return fileio::replaceThrough(m_writes, copyPath(box), empty.bytes(), box.mode, false, m_tempPrefix);
}

Import::Step Import::write() {
    // The copies first, each taken once, before this run changes anything: whatever happens
    // next, inf.tmp holds what the box held before the run.
    for (auto& [number, box] : m_boxes) {
        if (cancelled()) {
            return Step::Cancelled;
        }
        if (!takeCopy(box)) {
            return Step::Failed;
        }
        box.copied = true;
        pumpOnce(m_pump);
    }
    if (!m_boxes.empty() && !fileio::syncFileSystem(m_naisen)) {
        return Step::Failed;
    }
    for (auto& [number, box] : m_boxes) {
        if (cancelled()) {
            return Step::Cancelled;
        }
        ProfileFile info = ProfileFile::fromBytes(box.original.value_or(std::string()));
        info.writeString(u"INF", u"NAME", box.name);
        // Not flushed one by one either: the import flushes the file system once after the last
        // name, before anything relies on the names (the copies going).
        if (!fileio::replaceThrough(m_writes, infoPath(box), info.bytes(), box.mode, false, m_tempPrefix)) {
            return Step::Failed;  // inf.ini is as it was: its copy is only dropped
        }
        box.named = true;
        pumpOnce(m_pump);
    }
    // Every name on the disk before anything relies on it: the copies go next.
    if (!m_boxes.empty() && !fileio::syncFileSystem(m_naisen)) {
        return Step::Failed;
    }
    return Step::Done;
}

void Import::undo() {
    for (auto& [number, box] : m_boxes) {
        if (!box.copied) {
            continue;
        }
        if (box.named) {
            // A copy that cannot be moved stays for the next run to move.
            putBack(m_writes, copyPath(box), infoPath(box));
        } else {
            ::unlink(copyPath(box).c_str());
        }
        pumpOnce(m_pump);
    }
}

void Import::dropCopies() {
    if (m_boxes.empty()) {
        return;
    }
    // Every name is on the disk; the mark tells a run that finds copies after a kill here that
    // they are to be deleted, not moved back over the new names.
    const std::string mark = paths::join(m_naisen, kDoneMark);
    const bool marked = fileio::replaceThrough(m_writes, mark, {}, kNewFileMode, true, m_tempPrefix) &&
                        fileio::syncFolder(m_naisen);
    for (auto& [number, box] : m_boxes) {
        ::unlink(copyPath(box).c_str());
    }
    if (marked) {
        ::unlink(mark.c_str());
    }
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

bool restoreCopies(const std::string& boxFolder, const Pump& pump, fileio::Writes& writes) {
    const std::string naisen = naisenFolder(boxFolder);
    const std::string mark = paths::join(naisen, kDoneMark);
    const bool finished = fileio::isPlainFile(mark);
    std::vector<std::string> temps;
    fileio::walkFolder(naisen, [&](std::string_view name, bool isFolder) {
        if (!isFolder && name.starts_with(kTempPrefix)) {
            temps.push_back(paths::join(naisen, name));
        }
        return true;
    });
    for (const auto& temp : temps) {
        if (fileio::isPlainFile(temp)) {
            ::unlink(temp.c_str());
        }
    }
    bool ok = true;
    for (const auto& name : boxes::boxSubfolders(boxFolder, boxes::BoxKind::Extension)) {
        const std::string box = paths::join(naisen, name);
        const std::string copy = paths::join(box, kCopyFile);
        if (!fileio::isPlainFile(copy)) {
            continue;
        }
        if (finished) {
            ok = ::unlink(copy.c_str()) == 0 && ok;
        } else {
            ok = putBack(writes, copy, paths::join(box, naming::kBoxInfoFile)) && ok;
        }
        pumpOnce(pump);
    }
    // A mark left behind would have the copies of the next interrupted import deleted.
    return ok && (!finished || ::unlink(mark.c_str()) == 0);
}

void deleteCopies(const std::string& boxFolder) {
    const std::string naisen = naisenFolder(boxFolder);
    for (const auto& name : boxes::boxSubfolders(boxFolder, boxes::BoxKind::Extension)) {
        const std::string copy = paths::join(paths::join(naisen, name), kCopyFile);
        if (fileio::isPlainFile(copy)) {
            ::unlink(copy.c_str());
        }
    }
}

ImportOutcome run(const ImportRequest& request, ProgressSink* progress, const Pump& pump) {
    ImportOutcome outcome;
    // What an interrupted import left is settled first: the boxes go back to their last
    // complete state, and this run's copies are then taken from it.
    fileio::Writes& writes = request.writes ? *request.writes : fileio::systemWrites();
    if (!restoreCopies(request.boxFolder, pump, writes)) {
        outcome.summary = failure();
        return outcome;
    }
    fileio::Fd fd = fileio::openRead(request.source);
    File file(fd.valid() ? ::fdopen(fd.get(), "rb") : nullptr, &std::fclose);
    if (!file) {
        outcome.summary = failure();
        return outcome;
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
        outcome.summary = failure();
        return outcome;
    }

    Import import(request, pump);
    const bool read = import.readBook(file.get(), progress, outcome.names);
    file.reset();
    outcome.result = ImportResult::Done;
    if (!read) {
        return outcome;
    }
    import.readBoxes(outcome.names);
    switch (import.write()) {
        case Import::Step::Cancelled:
            import.undo();
            return outcome;
        case Import::Step::Failed:
            import.undo();
            outcome.result = ImportResult::Failed;
            outcome.names.clear();
            outcome.summary = failure();
            return outcome;
        case Import::Step::Done:
            break;
    }
    outcome.completed = true;
    if (progress) {
        progress->setPosition(range);
    }
    import.dropCopies();
    outcome.summary = {u"内線電話帳のインポートが正常に完了しました。", u"インポート完了",
                       UserMessage::Icon::Information};
    return outcome;
}

}  // namespace voxmg::name_import
