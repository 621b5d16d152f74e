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

const char* stateName(JobState s) {
    switch (s) {
        case JobState::Failed:
            return "failed";
        case JobState::Silent:
            return "silent";
        case JobState::Waiting:
            break;
    }
    return "waiting";
}

const char* silenceName(SilenceMark m) {
    switch (m) {
        case SilenceMark::Speech:
            return "speech";
        case SilenceMark::Silent:
            return "silent";
        case SilenceMark::Unknown:
            break;
    }
    return "unknown";
}

// Values are one line each: a backslash, CR or LF in a path or a reply is escaped.
std::string escaped(std::string_view v) {
    std::string out;
    for (char c : v) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

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

std::string jobText(const MailJob& j) {
    std::string t(kMagic);
    t += "\npath=" + escaped(j.messagePath) + "\nbox=" + escaped(j.box) +
         "\nattempts=" + std::to_string(j.attempts) + "\nqueued=" + std::to_string(j.queued) +
         "\nnext=" + std::to_string(j.nextAttempt) + "\nstate=" + stateName(j.state) +
         "\nsilence=" + silenceName(j.silence) + "\nforce=" + (j.sendAnyway ? "1" : "0") +
         "\nreply=" + escaped(j.lastReply) + "\nreason=" + escaped(j.reason) + "\nend\n";
    return t;
}

std::optional<MailJob> parseJob(std::string_view text, std::string id) {
    MailJob job;
    job.id = std::move(id);
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

std::string jobIdFor(const std::string& messagePath) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (char c : messagePath) {
        hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    }
    std::string base;
    for (char c : naming::baseName(paths::fileName(messagePath))) {
        const auto u = static_cast<unsigned char>(c);
        base += (std::isalnum(u) != 0 || c == '_' || c == '-') && u < 0x80 ? c : '_';
    }
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "-%08x", hash);
    return base + suffix;
}

Outbox::Outbox(std::string folder) : m_folder(std::move(folder)) {
    if (::mkdir(m_folder.c_str(), 0700) == 0) {
        fileio::syncFolder(
            std::string(paths::parentOf(m_folder)));  // the folder outlasts a power cut with its jobs
    }
}

std::string Outbox::folderIn(const std::string& settingsFolder) {
    return paths::join(settingsFolder, kOutboxFolderName);
}

std::string Outbox::pathOf(const std::string& id) const {
    return paths::join(m_folder, id + std::string(kJobExt));
}

EnqueueResult Outbox::enqueue(const std::string& messagePath, const std::string& box, std::time_t now) const {
    MailJob job;
    job.id = jobIdFor(messagePath);
    if (auto queued = find(job.id)) {
        if (queued->state != JobState::Failed) {
            return EnqueueResult::AlreadyQueued;
        }
        // Stored again (its file had been lost or broken): the failed job is worth another try.
        job = *queued;
        job.state = JobState::Waiting;
        job.attempts = 0;
    }
    job.messagePath = messagePath;
    job.box = box;
    job.queued = job.queued != 0 ? job.queued : now;
    job.nextAttempt = now;
    // Synced with its folder entry: a download may delete the message on the main unit next.
    if (!save(job) || !fileio::syncFolder(m_folder)) {
        return EnqueueResult::WriteFailed;
    }
    return EnqueueResult::Queued;
}

bool Outbox::save(const MailJob& job) const {
    const std::string text = jobText(job);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    return fileio::replaceFile(pathOf(job.id), {std::span(bytes, text.size())}, true);
}

bool Outbox::remove(const MailJob& job) const {
    return ::unlink(pathOf(job.id).c_str()) == 0 || errno == ENOENT;
}

std::optional<MailJob> Outbox::find(const std::string& id) const {
    auto bytes = fileio::readAll(pathOf(id));
    if (!bytes) {
        return std::nullopt;
    }
    return parseJob(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), id);
}

std::vector<MailJob> Outbox::jobs() const {
    std::vector<MailJob> out;
    DIR* dir = ::opendir(m_folder.c_str());
    if (dir == nullptr) {
        return out;
    }
    // Opened relative to the folder and read in one call: the status bar and `mail-outbox` list
    // the whole outbox after every pass, and it may hold a thousand jobs after an outage.
    char buffer[8192];
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name.size() <= kJobExt.size() || name.front() == '.' || !name.ends_with(kJobExt)) {
            continue;
        }
        std::string id(name.substr(0, name.size() - kJobExt.size()));
        const int fd = ::openat(::dirfd(dir), e->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        const ssize_t n = fd < 0 ? -1 : ::read(fd, buffer, sizeof buffer);
        if (fd >= 0) {
            ::close(fd);
        }
        std::optional<MailJob> job;
        if (n >= 0 && static_cast<std::size_t>(n) < sizeof buffer) {
            job = parseJob(std::string_view(buffer, static_cast<std::size_t>(n)), std::move(id));
        } else if (n >= 0) {
            job = find(id);  // longer than any job this program writes; read it whole all the same
        }
        if (job) {
            out.push_back(std::move(*job));
        }
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const MailJob& a, const MailJob& b) {
        return a.queued != b.queued ? a.queued < b.queued : a.id < b.id;
    });
    return out;
}

bool Outbox::retry(const std::string& id, std::time_t now) const {
    auto job = find(id);
    // A waiting job may be on its way this moment: written back, it would go twice.
    if (!job || job->state == JobState::Waiting) {
        return false;
    }
    job->state = JobState::Waiting;
    job->attempts = 0;
    job->nextAttempt = now;
    job->sendAnyway = true;
    return save(*job);
}

bool Outbox::discard(const std::string& id) const {
    const auto job = find(id);
    return job && job->state != JobState::Waiting && ::unlink(pathOf(id).c_str()) == 0;
}

int Outbox::sweepLeftovers(std::time_t now) const {
    constexpr std::time_t kOldEnough = 10 * 60;
    int removed = 0;
    DIR* dir = ::opendir(m_folder.c_str());
    if (dir == nullptr) {
        return 0;
    }
    while (const dirent* e = ::readdir(dir)) {
        struct stat st {};
        const std::string name = e->d_name;
        if (name.starts_with(".voxmg-") &&
            ::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_mtime + kOldEnough < now && ::unlinkat(::dirfd(dir), name.c_str(), 0) == 0) {
            ++removed;
        }
    }
    ::closedir(dir);
    return removed;
}

namespace {

std::string marksText(const std::string& folder) {
    std::string text;
    std::FILE* file = std::fopen(paths::join(folder, kSilentMarksName).c_str(), "re");
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

bool Outbox::markSilent(std::string_view baseName) const {
    if (baseName.empty() || baseName.find('\n') != std::string_view::npos) {
        return false;
    }
    const std::string text = marksText(m_folder);
    if (marksIn(text).count(baseName) != 0) {
        return true;
    }
    // One short line in one append: the window's sender and a timer's mail-send may both add
    // marks, and a kill leaves the whole line or none of it. A line a full disk cut short is
    // ended first, so it cannot run into this one.
    const std::string line = (text.empty() || text.back() == '\n' ? "" : "\n") + std::string(baseName) + "\n";
    const std::string path = paths::join(m_folder, kSilentMarksName);
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    return written;
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
