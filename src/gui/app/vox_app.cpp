#include "gui/app/vox_app.h"

#include <cstring>

#include "core/automation/backup_schedule.h"
#include "gui/automation/frame_automation.h"
#include "gui/automation/mail_automation.h"
#include "gui/automation/new_message_notice.h"

#include "core/app/startup.h"
#include "core/audio/decoding_engine.h"
#include "core/base/paths.h"
#include "core/device/download_env.h"
#include "gui/app/box_commands.h"
#include "gui/app/main_frame.h"
#include "gui/audio/convert_command.h"
#include "gui/audio/player_commands.h"
#include "gui/audio/qt_audio_output.h"
#include "gui/audio/wav_commands.h"
#include "gui/base/choosers.h"
#include "gui/base/user_messages.h"
#include "gui/device/download_commands.h"
#include "gui/device/frame_download_runner.h"
#include "gui/device/ftp_session.h"
#include "gui/lists/list_commands.h"
#include "gui/lists/list_windows.h"
#include "gui/store/folder_commands.h"

namespace {

std::string orDefault(const std::string& value, const std::string& fallback) {
    return value.empty() ? fallback : value;
}

}  // namespace

CVOXMGApp::CVOXMGApp(Options options)
    : m_options(std::move(options)),
      m_doc(orDefault(m_options.settingsPath, voxmg::settingsFilePath(voxmg::paths::settingsFolder()))) {
    if (m_options.messages == nullptr) {
        m_ownMessages = std::make_unique<QtUserMessages>();
        m_options.messages = m_ownMessages.get();
    }
    if (m_options.choosers == nullptr) {
        m_ownChoosers = std::make_unique<QtChoosers>();
        m_options.choosers = m_ownChoosers.get();
    }
    m_context.reset(new AppContext{
        m_doc, m_flags, *m_options.messages, *m_options.choosers, m_options.timings, {}, uiPump()});
    if (m_options.wavOpener == nullptr) {
        m_ownOpener = std::make_unique<DesktopWavOpener>();
        m_options.wavOpener = m_ownOpener.get();
    }
    if (m_options.audioSink == nullptr) {
        m_ownSink = std::make_unique<QtAudioOutput>();
        m_options.audioSink = m_ownSink.get();
    }
    // One decoder for the whole program: downloads and the list's conversions share it.
    m_decoder = std::make_unique<voxmg::audio::DecodingEngine>();
    if (!m_options.sessions) {
        m_options.sessions = ftpSessionFactory(m_flags, m_context->pump, [this] {
            voxmg::DownloadEnv env = voxmg::makeDownloadEnv(
                m_doc.settings(), m_doc.settingsPath(), *m_decoder, m_flags, m_context->pump,
                voxmg::paths::withTrailingSeparator(voxmg::paths::parentOf(m_doc.settingsPath())));
            // Always-download tells the lists which box changed (from the worker's thread).
            env.refreshRequest = [this](const std::string& remoteBox) {
                if (m_automation) {
                    m_automation->boxChanged(remoteBox);
                }
            };
            // New messages go into the mail outbox; the sender wakes for them.
            env.messageStored = [this](const std::string& voicePath) {
                if (m_mail) {
                    m_mail->messageStored(voicePath);
                }
            };
            return env;
        });
    }
}

namespace {

// One instance at a time: a second start says so and ends (false).
bool refuseSecondInstance(UserMessages& messages) {
    messages.show(nullptr, QStringLiteral("Zuシリーズ音声ファイル管理は既に起動しています。"),
                  QStringLiteral("エラー"), UserMessages::Icon::Stop);
    return false;
}

// A folder or an unreadable file where the settings file belongs: starting on the defaults
// would hide the user's settings, and the save at exit would fail; say where it is instead.
bool settingsReadable(const voxmg::CVOXMGDoc& doc, UserMessages& messages) {
    if (doc.loadError() == 0) {
        return true;
    }
    messages.show(nullptr,
                  QStringLiteral("設定ファイルを読み込めません。\n%1\n(%2)")
                      .arg(QString::fromStdString(doc.settingsPath()),
                           QString::fromLocal8Bit(std::strerror(doc.loadError()))),
                  QStringLiteral("エラー"), UserMessages::Icon::Stop);
    return false;
}

}  // namespace

