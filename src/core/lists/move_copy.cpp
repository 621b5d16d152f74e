#include "core/lists/move_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <map>
#include <optional>
#include <unordered_set>

#include "core/base/text.h"
#include "core/lists/convert_operation.h"
#include "core/store/box_links.h"
#include "core/store/dir_walk.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg::move_copy {

namespace {

// A message's files in the order they are handled.
constexpr std::array<std::string_view, 3> kExtensions = {naming::kInfoExt, naming::kVoiceExt, ".wav"};

// Temporary names start with a dot and carry no message extension, so no folder load lists them.
// A copy in the making: worthless once its run is gone.
constexpr std::string_view kCopyPrefix = ".voxmg-copy-";
// A destination file set aside while it is overwritten: ".voxmg-aside-XXXXXX-" and its own name
// with "." and "%" escaped, so that a run killed half way leaves enough to put it back.
constexpr std::string_view kAsidePrefix = ".voxmg-aside-";
constexpr std::size_t kRandomLength = 6;  // the XXXXXX of mkostemps

std::string withExtension(const std::string& path, std::string_view ext) {
    return naming::baseName(path) + std::string(ext);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Two names of one file; a symbolic link is compared as itself unless `follow`.
bool sameFile(const std::string& a, const std::string& b, bool follow) {
    struct stat sa {};
    struct stat sb {};
    auto get = follow ? &::stat : &::lstat;
    return get(a.c_str(), &sa) == 0 && get(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// The escaped name keeps no ".vminf" or ".vmdat" that a folder load would take for a message.
std::string escapeName(std::string_view name) {
    std::string out;
    for (const char c : name) {
        out += c == '.' ? std::string("%2E") : c == '%' ? std::string("%25") : std::string(1, c);
    }
    return out;
}

std::optional<std::string> unescapeName(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
        } else if (text.substr(i, 3) == "%2E") {
            out += '.';
            i += 2;
        } else if (text.substr(i, 3) == "%25") {
            out += '%';
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// A new empty file under a temporary name `prefix` + XXXXXX + `suffix` in `folder`; empty (errno
// set) when none can be made.
std::string makeTemp(const std::string& folder, std::string_view prefix, const std::string& suffix = {},
                     fileio::Fd* fd = nullptr) {
    std::string name = paths::join(folder, std::string(prefix) + std::string(kRandomLength, 'X') + suffix);
    int raw = ::mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (raw < 0) {
        return {};
    }
    fileio::Fd owned(raw);
    if (fd != nullptr) {
        *fd = std::move(owned);
    }
    return name;
}

// The final name of a set-aside file, when `name` is one.
std::optional<std::string> asideOf(std::string_view name) {
    if (!name.starts_with(kAsidePrefix) || name.size() < kAsidePrefix.size() + kRandomLength + 2 ||
        name[kAsidePrefix.size() + kRandomLength] != '-') {
        return std::nullopt;
    }
    auto final = unescapeName(name.substr(kAsidePrefix.size() + kRandomLength + 1));
    if (!final || paths::isUnsafeName(*final)) {
        return std::nullopt;
    }
    return final;
}

// The same bytes under both names (a copy across file systems is not the same file).
bool sameContent(const std::string& a, const std::string& b) {
    fileio::Fd fa = fileio::openRead(a);
    fileio::Fd fb = fileio::openRead(b);
    struct stat sa {};
    struct stat sb {};
    if (!fa.valid() || !fb.valid() || ::fstat(fa.get(), &sa) != 0 || ::fstat(fb.get(), &sb) != 0 ||
        sa.st_size != sb.st_size) {
        return false;
    }
    constexpr std::size_t kChunk = 1 << 16;
    for (std::uint64_t offset = 0; offset < static_cast<std::uint64_t>(sa.st_size); offset += kChunk) {
        auto pa = fileio::readAt(fa.get(), offset, kChunk);
        auto pb = fileio::readAt(fb.get(), offset, kChunk);
        if (!pa || !pb || *pa != *pb || pa->empty()) {
            return false;
        }
    }
    return true;
}

// Copies `size` bytes. A source that ends early (shortened meanwhile) fails the copy: a move
// must not remove a source whose copy is short.
bool copyData(int in, int out, off_t size) {
    off_t left = size;
    while (left > 0) {
        ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<std::size_t>(left), 0);
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            break;  // not between these two file systems: plain reads and writes below
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            errno = n == 0 ? EIO : errno;
            return false;
        }
        left -= n;
    }
    std::array<char, 1 << 16> buffer{};
    while (left > 0) {
        ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            errno = n == 0 ? EIO : errno;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno != EINTR) {
                return false;
            }
            done += w > 0 ? w : 0;
        }
        left -= n;
    }
    return true;
}

// rename(2) that refuses to replace an existing name (EEXIST), on every file system.
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

// The data, mode and modification time of `in` into `out`; `durable`: flushed to the disk too.
bool fill(int in, int out, const struct stat& st, bool durable) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return copyData(in, out, st.st_size) && ::fchmod(out, st.st_mode & 07777) == 0 &&
           ::futimens(out, times) == 0 && (!durable || ::fsync(out) == 0);
}

