#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/app/doc.h"
#include "core/app/network_folder.h"
#include "core/app/single_instance.h"
#include "core/automation/always_download.h"
#include "core/base/flags.h"
#include "gui/base/app_context.h"
#include "gui/base/device_session.h"

class CMainFrame;
class ListWindows;
class FrameDownloadRunner;
class FrameAutomation;
class MailAutomation;
class PlayerCommands;
namespace voxmg::player {
class AudioSink;
}
namespace voxmg::audio {
class DecodingEngine;
}
class QWidget;
class UserMessages;
class WavOpener;
class Choosers;

// The application object: single-instance guard, settings file, main frame, start-up folder
// check and list restore, start-up backup offer, schedule timer.
class CVOXMGApp {
public:
    struct Options {
        std::string settingsPath;          // default: VOXMG.ini beside the program
        std::string lockPath;              // default: the runtime folder's VOXMG-Zu lock
        UserMessages* messages = nullptr;  // default: message boxes
        Choosers* choosers = nullptr;      // default: file dialogs
        DeviceSessionFactory sessions;     // default: CFtpMng
        Timings timings;
        voxmg::NetworkFolderProbe network = voxmg::systemNetworkFolderProbe();
        // Creates the saved list windows at start-up; none until the list view exists.
        std::function<QWidget*(int n)> listWindows;
        WavOpener* wavOpener = nullptr;  // default: the desktop's player
        std::function<std::tm()> clock;  // default: the local time now
        voxmg::always::WorkerTimings workerTimings;
        voxmg::player::AudioSink* audioSink = nullptr;  // default: the desktop's sound output
    };

    explicit CVOXMGApp(Options options);
    ~CVOXMGApp();

    // False when the program must end without a window (another instance runs).
    bool start();

    CMainFrame* frame() const { return m_frame.get(); }
    FrameDownloadRunner* downloads() const { return m_downloads.get(); }
    ListWindows* lists() const { return m_lists.get(); }
    FrameAutomation* automation() const { return m_automation.get(); }
    MailAutomation* mail() const { return m_mail.get(); }
    PlayerCommands* player() const { return m_player.get(); }
    voxmg::CVOXMGDoc& doc() { return m_doc; }
    AppContext& context() { return *m_context; }

private:
    // The mail sender and the always-download worker with the backup schedule, and the notices.
    void startAutomation();

    Options m_options;
    std::unique_ptr<UserMessages> m_ownMessages;
    std::unique_ptr<Choosers> m_ownChoosers;
    voxmg::Flags m_flags;
    voxmg::CVOXMGDoc m_doc;
    std::unique_ptr<AppContext> m_context;
    std::unique_ptr<voxmg::InstanceLock> m_lock;
    std::unique_ptr<voxmg::audio::DecodingEngine> m_decoder;
    std::unique_ptr<WavOpener> m_ownOpener;
    std::unique_ptr<voxmg::player::AudioSink> m_ownSink;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<FrameDownloadRunner> m_downloads;
    std::unique_ptr<ListWindows> m_lists;
    std::unique_ptr<PlayerCommands> m_player;
    std::unique_ptr<FrameAutomation> m_automation;
    std::unique_ptr<MailAutomation> m_mail;
};
