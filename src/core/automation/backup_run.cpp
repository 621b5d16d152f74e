#include "core/automation/backup_run.h"

#include <filesystem>
#include <thread>

#include "core/automation/backup_record.h"
#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/settings/settings.h"
#include "core/store/file_naming.h"

namespace voxmg::backup {
namespace {

using namespace std::chrono_literals;

UserMessage errorMessage(std::u16string_view text) {
    return {std::u16string(text), download_text::kErrorCaption, UserMessage::Icon::Exclamation};
}

// Box names of one kind from the main unit's listing: each ends at a carriage return; line
// feeds, "*" and "." are dropped.
std::vector<std::string> namesOf(const std::u16string& listing) {
    std::vector<std::string> names;
    std::u16string name;
    for (char16_t c : listing) {
        if (c == u'\r') {
            if (!name.empty()) {
                names.push_back(text::utf8FromUtf16(name));
            }
            name.clear();
        } else if (c != u'\n' && c != u'*' && c != u'.') {
            name += c;
        }
    }
    if (!name.empty()) {
        names.push_back(text::utf8FromUtf16(name));
    }
    return names;
}

class Run {
public:
    Run(CFtpMng& ftp, Flags& flags, BackupUi& ui, const BackupRequest& request, const Pump& pump)
        : m_ftp(ftp), m_flags(flags), m_ui(ui), m_request(request), m_pump(pump) {}

    BackupResult run(const MonthRange& range);

private:
    bool login();
    bool waitBeforeRetry();
    // Repeats `attempt` (true when it worked) up to RETRYCNT times more, with the wait and a new
    // login between attempts.
    bool withRetries(const std::function<bool()>& attempt);
    // False when a month's record could not be written.
    bool markRange(bool complete);
    // Ends a run that failed before copying: progress closed, the error shown when confirmed.
    // Always false, the answer of the step that failed.
    bool failEarly(bool showError);
    // The steps of a run, in order; each false when the run ended there.
    bool markIncomplete();
    bool logIn();
    bool listBoxes();
    bool countMessages();
    void prepareCopy(const MonthRange& range);
    BackupResult finish(EngineResult code);
    EngineResult copyAll();
    EngineResult copyBox(const std::string& kind, const std::string& name);
    void logOut();

