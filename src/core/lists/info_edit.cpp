#include "core/lists/info_edit.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <vector>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/store/box_links.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg::info_edit {
namespace {

bool tooLong(std::u16string_view text, std::size_t bytes) {
    return text::cp932Length(text) > bytes;
}

bool hasComma(std::u16string_view text) {
    return text.find(u',') != std::u16string_view::npos;
}

// A lone LF becomes CR LF; CR LF pairs stay as they are.
std::u16string withCrLf(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) {
            out.push_back(u'\r');
        }
        out.push_back(text[i]);
    }
    return out;
}

// What a text becomes once stored: a character CP932 cannot hold reads back as "?".
std::u16string stored(std::u16string_view text) {
    return text::utf16FromCp932(text::cp932FromUtf16(text));
}

void applyFlag(FILESTS_INFO& record, bool flag) {
    // Clearing the flag keeps the selection mark a refreshing list may have left there.
    record.flags = flag ? static_cast<std::uint8_t>(record.flags | FILESTS_INFO::kUserFlag)
                        : static_cast<std::uint8_t>(record.flags & FILESTS_INFO::kSelectedMark);
}

// Renames without replacing a file that already has the new name.
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // File systems without RENAME_NOREPLACE: look first.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0 || errno != ENOENT) {
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Gives the voice file its new name, then the other files of the message. A failure puts
// back every name changed so far.
bool renameMessageFiles(const std::string& oldVoice, const std::string& newVoice) {
    if (oldVoice == newVoice) {
        return true;  // edited again within the same minute
    }
    const std::string oldBase = naming::baseName(oldVoice);
    const std::string newBase = naming::baseName(newVoice);
    std::vector<std::pair<std::string, std::string>> done;
    auto rollBack = [&done] {
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            std::rename(it->second.c_str(), it->first.c_str());
        }
    };
    if (!renameNoReplace(oldVoice, newVoice)) {
        return false;
    }
    done.emplace_back(oldVoice, newVoice);
    // The imported audio file keeps the upper-case extension it was given.
    for (const char* ext : {".vminf", ".wav", ".WAV", ".wma", ".WMA"}) {
        const std::string from = oldBase + ext;
        if (!exists(from)) {
            continue;
        }
        const std::string to = newBase + ext;
        if (!renameNoReplace(from, to)) {
            rollBack();
            return false;
        }
        done.emplace_back(from, to);
    }
    return true;
}

// The recording info file beside an edited voice data file, with its record and header as they
// were, so that both files' records stay equal and a failure can put it back.
class InfoPartner {
public:
    InfoPartner(const CFileMng& files, const std::string& shown) : m_files(files) {
        if (!shown.ends_with(naming::kVoiceExt)) {
            return;
        }
        m_path = naming::partnerName(shown);
        m_before = fileio::isPlainFile(m_path) ? fileio::readPrefix(m_path, kFramesOffset) : std::nullopt;
        // A file that holds no record is no message the lists could show: left alone.
        if (m_before && (m_before->size() < kFramesOffset || !m_files.readRecord(m_path, m_own))) {
            m_before.reset();
        }
    }

    // Writes the edited record into the partner, if there is one. It keeps its own download
    // state: once the voice file is deleted on its own, the partner must read as info-only
    // again.
    bool write(const FILESTS_INFO& edited) const {
        if (!m_before) {
            return true;
        }
        FILESTS_INFO record = edited;
        record.state = m_own.state;
        record.path = m_own.path;
        return m_files.writeBackRecord(record, m_path) == FileOp::Done;
    }
    void restore() const {
        if (m_before) {
            fileio::writeInPlace(m_path, 0, *m_before, kFramesOffset);
        }
    }

private:
    const CFileMng& m_files;
    std::string m_path;
    std::optional<std::vector<std::uint8_t>> m_before;
    FILESTS_INFO m_own;
};

}  // namespace

std::string shownFile(const std::string& path) {
    if (!path.ends_with(naming::kInfoExt)) {
        return path;
    }
    const std::string voice = naming::partnerName(path);
    return fileio::isPlainFile(voice) ? voice : path;
}

EditResult check(const BoxEdit& edit) {
    const std::u16string memo = withCrLf(edit.memo);
    for (std::u16string_view t : {std::u16string_view(edit.title), std::u16string_view(edit.callerNumber),
                                  std::u16string_view(edit.callerName), std::u16string_view(memo)}) {
        if (hasComma(t)) {
            return EditResult::HasComma;
        }
    }
    if (tooLong(edit.title, kTitleBytes)) {
        return EditResult::TitleTooLong;
    }
    if (tooLong(edit.callerNumber, kCallerNumberBytes)) {
        return EditResult::CallerNumberTooLong;
    }
    if (tooLong(edit.callerName, kCallerNameBytes)) {
        return EditResult::CallerNameTooLong;
    }
    if (tooLong(memo, kMemoBytes)) {
        return EditResult::MemoTooLong;
    }
    return EditResult::Done;
}

