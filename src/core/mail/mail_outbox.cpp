#include "core/mail/mail_outbox.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>

#include "core/base/paths.h"
#include "core/store/file_io.h"
#include "core/store/file_naming.h"

namespace voxmg::mail {
namespace {

constexpr std::string_view kJobExt = ".job";
constexpr std::string_view kMagic = "voxmg-mail-job 1";

std::string unescaped(std::string_view v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            const char n = v[++i];
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += v[i];
        }
    }
    return out;
}

template <typename T>
bool number(std::string_view v, T& out) {
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
    return ec == std::errc{} && end == v.data() + v.size();
}

bool applyField(MailJob& job, std::string_view key, std::string_view value) {
    if (key == "path") {
        job.messagePath = unescaped(value);
    } else if (key == "box") {
        job.box = unescaped(value);
    } else if (key == "reply") {
        job.lastReply = unescaped(value);
    } else if (key == "reason") {
        job.reason = unescaped(value);
    } else if (key == "attempts") {
        return number(value, job.attempts);
    } else if (key == "queued") {
        return number(value, job.queued);
    } else if (key == "next") {
        return number(value, job.nextAttempt);
    } else if (key == "state") {
        job.state = value == "failed"   ? JobState::Failed
                    : value == "silent" ? JobState::Silent
                                        : JobState::Waiting;
    } else if (key == "force") {
        job.sendAnyway = value == "1";
    } else if (key == "silence") {
        job.silence = value == "speech"   ? SilenceMark::Speech
                      : value == "silent" ? SilenceMark::Silent
                                          : SilenceMark::Unknown;
    }
    return true;  // a key of a later version is skipped
}

}  // namespace

std::optional<MailJob> parseJob(std::string_view text) {
    MailJob job;
    bool ended = false;
    bool first = true;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        if (nl == std::string_view::npos) {
            return std::nullopt;  // torn: every line of a whole file ends
        }
        const std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl + 1);
        if (first) {
            if (line != kMagic) {
                return std::nullopt;
            }
            first = false;
            continue;
        }
        if (line == "end") {
            ended = true;
            break;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || !applyField(job, line.substr(0, eq), line.substr(eq + 1))) {
            return std::nullopt;
        }
    }
    if (!ended || job.messagePath.empty()) {
        return std::nullopt;
    }
    return job;
}

Outbox::Outbox(std::string folder) : m_folder(std::move(folder)) {
    if (::mkdir(m_folder.c_str(), 0700) == 0) {
        const int fd =
            ::open(paths::join(m_folder, kLedgerOutboxName).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
        fileio::syncFolder(
            std::string(paths::parentOf(m_folder)));  // the folder outlasts a power cut with its jobs
    }
}

std::string Outbox::folderIn(const std::string& settingsFolder) {
    return paths::join(settingsFolder, kOutboxFolderName);
}

namespace {

std::string marksText(const std::string& folder, std::string_view name = kSilentMarksName) {
    std::string text;
    std::FILE* file = std::fopen(paths::join(folder, name).c_str(), "re");
    if (file == nullptr) {
        return text;
    }
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, n);
    }
    std::fclose(file);
    return text;
}

std::set<std::string, std::less<>> marksIn(const std::string& text) {
    std::set<std::string, std::less<>> marks;
    // A line without its end was cut short (a full disk): it names nothing.
    for (std::size_t begin = 0, end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        if (end > begin) {
            marks.emplace(text.substr(begin, end - begin));
        }
    }
    return marks;
}

}  // namespace

namespace {

// Adds `line` to the list file `name` of `folder` unless it is there. One short line in one
// append: the window's sender and a timer's mail-send may both add lines, and a kill leaves the
// whole line or none of it. A line a full disk cut short is ended first, so it cannot run into
// this one.
bool appendOnce(const std::string& folder, std::string_view name, std::string_view entry) {
    if (entry.empty() || entry.find('\n') != std::string_view::npos) {
        return false;
    }
    const std::string text = marksText(folder, name);
    if (marksIn(text).count(entry) != 0) {
        return true;
    }
    const std::string line = (text.empty() || text.back() == '\n' ? "" : "\n") + std::string(entry) + "\n";
    const int fd = ::open(paths::join(folder, name).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    return ::close(fd) == 0 && written;
}

}  // namespace

bool Outbox::markSilent(std::string_view baseName) const {
    return appendOnce(m_folder, kSilentMarksName, baseName);
}

bool Outbox::noteLedgerMade() const {
    return appendOnce(m_folder, kLedgerMadeName, "1");
}

bool Outbox::noteDataFolder(std::string_view dataFolder) const {
    // Synced: the download that noted it may delete on the main unit what it stores there.
    return appendOnce(m_folder, kDataFoldersName, dataFolder) &&
           fileio::syncFile(paths::join(m_folder, kDataFoldersName)) && fileio::syncFolder(m_folder);
}

std::vector<std::string> notedDataFolders(const std::string& folder) {
    const std::string text = marksText(folder, kDataFoldersName);
    std::vector<std::string> out;
    for (std::size_t begin = 0, end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        if (end > begin) {
            out.push_back(text.substr(begin, end - begin));
        }
    }
    return out;
}

std::set<std::string, std::less<>> silentMarks(const std::string& folder) {
    return marksIn(marksText(folder));
}

std::string silentMarkKey(std::string_view messagePath) {
    return naming::baseName(paths::fileName(messagePath));
}

bool markedSilent(const std::string& settingsFolder, std::string_view messagePath) {
    return silentMarks(Outbox::folderIn(settingsFolder)).count(silentMarkKey(messagePath)) != 0;
}

OutboxLock::OutboxLock(const std::string& folder) {
    m_fd = ::open(paths::join(folder, ".send.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        m_busy = errno == EWOULDBLOCK;
        ::close(m_fd);
        m_fd = -1;
    }
}

OutboxLock::~OutboxLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

}  // namespace voxmg::mail