// A copy of `source` that appears under `dest` only once it is complete, and never replaces a
// file there (EEXIST). It is written as a file without a name and linked in; where the file
// system cannot do that, under a temporary name that is renamed. False with errno set, and
// nothing left behind. `durable`: flushed to the disk before it gets its name, for a move that
// removes the source afterwards.
bool copyInto(const std::string& source, const std::string& dest, bool durable) {
    fileio::Fd in = fileio::openRead(source);
    struct stat st {};
    if (!in.valid() || ::fstat(in.get(), &st) != 0) {
        return false;
    }
    const std::string folder(paths::parentOf(dest));
    fileio::Fd out(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, st.st_mode & 07777));
    if (out.valid()) {
        if (!fill(in.get(), out.get(), st, durable)) {
            return false;
        }
        const std::string self = "/proc/self/fd/" + std::to_string(out.get());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, dest.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        if (errno != ENOENT || ::access("/proc/self/fd", F_OK) == 0) {
            return false;  // EEXIST, ENOSPC, ...
        }
        // Without /proc the file cannot be named: the temporary name below.
        ::lseek(in.get(), 0, SEEK_SET);
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return false;
    }
    const std::string temp = makeTemp(folder, kCopyPrefix, {}, &out);
    if (temp.empty()) {
        return false;
    }
    if (fill(in.get(), out.get(), st, durable) && renameNoReplace(temp, dest)) {
        return true;
    }
    const int error = errno;
    ::unlink(temp.c_str());
    errno = error;
    return false;
}

// Puts a set-aside file back under its name, unless that name holds a file again: the files
// under final names are complete, so the set-aside one is then the stale one and goes.
void restoreAside(const std::string& saved, const std::string& dest) {
    if (!renameNoReplace(saved, dest) && errno == EEXIST) {
        ::unlink(saved.c_str());
    }
}

enum class Place {
    Placed,
    Exists,
    Gone,  // the source name vanished meanwhile: nothing of it to place
    NoSpace,
    Failed,
};

// One name this message put into the destination box, and the destination's own file of that
// name, set aside under a temporary name while it is being overwritten.
struct PlacedFile {
    std::string source;
    std::string dest;
    std::string saved;
    bool created = false;  // this run made the name; otherwise it found the source's file there
    bool copied = false;   // a copy of its own, not a second name of the source
    bool renamed = false;  // the source's own name moved here: the source has it no longer
};

// The rename a move gives the last file of a message, through the caller's seam. Once the file
// system answers that it cannot rename without replacing, the rest of the run links instead.
class Renamer {
public:
    explicit Renamer(std::function<int(const std::string&, const std::string&)> call)
        : m_call(std::move(call)) {}