EditResult check(const ResponseEdit& edit) {
    if (hasComma(edit.name)) {
        return EditResult::HasComma;
    }
    return tooLong(edit.name, kResponseNameBytes) ? EditResult::NameTooLong : EditResult::Done;
}

void apply(FILESTS_INFO& record, const BoxEdit& edit) {
    FILESTS_INFO::setText(record.title, stored(edit.title));
    FILESTS_INFO::setText(record.callerNumber, stored(edit.callerNumber));
    FILESTS_INFO::setText(record.callerName, stored(edit.callerName));
    FILESTS_INFO::setText(record.memo, stored(withCrLf(edit.memo)));
    record.protect = edit.protect ? 1 : 0;
    applyFlag(record, edit.flag);
}

void apply(FILESTS_INFO& record, const ResponseEdit& edit) {
    FILESTS_INFO::setText(record.callerName, stored(edit.name));
    applyFlag(record, edit.flag);
}

std::string renamedResponsePath(const std::string& path, const std::tm& now) {
    const std::u16string name = text::utf16FromUtf8(paths::fileName(path));
    if (name.size() < 16) {
        return {};
    }
    char stamp[32];
    if (std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M", &now) == 0) {
        return {};
    }
    const std::string newName = std::string(stamp) + "_" + naming::weekdayAbbrev(now, true) +
                                text::utf8FromUtf16(name.substr(name.size() - 16));
    return paths::join(paths::parentOf(path), newName);
}

EditOutcome editBoxMessage(const std::string& named, const BoxEdit& edit, std::atomic<int>& cancelAll) {
    EditOutcome out;
    const std::string path = shownFile(named);
    out.path = path;
    if ((out.result = check(edit)) != EditResult::Done) {
        return out;
    }
    if (isInLinkedBox(path)) {
        out.result = EditResult::WriteFailed;  // never written through a link out of the data folder
        return out;
    }
    CFileMng files(cancelAll);
    // The file's own record takes the edit, so a played mark or state set since the dialog
    // opened is kept.
    if (!files.readRecord(path, out.record)) {
        out.result = EditResult::CannotRead;
        return out;
    }
    // Record and header as they are, to put back when the partner cannot follow.
    const auto before = fileio::readPrefix(path, kFramesOffset);
    apply(out.record, edit);
    InfoPartner partner(files, path);
    if (files.writeBackRecord(out.record, path) != FileOp::Done) {
        out.result = EditResult::WriteFailed;
        return out;
    }
    if (!partner.write(out.record)) {
        if (before) {
            fileio::writeInPlace(path, 0, *before, kFramesOffset);
        }
        partner.restore();
        out.result = EditResult::WriteFailed;
        return out;
    }
    out.result = EditResult::Done;
    return out;
}

EditOutcome editResponseMessage(const std::string& named, const ResponseEdit& edit, const std::tm& now,
                                std::atomic<int>& cancelAll) {
    EditOutcome out;
    const std::string path = shownFile(named);
    out.path = path;
    if ((out.result = check(edit)) != EditResult::Done) {
        return out;
    }
    if (isInLinkedBox(path)) {
        out.result = EditResult::WriteFailed;  // never written through a link out of the data folder
        return out;
    }
    const std::string newPath = renamedResponsePath(path, now);
    CFileMng files(cancelAll);
    // Record and header as they are, to put back when a later step fails.
    auto before = fileio::readPrefix(path, kFramesOffset);
    if (!before || before->size() < kFramesOffset || !files.readRecord(path, out.record)) {
        out.result = EditResult::CannotRead;
        return out;
    }
    if (newPath.empty()) {
        out.result = EditResult::RenameFailed;
        return out;
    }
    apply(out.record, edit);
    InfoPartner partner(files, path);
    if (files.writeBackRecord(out.record, path) != FileOp::Done) {
        out.result = EditResult::WriteFailed;
        return out;
    }
    auto restore = [&] {
        fileio::writeInPlace(path, 0, *before, kFramesOffset);
        partner.restore();
    };
    if (!partner.write(out.record)) {
        restore();
        out.result = EditResult::WriteFailed;
        return out;
    }
    if (files.updateResponseHeader(out.record, path, now) != FileOp::Done) {
        restore();
        out.result = EditResult::HeaderFailed;
        return out;
    }
    if (!renameMessageFiles(path, newPath)) {
        restore();
        out.result = EditResult::RenameFailed;
        return out;
    }
    out.path = newPath;
    out.result = EditResult::Done;
    return out;
}

}  // namespace voxmg::info_edit
