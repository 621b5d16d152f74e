#include "gui/automation/frame_automation.h"

#include <QWidget>

#include "core/automation/backup_run.h"
#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/device/bulk_download.h"
#include "core/lists/list_boxes.h"
#include "core/settings/settings.h"
#include "gui/automation/backup_dialogs.h"
#include "gui/automation/new_message_notice.h"
#include "gui/base/app_context.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/device_session.h"
#include "gui/base/frame_host.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

// The worker's view of the frame: copies the user-interface thread keeps up to date, and calls
// queued back to that thread. Nothing here waits for the user-interface thread. What the worker
// switches off stays off in the copies until the queued call has reached the frame, and what it
// reports about a session that has ended by then is dropped.
class FrameAutomation::Host : public voxmg::always::WorkerHost {
public:
    explicit Host(FrameAutomation& owner) : m_owner(owner) {}

    // User-interface thread: read the frame again.
    void sync() {
        FrameHost& frame = m_owner.m_frame;
        const auto& doc = m_owner.m_context.doc;
        const std::string boxFolder =
            doc.dataRoot().empty() || doc.boxFolderName().empty() ? std::string() : doc.boxFolderPath();
        std::vector<std::u16string> titles = frame.listTitles();
        // Before the worker hears of a newly shown box: what it holds now is not new.
        if (!boxFolder.empty()) {
            m_owner.m_notice->watch(boxFolder, titles);
        }
        const std::uint64_t generation = frame.sessionGeneration();
        std::lock_guard lock(m_lock);
        m_loggedIn = doc.loggedIn() && m_lostGeneration != generation;
        m_enabled = doc.settings().always && !m_switchOffPending;
        m_boxFolder = boxFolder;
        m_titles = std::move(titles);
        m_downloadSettings = voxmg::downloadSettingsOf(doc.settings());
    }

    bool loggedIn() const override { return m_loggedIn; }
    bool enabled() const override { return m_enabled; }
    std::string boxFolder() const override {
        std::lock_guard lock(m_lock);
        return m_boxFolder;
    }
    std::vector<std::u16string> listTitles() const override {
        std::lock_guard lock(m_lock);
        return m_titles;
    }
    voxmg::always::WorkerConnection connection() override { return m_owner.m_frame.workerConnection(); }
    std::optional<voxmg::DownloadSettings> downloadSettings() const override {
        std::lock_guard lock(m_lock);
        return m_downloadSettings;
    }

    void refreshList(const std::string& remoteBox) override {
        later([this, remoteBox] { m_owner.refreshFor(remoteBox); });
    }
    void showMessage(const voxmg::UserMessage& message) override {
        later([this, message] {
            FrameHost& frame = m_owner.m_frame;
            ::showMessage(m_owner.m_context.messages, frame.frameWindow(), message);
        });
    }
    void switchOff() override {
        {
            std::lock_guard lock(m_lock);
            m_switchOffPending = true;
            m_enabled = false;
        }
        later([this] {
            m_owner.m_context.doc.settings().always = false;
            {
                std::lock_guard lock(m_lock);
                m_switchOffPending = false;
            }
            m_owner.m_frame.updateCommandStates();
        });
    }
    void autoDeleteRefused() override {
        later([this] {
            const auto& doc = m_owner.m_context.doc;
            voxmg::switchOffAutoDelete(doc.settingsPath(), doc.boxFolderPath());
        });
    }
    void connectionLost(std::uint64_t generation, const voxmg::UserMessage& message) override {
        {
            std::lock_guard lock(m_lock);
            m_lostGeneration = generation;
            m_loggedIn = false;
        }
        later([this, generation, message] {
            // An operation of the window using the connection now goes on to its end first.
            m_owner.m_frame.session().whenFree([this, generation, message] {
                FrameHost& frame = m_owner.m_frame;
                // A logout or a reconnect came first: that session is over, this one is not the
                // worker's to end.
                if (frame.sessionGeneration() != generation || !m_owner.m_context.doc.loggedIn()) {
                    return;
                }
                {
                    FtpLease lease = frame.session().acquire();
                    frame.session().logout();
                }
                frame.connectionLost();
                ::showMessage(m_owner.m_context.messages, frame.frameWindow(), message);
            });
        });
    }

private:
    // On the window's thread, and after any command running there.
    template <typename F>
    void later(F&& f) {
        QMetaObject::invokeMethod(
            &m_owner,
            [this, f = std::forward<F>(f)]() mutable { m_owner.m_frame.afterCommand(std::move(f)); },
            Qt::QueuedConnection);
    }

    FrameAutomation& m_owner;
    mutable std::mutex m_lock;
    std::atomic<bool> m_loggedIn{false};
    std::atomic<bool> m_enabled{false};
    std::string m_boxFolder;
    std::vector<std::u16string> m_titles;
    voxmg::DownloadSettings m_downloadSettings;
    std::uint64_t m_lostGeneration = 0;
    bool m_switchOffPending = false;
};

FrameAutomation::FrameAutomation(FrameHost& frame, Clock clock, voxmg::always::WorkerTimings timings)
    : m_frame(frame),
      m_context(frame.context()),
      m_clock(std::move(clock)),
      m_notice(std::make_unique<NewMessageNotice>(frame.frameWindow())),
      m_host(std::make_unique<Host>(*this)),
      m_worker(std::make_unique<voxmg::always::AlwaysDownloadWorker>(*m_host, m_context.flags, timings)) {}

FrameAutomation::~FrameAutomation() {
    m_worker->stop();
}