    bool refused() const { return m_refused; }

    // 0 or an errno.
    int operator()(const std::string& from, const std::string& to) {
        const int error = m_call ? m_call(from, to)
                          : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0
                              ? 0
                              : errno;
        m_refused = m_refused || error == EINVAL || error == ENOSYS;
        return error;
    }

private:
    std::function<int(const std::string&, const std::string&)> m_call;
    bool m_refused = false;
};

Place failure(const std::string& source) {
    if (errno == ENOENT && !exists(source)) {
        return Place::Gone;
    }
    return errno == ENOSPC || errno == EDQUOT ? Place::NoSpace : Place::Failed;
}

// Sets the destination's own file of the name aside under a temporary name, so that an
// overwrite can be taken back. A failure when it could not be moved.
std::optional<Place> setAside(PlacedFile& placed) {
    const std::string folder(paths::parentOf(placed.dest));
    placed.saved = makeTemp(folder, kAsidePrefix, "-" + escapeName(paths::fileName(placed.dest)));
    if (placed.saved.empty() || ::rename(placed.dest.c_str(), placed.saved.c_str()) != 0) {
        const Place result = failure(placed.dest);
        if (!placed.saved.empty()) {
            ::unlink(placed.saved.c_str());
        }
        // The destination file went meanwhile: nothing to set aside.
        if (result != Place::Gone) {
            return result;
        }
        placed.saved.clear();
    }
    return std::nullopt;
}

// The data of `placed.source` through a temporary file under `placed.dest`: always for a copy,
// for a move only where the link failed for want of (more) hard links. A failure puts back
// what was set aside.
Place placeByCopy(PlacedFile& placed, Mode mode, int linkError) {
    auto undoSave = [&placed] {
        if (!placed.saved.empty()) {
            restoreAside(placed.saved, placed.dest);
        }
    };
    // EXDEV: another file system; EPERM, EMLINK: one without (more) hard links. A move then
    // copies as well.
    if (mode == Mode::Move && linkError != EXDEV && linkError != EPERM && linkError != EMLINK &&
        linkError != EOPNOTSUPP) {
        errno = linkError;
        const Place result = linkError == EEXIST ? Place::Exists : failure(placed.source);
        undoSave();
        return result;
    }
    // A copy is not flushed file by file: its source stays, so a power cut can cost the copy but
    // never the message, and the folder load skips a file the cut left short.
    if (!copyInto(placed.source, placed.dest, mode == Mode::Move)) {
        const Place result = errno == EEXIST ? Place::Exists : failure(placed.source);
        undoSave();
        return result;
    }
    placed.created = true;
    placed.copied = true;
    return Place::Placed;
}

// Puts `source` under `dest`. A move links it (the source name stays until the whole message
// is there), or renames it when `rename` is given: the last file of a message, with which the
// message is whole in the destination. Across file systems, and always for a copy, the data
// goes through a temporary file. Without `overwrite` an existing destination is never touched.
Place place(const std::string& source, const std::string& dest, bool overwrite, Mode mode, PlacedFile& placed,
            Renamer* rename = nullptr) {
    placed = {source, dest, {}};
    // A move links or renames first and learns of a clash from that; a copy looks before it
    // copies.
    int linkError = 0;
    auto tryLink = [&] {
        if (rename != nullptr && !rename->refused()) {
            linkError = (*rename)(source, dest);
            placed.renamed = linkError == 0;
            if (!rename->refused()) {
                placed.created = placed.renamed;
                return placed.created;
            }
        }
        linkError = ::link(source.c_str(), dest.c_str()) == 0 ? 0 : errno;
        placed.created = linkError == 0;
        return placed.created;
    };
    if (mode == Mode::Move && tryLink()) {
        return Place::Placed;
    }
    if (mode == Mode::Move ? linkError == EEXIST : exists(dest)) {
        // A name left by a move that was interrupted before it removed the source (or made by
        // another run moving the same message): the file is in place already, and not ours.
        if (mode == Mode::Move && sameFile(source, dest, false)) {
            return Place::Placed;
        }
        if (!exists(source)) {
            return Place::Gone;  // another run moved it there meanwhile: no clash to ask about
        }
        if (!overwrite) {
            return Place::Exists;
        }
        if (const auto failed = setAside(placed)) {
            return *failed;
        }
        if (mode == Mode::Move && tryLink()) {
            return Place::Placed;
        }
    }
    return placeByCopy(placed, mode, linkError);
}