CVOXMGApp::~CVOXMGApp() {
    // Their threads stop before the pointers change: a thread still running may ask for them,
    // and reset nulls a pointer before it destroys the object.
    if (m_context) {
        m_context->automation.stopWorker();
        m_context->automation.stopMail();
    }
    m_automation.reset();
    m_mail.reset();
    m_player.reset();
    m_downloads.reset();
    m_frame.reset();
    m_lock.reset();
}

void CVOXMGApp::startAutomation() {
    // The mail sender before the always-download worker, whose downloads may call it at once.
    m_mail = std::make_unique<MailAutomation>(
        *m_frame, voxmg::paths::withTrailingSeparator(voxmg::paths::parentOf(m_doc.settingsPath())));
    m_mail->install();
    m_automation = std::make_unique<FrameAutomation>(
        *m_frame, m_options.clock ? m_options.clock : std::function<std::tm()>(&voxmg::backup::localNow),
        m_options.workerTimings);
    m_automation->install();
    // Mail that failed is told through the same tray icon as new messages, never as a box.
    QObject::connect(m_mail.get(), &MailAutomation::noticed, m_mail.get(),
                     [this](const QString& title, const QString& text) {
                         if (m_automation) {  // gone first when the program ends
                             m_automation->notice().tell(title, text, true);
                         }
                     });
}

bool CVOXMGApp::start() {
    m_lock = voxmg::InstanceLock::acquire(
        orDefault(m_options.lockPath, voxmg::instanceLockPath(voxmg::kInstanceTitle)));
    if (!m_lock) {
        return refuseSecondInstance(*m_options.messages);
    }
    if (m_doc.load(); !settingsReadable(m_doc, *m_options.messages)) {
        return false;
    }
    m_frame = std::make_unique<CMainFrame>(*m_context, m_options.sessions);
    if (m_options.listWindows) {
        m_frame->setListWindowFactory(m_options.listWindows);
    } else {
        m_lists = std::make_unique<ListWindows>(*m_context);
        installListCommands(*m_frame, *m_lists);
        m_player = std::make_unique<PlayerCommands>(*m_frame, *m_lists, *m_options.audioSink);
        ConvertCommandDeps deps{*m_decoder, *m_options.wavOpener, m_frame->pendingWavDeletions()};
        deps.playInPane = [this](CListDispView& view) {
            if (!m_doc.settings().playerButton) {
                return false;
            }
            m_player->playSelected(view);
            return true;
        };
        installConvertCommands(*m_frame, deps);
    }
    installFolderCommands(*m_frame);
    installWavCommands(*m_frame);
    installBoxCommands(*m_frame);
    m_downloads = std::make_unique<FrameDownloadRunner>(*m_frame);
    installDownloadCommands(*m_frame, *m_downloads);
    startAutomation();
    const bool mayRestore = m_frame->initialise(m_options.network);
    m_frame->show();

    const auto outcome = voxmg::checkStartupFolder(m_doc.settings(), m_doc.profile(), mayRestore, *m_frame);
    if (outcome == voxmg::StartupFolderOutcome::FolderMissing) {
        m_frame->setBoxText(QString());
        // The folder field is where downloads read the box folder from: left showing the
        // vanished folder, a download would go to that name relative to the working folder.
        m_frame->setFolderText();
    }
    m_frame->updateCommandStates();

    // A backup whose time passed meanwhile is offered now; declining it switches the schedule
    // check off for this run.
    m_automation->startupCheck();
    if (m_context->schedule.checkEnabled) {
        m_frame->scheduleTimer().start(m_context->timings.scheduleMs);
    }
    return true;
}
