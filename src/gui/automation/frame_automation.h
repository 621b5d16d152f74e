#pragma once

#include <QObject>
#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/automation/always_download.h"

class FrameHost;
class NewMessageNotice;
struct AppContext;

// The automation of the frame: the always-download worker (menu item "常時ダウンロード") and the
// automatic backup (its settings dialog, the due checks, the confirmations, the run at start-up,
// after a command and at exit).
class FrameAutomation : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<std::tm()>;
    FrameAutomation(FrameHost& frame, Clock clock, voxmg::always::WorkerTimings timings = {});
    ~FrameAutomation() override;

    // Plugs the two settings items and the frame's hooks in and starts the worker.
    void install();
    // After the main window exists: a backup whose time passed while the program was not
    // running is offered (and run) now; declining switches the schedule check off for this run.
    void startupCheck();
    // The engines tell the frame that a box changed (always-download, on the worker's thread).
    void boxChanged(const std::string& remoteBox);

    voxmg::always::AlwaysDownloadWorker& worker() { return *m_worker; }
    // The frame as the worker sees it.
    voxmg::always::WorkerHost& workerHost();
    NewMessageNotice& notice() { return *m_notice; }

private:
    class Host;

    bool due() const;
    bool offer();
    // Runs the backup with the progress dialog; ZENKAIBI, ZENKAIKA and YOTEIBI follow.
    bool runBackup(bool keepDueOnFailure);
    void pendingStep();
    void exitBackup();
    void sync();
    void refreshFor(const std::string& remoteBox);

    FrameHost& m_frame;
    AppContext& m_context;
    Clock m_clock;
    std::unique_ptr<NewMessageNotice> m_notice;
    std::unique_ptr<Host> m_host;
    std::unique_ptr<voxmg::always::AlwaysDownloadWorker> m_worker;
};