// Takes back what this message put into the destination: the names this run made go, a file
// it renamed goes back, overwritten files come back. A name it found there stays (another run
// may finish its move with it). So do all it made once the source's recording info is gone:
// another run moving the same message took them as its own and is removing the source names,
// the recording info first. A renamed file that cannot go back keeps the message whole in the
// destination, so the names made before it stay too.
void rollBack(std::vector<PlacedFile>& placed, const std::string& sourceInfo) {
    bool keep = !exists(sourceInfo);
    for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
        if (it->renamed) {
            keep = keep || !renameNoReplace(it->dest, it->source);
        } else {
            const bool stillOurs = it->copied ? exists(it->source) : sameFile(it->source, it->dest, false);
            if (it->created && stillOurs && !keep) {
                ::unlink(it->dest.c_str());
            }
        }
        if (!it->saved.empty()) {
            restoreAside(it->saved, it->dest);
        }
    }
    placed.clear();
}

// The order in which a move removes the source names: the recording info first, the voice data
// last, so that a source box interrupted here still lists the message by its voice file and the
// next move finds it (a WAV file left alone would be listed by nothing).
int removalRank(const std::string& path) {
    if (path.ends_with(naming::kInfoExt)) {
        return 0;
    }
    return path.ends_with(naming::kVoiceExt) ? 2 : 1;
}

// The message is whole in the destination: a move now removes the source names.
void commit(std::vector<PlacedFile>& placed, Mode mode) {
    // Across file systems no journal orders the two folders: the copies' names are made durable
    // before any source name goes.
    if (mode == Mode::Move && !placed.empty() &&
        std::any_of(placed.begin(), placed.end(), [](const PlacedFile& f) { return f.copied; })) {
        fileio::syncFolder(std::string(paths::parentOf(placed.front().dest)));
    }
    std::stable_sort(placed.begin(), placed.end(), [](const PlacedFile& a, const PlacedFile& b) {
        return removalRank(a.source) < removalRank(b.source);
    });
    // The overwritten files go first, while the source still lists the message: a run stopped
    // in between leaves a half-done move that the next move of it finishes, never set-aside
    // files in a box that no further run of this move would enter.
    for (const PlacedFile& file : placed) {
        if (!file.saved.empty()) {
            ::unlink(file.saved.c_str());
        }
    }
    for (const PlacedFile& file : placed) {
        if (mode == Mode::Move && !file.renamed) {
            ::unlink(file.source.c_str());
        }
    }
    placed.clear();
}

// What a killed move or copy leaves in a box folder: set-aside files go back under their names
// when those are missing, and go when the names hold a file again; copies in the making go.
// Only ever called from a run that changes the folder, never from a load of it. `names`, when
// given, gets every name the folder may hold afterwards.
void removeLeftovers(const std::string& folder, std::unordered_set<std::string>* names = nullptr) {
    std::vector<std::string> leftovers;
    fileio::walkFolder(folder, [&](std::string_view name, bool isFolder) {
        if (!isFolder && (name.starts_with(kAsidePrefix) || name.starts_with(kCopyPrefix))) {
            leftovers.emplace_back(name);
        } else if (!isFolder && names != nullptr) {
            names->emplace(name);
        }
        return true;
    });
    for (const std::string& name : leftovers) {
        const std::string path = paths::join(folder, name);
        if (!fileio::isPlainFile(path)) {
            continue;
        }
        if (name.starts_with(kCopyPrefix)) {
            ::unlink(path.c_str());
        } else if (auto final = asideOf(name)) {
            restoreAside(path, paths::join(folder, *final));
            if (names != nullptr) {
                names->insert(*final);
            }
        }
    }
}