void FrameAutomation::install() {
    m_frame.setCommand(Command::AlwaysDownload, {[this] {
                           auto& s = m_context.doc.settings();
                           s.always = !s.always;
                           sync();
                       }});
    m_frame.setCommand(Command::BackupSettings, {[this] {
                           CABakUpSetDlg dialog(m_context, m_clock, m_frame.frameWindow());
                           dialog.exec();
                       }});
    m_context.backupDue = [this] { return due(); };
    m_context.offerBackup = [this] { return offer(); };
    m_context.automation.runPendingBackup = [this] { pendingStep(); };
    m_context.automation.runExitBackup = [this] { exitBackup(); };
    m_context.automation.stopWorker = [this] { m_worker->stop(); };
    m_context.automation.stateChanged = [this] { sync(); };
    sync();
    m_worker->start();
}

voxmg::always::WorkerHost& FrameAutomation::workerHost() {
    return *m_host;
}

void FrameAutomation::sync() {
    m_host->sync();
}

bool FrameAutomation::due() const {
    return voxmg::backup::isDue(m_context.doc.settings(), m_context.doc.loggedIn(), m_clock());
}

bool FrameAutomation::offer() {
    m_context.schedule.backupRequest = false;
    CABakUpChk1Dlg dialog(m_context, m_clock, m_frame.frameWindow());
    dialog.exec();
    return m_context.schedule.backupRequest;
}

bool FrameAutomation::runBackup(bool keepDueOnFailure) {
    auto& schedule = m_context.schedule;
    auto& doc = m_context.doc;
    const std::tm now = m_clock();
    bool success = false;
    const DataFolderGuard dataLock(m_context, m_frame.frameWindow());
    FtpLease ftp = m_frame.session().acquire();
    if (ftp && dataLock) {
        schedule.backupRunning = true;
        m_frame.setFrameEnabled(false);
        voxmg::backup::BackupRequest request =
            voxmg::backup::requestFromSettings(doc.settings(), doc.settingsPath(), now);
        request.interactive = schedule.confirmedInteractively;
        CPrgAbackUpDlg progress(m_context, m_frame.frameWindow());
        voxmg::backup::BackupResult result =
            voxmg::backup::runBackup(*ftp.client(), m_context.flags, progress, request, m_context.pump);
        success = result.success;
        // Whatever happened, the user is logged out after a backup.
        doc.setLoggedIn(false);
        m_frame.connectionLost();
        m_frame.setFrameEnabled(true);
        schedule.backupRunning = false;
        if (success && schedule.confirmedInteractively) {
            m_context.messages.show(m_frame.frameWindow(), toQ(voxmg::backup::backup_text::kDone),
                                    toQ(voxmg::backup::backup_text::kDoneCaption),
                                    UserMessages::Icon::Information);
            if (result.autoDeleteUnsupported) {
                m_context.messages.error(m_frame.frameWindow(),
                                         toQ(voxmg::download_text::kAutoDeleteRefused));
            }
        }
        if (result.boxes.size() > 0) {
            m_frame.refreshAllLists();
        }
    }
    if (!success) {
        schedule.checkEnabled = true;
    }
    voxmg::backup::recordRun(doc.settings(), success, now, keepDueOnFailure);
    return success;
}

void FrameAutomation::pendingStep() {
    auto& schedule = m_context.schedule;
    if (!schedule.backupRequest) {
        return;
    }
    schedule.backupRequest = false;
    runBackup(false);
    sync();
}

void FrameAutomation::exitBackup() {
    auto& schedule = m_context.schedule;
    if (!schedule.backupRequest) {
        return;
    }
    schedule.backupRequest = false;
    // At exit nothing is shown: nobody waits for the message boxes.
    schedule.confirmedInteractively = false;
    runBackup(true);
}

void FrameAutomation::startupCheck() {
    auto& schedule = m_context.schedule;
    schedule.backupRunning = false;
    schedule.checkEnabled = true;
    if (!due()) {
        return;
    }
    CABakUpChk2Dlg dialog(m_context, m_frame.frameWindow());
    dialog.exec();
    if (schedule.backupRequest) {
        schedule.backupRequest = false;
        runBackup(false);
        sync();
    }
}

void FrameAutomation::boxChanged(const std::string& remoteBox) {
    m_host->refreshList(remoteBox);
}

void FrameAutomation::refreshFor(const std::string& remoteBox) {
    const auto& doc = m_context.doc;
    if (!remoteBox.empty() && !doc.dataRoot().empty() && !doc.boxFolderName().empty()) {
        m_notice->arrived(doc.boxFolderPath(), remoteBox, m_frame.listTitles(),
                          doc.settings().newMessageNotice);
    }
    QWidget* list = m_frame.activeList();
    if (list == nullptr) {
        return;
    }
    const std::u16string title = fromQ(list->windowTitle());
    if (!remoteBox.empty()) {
        // "/naisen/201": reload only a list that shows this box.
        const voxmg::list_boxes::ListBoxes boxes = voxmg::list_boxes::parse(title);
        const bool extension = remoteBox.rfind("/naisen/", 0) == 0;
        const std::u16string name = voxmg::text::utf16FromUtf8(remoteBox.substr(remoteBox.find('/', 1) + 1));
        const auto& names = extension ? boxes.extensionBoxes : boxes.answerBoxes;
        if (boxes.response || std::find(names.begin(), names.end(), name) == names.end()) {
            return;
        }
    } else if (title == voxmg::list_boxes::kResponse) {
        return;
    }
    m_frame.refreshActiveList();
}