    CFtpMng& m_ftp;
    Flags& m_flags;
    BackupUi& m_ui;
    const BackupRequest& m_request;
    const Pump& m_pump;
    BackupResult m_result;
    ProgressSink* m_progress = nullptr;
    BackupTarget m_target;
    std::vector<std::string> m_answering;
    std::vector<std::string> m_extension;
};

bool Run::waitBeforeRetry() {
    if (m_request.wait) {
        return m_request.wait(m_request.retryWait);
    }
    // 10 ms of sleep for every 15 ms of the wait, pumping in between.
    for (auto waited = 0ms; waited < m_request.retryWait; waited += 15ms) {
        if (m_flags.cancelAll.load() != 0) {
            return false;
        }
        if (m_pump) {
            m_pump();
        }
        std::this_thread::sleep_for(10ms);
    }
    return m_flags.cancelAll.load() == 0;
}

bool Run::login() {
    m_ftp.disconnect();
    m_ftp.setLogin(m_request.login);
    return m_ftp.connectAndLogin() == LoginResult::LoggedIn;
}

bool Run::withRetries(const std::function<bool()>& attempt) {
    for (int i = 0;; ++i) {
        if (attempt()) {
            return true;
        }
        if (i >= std::max(1, m_request.retryCount) || !waitBeforeRetry()) {
            return false;
        }
        login();
    }
}

bool Run::markRange(bool complete) {
    const auto names = monthFolderNames(m_request.now);
    fileio::Writes& writes = m_request.recordWrites ? *m_request.recordWrites : fileio::systemWrites();
    bool ok = true;
    for (std::size_t i = names.size() - static_cast<std::size_t>(m_result.range.folders); i < names.size();
         ++i) {
        ok = writeRecord(paths::join(m_request.dataRoot, names[i]), complete, m_request.now, writes) && ok;
    }
    return ok;
}

void Run::logOut() {
    m_ftp.disconnect();
}

bool Run::failEarly(bool showError) {
    m_ui.closeProgress();
    // The window's progress dialog lives only as long as the run; the connection object is
    // kept for the next login and must not go on reporting into it.
    m_ftp.setProgressSink(nullptr);
    if (showError && m_request.interactive) {
        m_ui.show(errorMessage(download_text::kCommError));
    }
    logOut();
    m_result.cancelled = m_flags.cancelAll.load() != 0;
    m_result.code = m_result.cancelled ? EngineResult::Cancelled : EngineResult::CommFailure;
    return false;
}

EngineResult Run::copyBox(const std::string& kind, const std::string& name) {
    EngineResult code = EngineResult::Done;
    BoxResult box;
    withRetries([&] {
        box = m_ftp.backupDownloadBox("/" + kind + "/" + name, kind, name, m_target);
        code = box.code;
        return code == EngineResult::Done || code == EngineResult::FilesGone ||
               code == EngineResult::DeletionRefused || code == EngineResult::Cancelled ||
               code == EngineResult::DiskFull || m_flags.cancelAll.load() != 0;
    });
    m_result.boxes.push_back({{kind, name}, box});
    if (code == EngineResult::DeletionRefused) {
        if (!m_result.autoDeleteUnsupported) {
            switchOffAutoDelete(m_request.settingsPath, m_request.boxFolder);
            m_result.autoDeleteUnsupported = true;
        }
        return EngineResult::Done;
    }
    return code == EngineResult::FilesGone ? EngineResult::Done : code;
}

EngineResult Run::copyAll() {
    for (const auto& [kind, names] : {std::pair{std::string(naming::kAnswerKind), &m_answering},
                                      std::pair{std::string(naming::kExtensionKind), &m_extension}}) {
        for (const std::string& name : *names) {
            if (m_flags.cancelAll.load() != 0) {
                return EngineResult::Cancelled;
            }
            if (EngineResult rc = copyBox(kind, name); rc != EngineResult::Done) {
                return rc;
            }
        }
    }
    if (m_flags.cancelAll.load() != 0) {
        return EngineResult::Cancelled;
    }
    EngineResult code = EngineResult::Done;
    BoxResult response;
    withRetries([&] {
        response = m_ftp.backupDownloadResponseMessages("/outou/", m_target);
        code = response.code;
        return code == EngineResult::Done || code == EngineResult::Cancelled ||
               code == EngineResult::DiskFull || code == EngineResult::FilesGone ||
               m_flags.cancelAll.load() != 0;
    });
    m_result.boxes.push_back({{std::string(naming::kResponseKind), ""}, response});
    // 550 is a failure for the response messages, except when the main unit has none at all:
    // an office without greetings would otherwise never complete a backup.
    if (code == EngineResult::FilesGone && response.listed == 0) {
        return EngineResult::Done;
    }
    return code;
}

BackupResult Run::run(const MonthRange& range) {
    m_result.range = range;
    m_flags.cancelAll = 0;
    m_progress = m_ui.openProgress();
    m_ftp.setProgressSink(m_progress);
    if (!markIncomplete() || !logIn() || !listBoxes() || !countMessages()) {
        return m_result;
    }
    EngineResult code = EngineResult::Done;
    if (m_result.total > 0) {
        prepareCopy(range);
        code = copyAll();
    }
    return finish(code);
}

// Incomplete until the copy has succeeded: a run that dies half-way is repeated. A month still
// marked complete must not receive files: a failed copy would leave it claiming them.
bool Run::markIncomplete() {
    if (markRange(false)) {
        return true;
    }
    m_ui.closeProgress();
    m_ftp.setProgressSink(nullptr);
    m_ui.show(errorMessage(download_text::kNoSpace));
    logOut();
    m_result.code = EngineResult::DiskFull;
    return false;
}

bool Run::logIn() {
    bool loggedIn = m_ftp.connected();
    for (int i = 0; !loggedIn; ++i) {
        loggedIn = login();
        if (loggedIn) {
            break;
        }
        if (i >= std::max(1, m_request.retryCount)) {
            return failEarly(true);
        }
        if (!waitBeforeRetry()) {
            return failEarly(false);
        }
    }
    return true;
}

bool Run::listBoxes() {
    BoxListing listing;
    if (!withRetries([&] { return m_ftp.boxListing(listing) == ListingResult::Listed; })) {
        return failEarly(m_flags.cancelAll.load() == 0);
    }
    m_answering = namesOf(listing.answering);
    m_extension = namesOf(listing.extension);
    return true;
}

// The files of every box and of the response messages, for the progress range.
bool Run::countMessages() {
    std::vector<std::string> remoteDirs;
    for (const std::string& name : m_answering) {
        remoteDirs.push_back("/" + std::string(naming::kAnswerKind) + "/" + name);
    }
    for (const std::string& name : m_extension) {
        remoteDirs.push_back("/" + std::string(naming::kExtensionKind) + "/" + name);
    }
    remoteDirs.push_back("/outou/");
    int total = 0;
    for (const std::string& dir : remoteDirs) {
        CountResult n;
        if (!withRetries([&] {
                n = m_ftp.countBoxFiles(m_request.dataRoot, dir, false);
                return n.code != EngineResult::CommFailure;
            })) {
            return failEarly(m_flags.cancelAll.load() == 0);
        }
        total += n.code == EngineResult::Done ? n.count : 0;
    }
    m_result.total = total;
    return true;
}

void Run::prepareCopy(const MonthRange& range) {
    int messages = m_result.total / 2;
    if (m_progress != nullptr) {
        m_progress->setRange((messages < 1 ? 100 : messages) + 2);
    }
    m_target.dataRoot = m_request.dataRoot;
    m_target.monthFolders = monthFolderNames(m_request.now);
    m_target.targetMonth = range.targetMonth;
    m_target.currentMonth = range.currentMonth;
}

BackupResult Run::finish(EngineResult code) {
    m_ui.closeProgress();
    m_ftp.setProgressSink(nullptr);
    m_result.code = code;
    m_result.cancelled = code == EngineResult::Cancelled || m_flags.cancelAll.load() != 0;
    m_result.success = code == EngineResult::Done && !m_result.cancelled;
    if (m_result.success && !markRange(true)) {
        // Everything was copied, but a month still says incomplete: the next run repeats it.
        m_result.success = false;
        code = m_result.code = EngineResult::DiskFull;
    }
    if (m_result.success) {
        logOut();
        return m_result;
    }
    if (code == EngineResult::DiskFull) {
        m_ui.show(errorMessage(download_text::kNoSpace));
    } else if (!m_result.cancelled && m_request.interactive) {
        m_ui.show(errorMessage(download_text::kCommError));
        if (m_result.autoDeleteUnsupported) {
            m_ui.show(errorMessage(download_text::kAutoDeleteRefused));
        }
    }
    logOut();
    return m_result;
}

}  // namespace

BackupResult runBackup(CFtpMng& ftp, Flags& flags, BackupUi& ui, const BackupRequest& request,
                       const Pump& pump) {
    WorkerPause pause(flags, pump);
    flags.suspendRequest = 0;  // the worker is idle now; the backup's own box runs must not stop
    Run run(ftp, flags, ui, request, pump);
    return run.run(monthRange(request.dataRoot, request.lastRun, request.now));
}

BackupRequest requestFromSettings(const Settings& s, const std::string& settingsPath, const std::tm& now) {
    BackupRequest request;
    request.dataRoot = text::utf8FromUtf16(s.folder.str());
    request.boxFolder = paths::join(request.dataRoot, text::utf8FromUtf16(s.folderName.str()));
    request.settingsPath = settingsPath;
    request.login = {s.ip.str(), s.user.str(), s.pass.str(), s.port};
    request.retryCount = std::max(1, s.retryCnt);
    request.retryWait = std::chrono::milliseconds(std::max(10000, s.retryWait));
    request.lastRun = text::utf8FromUtf16(s.zenkaiBi.str());
    request.now = now;
    return request;
}

void recordRun(Settings& s, bool success, const std::tm& now, bool keepDueOnFailure) {
    s.zenkaiKa = success ? 1 : 2;
    s.zenkaiBi = text::utf16FromUtf8(stamp(now));
    if (success || !keepDueOnFailure) {
        s.yoteiBi = text::utf16FromUtf8(nextScheduledTime(scheduleOf(s), now));
    }
}

}  // namespace voxmg::backup