std::uint64_t spaceNeeded(std::uint64_t size) {
    return (size / 4096 + 1) * 4096;
}

UserMessage errorMessage(std::u16string text) {
    return {std::move(text), u"エラー", UserMessage::Icon::Exclamation};
}

struct Marks {
    bool notDownloaded = false;
    bool noSpace = false;
    bool failed = false;
    bool onlySameBox = true;  // every message was in the destination box already
};

UserMessage summarize(const Marks& marks, int done, std::size_t rows, Mode mode) {
    const bool copy = mode == Mode::Copy;
    const std::u16string caption = copy ? u"コピー完了" : u"移動完了";
    const UserMessage success{copy ? u"音声メッセージのコピーが正常に完了しました。"
                                   : u"音声メッセージの移動が正常に完了しました。",
                              caption, UserMessage::Icon::Information};
    const std::u16string noSpace = u"ＰＣのメモリ不足です。";
    const std::u16string notDownloaded = u"音声ファイルがダウンロードされていません。";
    if (marks.failed) {
        return errorMessage(copy ? u"音声メッセージをコピーできませんでした。"
                                 : u"音声メッセージを移動できませんでした。");
    }
    // Nothing happened: saying it went well would hide that the wrong box was chosen.
    if (marks.onlySameBox && rows > 0) {
        return errorMessage(copy ? u"コピー元とコピー先が同じボックスです。"
                                 : u"移動元と移動先が同じボックスです。");
    }
    if (rows == 1) {
        if (marks.noSpace) {
            return errorMessage(noSpace);
        }
        return marks.notDownloaded ? errorMessage(notDownloaded) : success;
    }
    if (done == 0) {
        if (marks.notDownloaded) {
            return errorMessage(notDownloaded);
        }
        return marks.noSpace ? errorMessage(noSpace) : success;
    }
    const std::u16string some = copy ? u"一部の音声メッセージがコピーできませんでした\n"
                                     : u"一部の音声メッセージが移動ができませんでした\n";
    if (marks.notDownloaded) {
        return {some + u"(音声ファイルなし)。", caption, UserMessage::Icon::Information};
    }
    if (marks.noSpace) {
        return {some + u"(ＰＣのメモリ不足)。", caption, UserMessage::Icon::Information};
    }
    return success;
}

// One run over the rows.
class Run {
public:
    Run(const MoveCopyRequest& request, Flags& flags, const Pump& pump, ProgressSink* progress)
        : m_request(request),
          m_flags(flags),
          m_pump(pump),
          m_progress(progress),
          m_dest(destinationFolder(request.boxFolder, request.destinationBox)),
          m_rename(request.renameNoReplace) {}

