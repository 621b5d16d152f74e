#include "core/mail/mail_ledger.h"

#include <dirent.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "core/base/paths.h"
#include "core/mail/mail_settings.h"
#include "core/store/data_lock.h"
#include "core/store/file_io.h"

namespace voxmg::mail {
namespace {

constexpr int kSchemaVersion = 1;

// One table of messages, known by box folder and file name; the time each box's mail began;
// when the ledger was made.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS messages(
    id INTEGER PRIMARY KEY,
    box_folder TEXT NOT NULL,
    file TEXT NOT NULL,
    path TEXT NOT NULL DEFAULT '',
    box TEXT NOT NULL DEFAULT '',
    state INTEGER NOT NULL,
    attempts INTEGER NOT NULL DEFAULT 0,
    queued INTEGER NOT NULL DEFAULT 0,
    next_try INTEGER NOT NULL DEFAULT 0,
    reply BLOB NOT NULL DEFAULT '',
    reason TEXT NOT NULL DEFAULT '',
    silence INTEGER NOT NULL DEFAULT 0,
    force INTEGER NOT NULL DEFAULT 0,
    sent INTEGER NOT NULL DEFAULT 0,
    UNIQUE(box_folder, file));
CREATE INDEX IF NOT EXISTS messages_open ON messages(state) WHERE state IN (0, 1, 2);
CREATE INDEX IF NOT EXISTS messages_look ON messages(box_folder, file, state, next_try);
CREATE TABLE IF NOT EXISTS boxes(box TEXT PRIMARY KEY, due_from INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS about(key TEXT PRIMARY KEY, value INTEGER NOT NULL);
)sql";

constexpr const char* kColumns =
    "id, box_folder, file, path, box, state, attempts, queued, next_try, reply, reason, silence, force, sent";

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    Statement& bind(int i, std::string_view v) {
        sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindBlob(int i, std::string_view v) {
        sqlite3_bind_blob(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, std::int64_t v) {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    bool run() { return step() == SQLITE_DONE; }
    // Ready to run again with new values.
    void reset() {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    std::int64_t integer(int i) const { return sqlite3_column_int64(m_stmt, i); }
    std::string text(int i) const {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(m_stmt, i));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, i))) : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

MailJob jobFrom(const Statement& s) {
    MailJob j;
    j.id = ledgerId(s.integer(0));
    j.boxFolder = s.text(1);
    j.fileName = s.text(2);
    j.messagePath = s.text(3);
    j.box = s.text(4);
    j.state = static_cast<JobState>(s.integer(5));
    j.attempts = static_cast<int>(s.integer(6));
    j.queued = static_cast<std::time_t>(s.integer(7));
    j.nextAttempt = static_cast<std::time_t>(s.integer(8));
    j.lastReply = s.text(9);
    j.reason = s.text(10);
    j.silence = static_cast<SilenceMark>(s.integer(11));
    j.sendAnyway = s.integer(12) != 0;
    j.sent = static_cast<std::time_t>(s.integer(13));
    return j;
}

// Binds a job's fields as ?1..?13, in the order of kColumns after the id.
void bindJob(Statement& s, const MailJob& j) {
    s.bind(1, j.boxFolder).bind(2, j.fileName).bind(3, j.messagePath).bind(4, j.box);
    s.bind(5, static_cast<std::int64_t>(j.state)).bind(6, static_cast<std::int64_t>(j.attempts));
    s.bind(7, static_cast<std::int64_t>(j.queued)).bind(8, static_cast<std::int64_t>(j.nextAttempt));
    s.bindBlob(9, j.lastReply).bind(10, j.reason).bind(11, static_cast<std::int64_t>(j.silence));
    s.bind(12, static_cast<std::int64_t>(j.sendAnyway ? 1 : 0)).bind(13, static_cast<std::int64_t>(j.sent));
}

std::optional<std::int64_t> rowOf(std::string_view id) {
    std::int64_t row = 0;
    if (id.empty() || id.size() > 18 ||
        !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    for (char c : id) {
        row = row * 10 + (c - '0');
    }
    return row;
}

// Whether messages may have been mailed from this settings folder without this ledger knowing:
// an earlier version's outbox (its sender's lock or job files, without this version's mark), or
// a ledger made here before and lost. A ledger this version could not make yet (a full disk)
// leaves neither, so the messages stored meanwhile are still mailed.
bool mailRanBefore(const std::string& settingsFolder) {
    const std::string outbox = Outbox::folderIn(settingsFolder);
    struct stat st {};
    const auto has = [&](std::string_view name) {
        return ::lstat(paths::join(outbox, name).c_str(), &st) == 0;
    };
    if (has(kLedgerOutboxName)) {
        return has(kLedgerMadeName);
    }
    if (has(".send.lock")) {
        return true;
    }
    DIR* dir = ::opendir(outbox.c_str());
    bool jobs = false;
    for (const dirent* e = dir ? ::readdir(dir) : nullptr; e != nullptr && !jobs; e = ::readdir(dir)) {
        jobs = std::string_view(e->d_name).ends_with(".job");
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
    return jobs;
}

}  // namespace

std::string ledgerId(std::int64_t row) {
    return std::to_string(row);
}

std::string boxFolderOf(std::string_view box) {
    return std::string(box.substr(0, box.find('/')));
}

std::string MailLedger::pathIn(const std::string& settingsFolder) {
    return paths::join(settingsFolder, kLedgerFileName);
}

MailLedger::MailLedger(const std::string& settingsFolder, bool create, std::chrono::milliseconds busyWait)
    : m_folder(settingsFolder), m_path(pathIn(settingsFolder)) {
    struct stat st {};
    const bool exists = ::stat(m_path.c_str(), &st) == 0;
    if (!exists && !create) {
        m_status = Status::Missing;
        return;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        m_error = S_ISDIR(st.st_mode) ? "Is a directory" : "not a regular file";
        return;
    }
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(m_path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        m_error = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        return;
    }
    sqlite3_busy_timeout(m_db, static_cast<int>(busyWait.count()));
    if (!exists) {
        ::chmod(m_path.c_str(), 0600);  // it names the office's callers
    }
    m_status = prepareSchema() ? Status::Ready : Status::Damaged;
    if (m_status == Status::Ready) {
        Outbox(Outbox::folderIn(settingsFolder)).noteLedgerMade();  // a lost ledger is told from none
    }
    if (m_status == Status::Damaged) {
        const int code = sqlite3_errcode(m_db);
        if (code == SQLITE_CANTOPEN || code == SQLITE_PERM || code == SQLITE_READONLY) {
            m_status = Status::CannotOpen;
        }
    }
}

MailLedger::~MailLedger() {
    sqlite3_close_v2(m_db);
}

bool MailLedger::exec(const char* sql) {
    char* message = nullptr;
    const bool ok = sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok) {
        m_error = message ? message : sqlite3_errmsg(m_db);
    }
    sqlite3_free(message);
    return ok;
}

bool MailLedger::prepareSchema() {
    // WAL: readers (the list, the window's count) never wait on the sender. FULL: a commit is
    // on the disk before the sender relies on it.
    std::int64_t found = 0;
    {
        Statement version(m_db, "PRAGMA user_version");
        if (!version.ok() || version.step() != SQLITE_ROW) {
            m_error = sqlite3_errmsg(m_db);
            return false;
        }
        found = version.integer(0);
    }
    if (found > kSchemaVersion) {
        m_error = "written by a later version of the program";
        return false;
    }
    // Made where mail ran before (an earlier version's outbox, or a ledger that was lost): what
    // was stored until now may have been mailed, so nothing before now is taken for new.
    const std::string cutoff = std::to_string(mailRanBefore(m_folder) ? std::time(nullptr) : 0);
    return exec("PRAGMA journal_mode=WAL") && exec("PRAGMA synchronous=FULL") &&
           (found == kSchemaVersion ||
            (exec("BEGIN IMMEDIATE") && exec(kSchema) &&
             exec(("INSERT OR IGNORE INTO about(key, value) VALUES ('created', " + cutoff + ")").c_str()) &&
             exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str()) && exec("COMMIT")));
}

bool MailLedger::transaction(const std::function<bool()>& writes) {
    if (!ready() || !exec("BEGIN IMMEDIATE")) {
        return false;
    }
    if (writes() && exec("COMMIT")) {
        return true;
    }
    const std::string why = m_error;
    exec("ROLLBACK");
    m_error = why;
    return false;
}

std::vector<MailJob> MailLedger::jobs() const {
    std::vector<MailJob> out;
    if (!ready()) {
        return out;
    }
    Statement s(m_db, (std::string("SELECT ") + kColumns +
                       " FROM messages WHERE state IN (0, 1, 2) ORDER BY queued, id")
                          .c_str());
    while (s.step() == SQLITE_ROW) {
        out.push_back(jobFrom(s));
    }
    return out;
}

std::optional<MailJob> MailLedger::find(const std::string& id) const {
    const auto row = rowOf(id);
    if (!ready() || !row) {
        return std::nullopt;
    }
    Statement s(m_db, (std::string("SELECT ") + kColumns + " FROM messages WHERE id = ?1").c_str());
    s.bind(1, *row);
    if (s.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return jobFrom(s);
}

std::unordered_map<std::string, MailLedger::Entry> MailLedger::entriesOf(const std::string& boxFolder) const {
    std::unordered_map<std::string, Entry> out;
    if (!ready()) {
        return out;
    }
    // Every message of the folder once a look has noted them, from the index alone; the places
    // of the few that wait, apart.
    Statement count(m_db, "SELECT count(*) FROM messages WHERE box_folder = ?1");
    if (count.bind(1, boxFolder).step() == SQLITE_ROW) {
        out.reserve(static_cast<std::size_t>(count.integer(0)));
    }
    Statement s(
        m_db,
        "SELECT file, id, state, next_try FROM messages INDEXED BY messages_look WHERE box_folder = ?1");
    s.bind(1, boxFolder);
    while (s.step() == SQLITE_ROW) {
        out.emplace(s.text(0), Entry{s.integer(1),
                                     static_cast<JobState>(s.integer(2)),
                                     static_cast<std::time_t>(s.integer(3)),
                                     {},
                                     {},
                                     false});
    }
    Statement waiting(m_db, "SELECT file, path, box FROM messages WHERE state = 0 AND box_folder = ?1");
    waiting.bind(1, boxFolder);
    while (waiting.step() == SQLITE_ROW) {
        if (const auto it = out.find(waiting.text(0)); it != out.end()) {
            it->second.path = waiting.text(1);
            it->second.box = waiting.text(2);
        }
    }
    return out;
}

bool MailLedger::save(MailJob& job) {
    if (!ready()) {
        return false;
    }
    if (job.id.empty()) {
        Statement s(
            m_db,
            "INSERT INTO messages(box_folder, file, path, box, state, attempts, queued, next_try, "
            "reply, reason, silence, force, sent) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, "
            "?12, ?13)");
        bindJob(s, job);
        if (!s.run()) {
            m_error = sqlite3_errmsg(m_db);
            return false;
        }
        job.id = ledgerId(sqlite3_last_insert_rowid(m_db));
        return true;
    }
    const auto row = rowOf(job.id);
    Statement s(
        m_db,
        "UPDATE messages SET box_folder = ?1, file = ?2, path = ?3, box = ?4, state = ?5, attempts = ?6, "
        "queued = ?7, next_try = ?8, reply = ?9, reason = ?10, silence = ?11, force = ?12, sent = ?13 "
        "WHERE id = ?14");
    bindJob(s, job);
    s.bind(14, row.value_or(-1));
    const bool ok = row && s.run() && sqlite3_changes(m_db) == 1;
    if (!ok) {
        m_error = sqlite3_errmsg(m_db);
    }
    return ok;
}

bool MailLedger::addOld(const std::vector<MailJob>& jobs) {
    return jobs.empty() || transaction([&] {
               Statement s(m_db,
                           "INSERT OR IGNORE INTO messages(box_folder, file, box, state, queued) VALUES (?1, "
                           "?2, ?3, 5, ?4)");
               for (const MailJob& j : jobs) {
                   s.bind(1, j.boxFolder)
                       .bind(2, j.fileName)
                       .bind(3, j.box)
                       .bind(4, static_cast<std::int64_t>(j.queued));
                   if (!s.run()) {
                       m_error = sqlite3_errmsg(m_db);
                       return false;
                   }
                   s.reset();
               }
               return true;
           });
}

bool MailLedger::addDue(std::vector<MailJob>& jobs) {
    return jobs.empty() || transaction([&] {
               Statement known(m_db, "SELECT id, state FROM messages WHERE box_folder = ?1 AND file = ?2");
               std::vector<MailJob> kept;
               for (MailJob& j : jobs) {
                   known.reset();
                   known.bind(1, j.boxFolder).bind(2, j.fileName);
                   if (known.step() == SQLITE_ROW) {
                       // Another program met it first: as it stands there.
                       if (static_cast<JobState>(known.integer(1)) == JobState::Waiting) {
                           kept.push_back(*find(ledgerId(known.integer(0))));
                       }
                       continue;
                   }
                   if (!save(j)) {
                       return false;
                   }
                   kept.push_back(j);
               }
               jobs = std::move(kept);
               return true;
           });
}

bool MailLedger::remove(const std::string& id) {
    const auto row = rowOf(id);
    Statement s(m_db, "DELETE FROM messages WHERE id = ?1");
    return ready() && row && s.bind(1, *row).run();
}

bool MailLedger::retry(const std::string& id, std::time_t now) {
    auto job = find(id);
    // A waiting mail may be on its way this moment: written back, it would go twice.
    if (!job || (job->state != JobState::Failed && job->state != JobState::Silent)) {
        return false;
    }
    job->state = JobState::Waiting;
    job->attempts = 0;
    job->nextAttempt = now;
    job->sendAnyway = true;
    return save(*job);
}

bool MailLedger::discard(const std::string& id) {
    auto job = find(id);
    if (!job || (job->state != JobState::Failed && job->state != JobState::Silent)) {
        return false;
    }
    job->state = JobState::GivenUp;
    return save(*job);
}

EnqueueResult MailLedger::requeue(MailJob job, std::time_t now) {
    Statement s(m_db, "SELECT id, state FROM messages WHERE box_folder = ?1 AND file = ?2");
    s.bind(1, job.boxFolder).bind(2, job.fileName);
    MailJob row = job;
    if (ready() && s.step() == SQLITE_ROW) {
        if (static_cast<JobState>(s.integer(1)) == JobState::Waiting) {
            return EnqueueResult::AlreadyQueued;
        }
        row = *find(ledgerId(s.integer(0)));
        row.messagePath = job.messagePath;
        row.box = job.box;
    }
    row.state = JobState::Waiting;
    row.attempts = 0;
    row.queued = now;
    row.nextAttempt = now;
    row.sent = 0;
    return save(row) ? EnqueueResult::Queued : EnqueueResult::WriteFailed;
}

std::time_t MailLedger::created() const {
    if (!ready()) {
        return 0;
    }
    Statement s(m_db, "SELECT value FROM about WHERE key = 'created'");
    return s.step() == SQLITE_ROW ? static_cast<std::time_t>(s.integer(0)) : 0;
}

std::optional<std::time_t> MailLedger::dueFrom(const std::string& box, std::time_t from) {
    if (!ready()) {
        return std::nullopt;
    }
    Statement get(m_db, "SELECT due_from FROM boxes WHERE box = ?1");
    get.bind(1, box);
    if (get.step() == SQLITE_ROW) {
        return static_cast<std::time_t>(get.integer(0));
    }
    Statement add(m_db, "INSERT OR IGNORE INTO boxes(box, due_from) VALUES (?1, ?2)");
    add.bind(1, box).bind(2, static_cast<std::int64_t>(from));
    if (!add.run()) {
        m_error = sqlite3_errmsg(m_db);
        return std::nullopt;
    }
    get.reset();
    get.bind(1, box);
    return get.step() == SQLITE_ROW ? std::optional(static_cast<std::time_t>(get.integer(0))) : std::nullopt;
}

bool MailLedger::renameBoxFolder(std::string_view oldName, std::string_view newName, std::string_view oldPath,
                                 std::string_view newPath) {
    const std::string oldBoxes = std::string(oldName) + "/";
    const std::string newBoxes = std::string(newName) + "/";
    const std::string oldPrefix = std::string(oldPath) + "/";
    const std::string newPrefix = std::string(newPath) + "/";
    return transaction([&] {
        Statement rows(
            m_db,
            "UPDATE OR REPLACE messages SET box_folder = ?2, "
            "box = CASE WHEN substr(box, 1, length(?3)) = ?3 THEN ?4 || substr(box, length(?3) + 1) "
            "ELSE box END, "
            "path = CASE WHEN substr(path, 1, length(?5)) = ?5 THEN ?6 || substr(path, length(?5) + 1) "
            "ELSE path END WHERE box_folder = ?1");
        rows.bind(1, oldName)
            .bind(2, newName)
            .bind(3, oldBoxes)
            .bind(4, newBoxes)
            .bind(5, oldPrefix)
            .bind(6, newPrefix);
        Statement boxes(m_db,
                        "UPDATE OR REPLACE boxes SET box = ?2 || substr(box, length(?1) + 1) "
                        "WHERE substr(box, 1, length(?1)) = ?1");
        boxes.bind(1, oldBoxes).bind(2, newBoxes);
        return rows.run() && boxes.run();
    });
}

JobFileMove migrateJobFiles(MailLedger& ledger, const std::string& settingsFolder) {
    JobFileMove result;
    const std::string folder = Outbox::folderIn(settingsFolder);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr || !ledger.ready()) {
        if (dir != nullptr) {
            ::closedir(dir);
        }
        return result;
    }
    std::vector<std::pair<std::string, MailJob>> found;
    std::vector<std::string> broken;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        const std::string path = paths::join(folder, name);
        if (name.size() <= 4 || name.front() == '.' || !name.ends_with(".job") ||
            !fileio::isPlainFile(path)) {
            continue;
        }
        auto bytes = fileio::readAll(path);
        auto job =
            bytes ? parseJob(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()))
                  : std::nullopt;
        if (job) {
            job->fileName = std::string(paths::fileName(job->messagePath));
            job->boxFolder = boxFolderOf(job->box);
            found.emplace_back(path, std::move(*job));
        } else {
            broken.push_back(path);
        }
    }
    ::closedir(dir);
    for (const std::string& path : broken) {
        if (const std::string aside = path + ".unreadable"; ::rename(path.c_str(), aside.c_str()) == 0) {
            result.unreadable.push_back(aside);
        }
    }
    const bool moved = ledger.transaction([&] {
        for (auto& [path, job] : found) {
            const auto known = ledger.entriesOf(job.boxFolder);
            if (known.count(job.fileName) == 0 && !ledger.save(job)) {
                return false;
            }
            Outbox(folder).noteDataFolder(dataFolderOfMessage(job.messagePath));
        }
        return true;
    });
    if (!moved) {
        return result;
    }
    for (const auto& entry : found) {
        ::unlink(entry.first.c_str());
    }
    result.moved = static_cast<int>(found.size());
    return result;
}

}  // namespace voxmg::mail