    MoveCopyResult operator()() {
        MoveCopyResult result;
        const std::size_t count = m_request.paths.size();
        if (m_progress != nullptr) {
            m_progress->setRange(static_cast<int>(count) * 3);
        }
        if (!m_dest.empty()) {
            removeLeftovers(m_dest, &m_destNames);
        }
        bool stopped = false;
        for (std::size_t i = 0; i < count; ++i) {
            RowResult row{m_request.paths[i]};
            if (!stopped) {
                row.outcome = message(row.path, static_cast<int>(i) * 3);
                setPosition(static_cast<int>(i) * 3 + 3);
                stopped = row.outcome == RowOutcome::NoSpace || row.outcome == RowOutcome::Failed ||
                          row.outcome == RowOutcome::Cancelled;
            }
            result.rows.push_back(row);
        }
        if (!m_dest.empty()) {
            fileio::syncFolder(m_dest);
        }
        for (const auto& [folder, same] : m_sourceFolders) {
            if (!same) {
                fileio::syncFolder(folder);
            }
        }

        Marks marks;
        for (const RowResult& row : result.rows) {
            const RowOutcome o = row.outcome;
            result.done +=
                o == RowOutcome::Done || o == RowOutcome::Declined || o == RowOutcome::SameBox ? 1 : 0;
            marks.notDownloaded = marks.notDownloaded || o == RowOutcome::NotDownloaded;
            marks.noSpace = marks.noSpace || o == RowOutcome::NoSpace;
            marks.failed = marks.failed || o == RowOutcome::Failed;
            marks.onlySameBox = marks.onlySameBox && o == RowOutcome::SameBox;
        }
        result.cancelled = m_cancelled;
        result.interrupted = m_interrupted;
        if (!m_cancelled && !m_interrupted) {
            result.summary = summarize(marks, result.done, count, m_request.mode);
            result.success = result.summary.icon == UserMessage::Icon::Information && !marks.notDownloaded &&
                             !marks.noSpace;
        }
        return result;
    }

private:
    void setPosition(int position) {
        if (m_progress != nullptr) {
            m_progress->setPosition(position);
        }
        pumpOnce(m_pump);
    }

    bool stopRequested() {
        if (m_flags.cancelAll != 0) {
            m_cancelled = true;
        } else if (m_request.interrupt && m_request.interrupt()) {
            m_interrupted = true;
        }
        return m_cancelled || m_interrupted;
    }

    Overwrite ask(const std::string& fileName) const {
        if (!m_request.askOverwrite) {
            return Overwrite::No;
        }
        return m_request.askOverwrite(u"このﾌｫﾙﾀﾞには既に " + text::utf16FromUtf8(fileName) +
                                      u" ﾌｧｲﾙが存在します。");
    }

    // The destination file of the source file `source`.
    std::string destOf(const std::string& source) const {
        return paths::join(m_dest, std::string(paths::fileName(source)));
    }

    // The message's name in the destination holds less than a message: its voice data is
    // missing or short, or its recording info is.
    bool destinationIncomplete(const std::string& voice) const {
        const std::string info = destOf(withExtension(voice, naming::kInfoExt));
        const bool hasInfo = inDestination(info);
        if (!inDestination(destOf(voice)) && !hasInfo &&
            !inDestination(destOf(withExtension(voice, ".wav")))) {
            return false;
        }
        const CFileMng files(m_flags);
        return !files.isCompleteDownload(destOf(voice), std::nullopt) ||
               (hasInfo && !files.isCompleteDownload(info, std::nullopt));
    }

    // A name of the destination box that holds a file. The names the run found there at its
    // start spare a stat of each name a move of many messages into a new box would look up;
    // one made since by another run is met by the link or rename, which never replaces it.
    bool inDestination(const std::string& path) const {
        return m_destNames.contains(std::string(paths::fileName(path))) && exists(path);
    }

    // Completes a move that was killed after it removed the source's recording info: when the
    // destination holds the message whole, with each file the source still has (the same file,
    // or across file systems the same bytes), the source's names go. Anything else is left.
    bool finishMove(const std::string& voice) {
        const CFileMng files(m_flags);
        if (!files.isCompleteDownload(destOf(withExtension(voice, naming::kInfoExt)), std::nullopt)) {
            return false;
        }
        const std::array<std::string, 2> rest = {withExtension(voice, ".wav"), voice};
        bool copies = false;
        for (const std::string& source : rest) {
            if (!exists(source)) {
                continue;
            }
            const std::string dest = destOf(source);
            if (!fileio::isPlainFile(dest)) {
                return false;
            }
            if (!sameFile(source, dest, false)) {
                if (!sameContent(source, dest)) {
                    return false;
                }
                copies = true;
            }
        }
        if (copies) {
            fileio::syncFolder(m_dest);
        }
        for (const std::string& source : rest) {
            ::unlink(source.c_str());
        }
        return true;
    }

    RowOutcome message(const std::string& path, int position) {
        if (m_flags.cancelAll != 0) {
            m_cancelled = true;
            return RowOutcome::Cancelled;
        }
        if (!naming::isVoiceName(paths::fileName(path))) {
            return RowOutcome::NotDownloaded;
        }
        if (isInLinkedBox(path)) {
            return RowOutcome::Failed;  // never taken out of a box that lies outside the data folder
        }
        const auto voiceSize = fileio::fileSize(path);
        if (!voiceSize) {
            return RowOutcome::NotDownloaded;
        }
        const std::string info = withExtension(path, naming::kInfoExt);
        const auto infoSize = fileio::fileSize(info);
        const bool hasInfo = infoSize.has_value();
        if (m_dest.empty()) {
            return hasInfo ? RowOutcome::Failed : RowOutcome::NotDownloaded;
        }
        if (isDestination(std::string(paths::parentOf(path)))) {
            return hasInfo ? RowOutcome::SameBox : RowOutcome::NotDownloaded;
        }
        if (!hasInfo) {
            // A move killed while it removed the source names leaves the voice data behind.
            return m_request.mode == Mode::Move && finishMove(path) ? RowOutcome::Done
                                                                    : RowOutcome::NotDownloaded;
        }
        return placeMessage(path, info, position, {*infoSize, *voiceSize});
    }

    // Moving a message onto itself would remove the only copy. A source folder met for the
    // first time also loses what killed runs left in it.
    bool isDestination(const std::string& sourceFolder) {
        auto known = m_sourceFolders.find(sourceFolder);
        if (known == m_sourceFolders.end()) {
            const bool same = sameFile(sourceFolder, m_dest, true);
            if (!same) {
                removeLeftovers(sourceFolder);
            }
            known = m_sourceFolders.emplace(sourceFolder, same).first;
        }
        return known->second;
    }

    // Every file of the message, or none of it, into the destination box.
    // `sizes`: of the recording info and the voice data, as the row's check found them.
    RowOutcome placeMessage(const std::string& path, const std::string& info, int position,
                            std::array<std::uint64_t, 2> sizes) {
        // What a killed copy leaves (the recording info without its voice data) is no message
        // to keep: replacing it needs no question.
        bool overwriteThis = destinationIncomplete(path);
        std::vector<PlacedFile> placed;
        for (std::size_t k = 0; k < kExtensions.size(); ++k) {
            setPosition(position + static_cast<int>(k) + 1);
            const std::string source = withExtension(path, kExtensions[k]);
            const auto size = k < sizes.size() ? std::optional(sizes[k]) : fileio::fileSize(source);
            if (!size) {
                continue;  // the WAV file is often absent
            }
            if (const auto stop =
                    placeFile(source, *size, k + 1 == kExtensions.size(), overwriteThis, placed)) {
                rollBack(placed, info);
                return *stop;
            }
        }
        commit(placed, m_request.mode);
        return RowOutcome::Done;
    }

    // One file of the message into the destination; the row's outcome when the message goes
    // no further (the caller takes back what was placed). A move renames the `last` file rather
    // than link it and remove the source name later: a link and an unlink cost twice a rename,
    // and with the last file in place the message is whole in the destination all the same.
    // Only a WAV file is renamed so: a message without one would have its voice data renamed,
    // and a kill then left a lone recording info in the source box that nothing lists.
    std::optional<RowOutcome> placeFile(const std::string& source, std::uint64_t size, bool last,
                                        bool& overwriteThis, std::vector<PlacedFile>& placed) {
        const std::string name(paths::fileName(source));
        const std::string dest = paths::join(m_dest, name);
        if (!roomFor(size)) {
            return RowOutcome::NoSpace;
        }
        PlacedFile file;
        Renamer* rename = last && m_request.mode == Mode::Move ? &m_rename : nullptr;
        Place result = place(source, dest, overwriteThis || m_overwriteAll, m_request.mode, file, rename);
        if (result == Place::Exists) {
            if (const auto refused = answerClash(name, overwriteThis)) {
                return refused;
            }
            result = place(source, dest, true, m_request.mode, file, rename);
        }
        if (result == Place::Gone) {
            return std::nullopt;  // moved away by another run meanwhile
        }
        if (result != Place::Placed) {
            return result == Place::NoSpace ? RowOutcome::NoSpace : RowOutcome::Failed;
        }
        if (file.copied && m_free && *m_free) {
            **m_free -= std::min(**m_free, spaceNeeded(size));
        }
        m_destNames.insert(name);
        placed.push_back(std::move(file));
        if (stopRequested()) {
            return RowOutcome::Cancelled;
        }
        return std::nullopt;
    }

    // Whether a file of `size` bytes fits into the destination. The system's figure costs a
    // statvfs and a walk up the path: it is asked once per run, and what the run copies is taken
    // off it (a link or rename takes no room). A probe of the caller's is asked every time.
    bool roomFor(std::uint64_t size) {
        if (!m_request.freeSpace) {
            return true;
        }
        using SystemProbe = std::optional<std::uint64_t> (*)(const std::string&);
        const auto* probe = m_request.freeSpace.target<SystemProbe>();
        const bool system = probe != nullptr && *probe == &systemFreeSpace;
        // The destination box exists, so its own free space is that of the destination.
        if (!system || !m_free) {
            m_free = m_request.freeSpace(m_dest);
        }
        return !*m_free || **m_free >= spaceNeeded(size);
    }

    // The user's answer to a name the destination has already; the row's outcome when the
    // message is not to go.
    std::optional<RowOutcome> answerClash(const std::string& name, bool& overwriteThis) {
        switch (ask(name)) {
            case Overwrite::Yes:
                overwriteThis = true;
                return std::nullopt;
            case Overwrite::All:
                m_overwriteAll = true;
                return std::nullopt;
            case Overwrite::No:
                // Nothing of the message moves: a move never leaves it split.
                return RowOutcome::Declined;
            case Overwrite::Cancel:
                m_cancelled = true;
                return RowOutcome::Cancelled;
        }
        return std::nullopt;
    }

    const MoveCopyRequest& m_request;
    Flags& m_flags;
    const Pump& m_pump;
    ProgressSink* m_progress;
    const std::string m_dest;
    std::map<std::string, bool> m_sourceFolders;         // folder -> it is the destination
    std::unordered_set<std::string> m_destNames;         // names the destination may hold
    std::optional<std::optional<std::uint64_t>> m_free;  // the destination's free bytes, once asked
    Renamer m_rename;
    bool m_overwriteAll = false;
    bool m_cancelled = false;
    bool m_interrupted = false;
};

}  // namespace

std::string destinationFolder(const std::string& boxFolder, const std::string& destinationBox) {
    const std::size_t slash = destinationBox.find('/');
    if (slash == std::string::npos || boxFolder.empty()) {
        return {};
    }
    const std::string kind = destinationBox.substr(0, slash);
    std::string name = destinationBox.substr(slash + 1);
    if (!name.empty() && name.back() == '/') {
        name.pop_back();
    }
    if ((kind != naming::kAnswerKind && kind != naming::kExtensionKind) || paths::isUnsafeName(name)) {
        return {};
    }
    std::string folder = paths::join(paths::join(boxFolder, kind), name);
    return isLinkedBox(folder) ? std::string() : folder;  // nothing written out of the data folder
}

MoveCopyResult run(const MoveCopyRequest& request, Flags& flags, const Pump& pump, ProgressSink* progress) {
    WorkerPause pause(flags, pump);
    flags.cancelAll = 0;
    return Run(request, flags, pump, progress)();
}

}  // namespace voxmg::move_copy
