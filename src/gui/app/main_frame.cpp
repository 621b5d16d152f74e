#include "gui/app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>
#include <filesystem>

#include "core/app/frame_texts.h"
#include "core/app/placement.h"
#include "core/base/trace.h"
#include "gui/app/command_bar.h"
#include "gui/app/folder_set_dlg.h"
#include "gui/app/login_dlg.h"
#include "gui/app/small_dialogs.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/device/down_kind_set_dlg.h"
#include "gui/device/download_runner.h"
#include "gui/device/sel_auto_del_dlg.h"
#include "gui/device/sel_down_dlg.h"

namespace {

constexpr char kListNumber[] = "voxmgListNumber";
const QString kFrameTitle = QStringLiteral("Zuシリーズ 音声ファイル管理");

bool anyErrorWindowOpen() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle() == QStringLiteral("エラー")) {
            return true;
        }
    }
    return false;
}

voxmg::Rect toRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
QRect fromRect(const voxmg::Rect& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

}  // namespace

CMainFrame::CMainFrame(AppContext& context, DeviceSessionFactory sessions, QWidget* parent)
    : QMainWindow(parent),
      m_context(context),
      m_sessions(std::move(sessions)),
      m_bar(new CCommandBar(this)),
      m_mdi(new QMdiArea(this)),
      m_status(new QLabel(this)),
      m_loginState(new QLabel(this)),
      m_settingsMenu(new QMenu(this)),
      m_windowMenu(new QMenu(this)),
      m_errorWindowOpen(&anyErrorWindowOpen) {
    setWindowTitle(kFrameTitle);
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_bar);
    column->addWidget(m_mdi, 1);
    setCentralWidget(central);
    statusBar()->addWidget(m_status, 1);
    statusBar()->addPermanentWidget(m_loginState);
    setMinimumSize(845, 250);

    buildMenus();
    connect(m_bar, &CCommandBar::command, this, &CMainFrame::onCommand);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        // A list window's title is its list title.
        if (window != nullptr) {
            setBoxText(window->windowTitle());
        }
        refreshStatus();
        updateCommandStates();
    });

    m_livenessTimer.setInterval(m_context.timings.livenessMs);
    connect(&m_livenessTimer, &QTimer::timeout, this, &CMainFrame::livenessTick);
    m_scheduleTimer.setInterval(m_context.timings.scheduleMs);
    connect(&m_scheduleTimer, &QTimer::timeout, this, &CMainFrame::scheduleTick);
    // The command states read the login state, the lists and the box folder on disk; they
    // are checked again whenever one of those changes, and after every command.
    connect(&m_folderWatch, &BoxFolderWatch::changed, this, &CMainFrame::updateCommandStates);

    m_session = makeSession();
    updateCommandStates();
}

CMainFrame::~CMainFrame() {
    // Closing the list windows while the frame goes away activates the next one; by then the
    // frame's own members are gone, so it must not hear of it.
    disconnect(m_mdi, nullptr, this, nullptr);
}

std::unique_ptr<DeviceSession> CMainFrame::makeSession() {
    // The client calls these around its own waits, also on the always-download worker's
    // thread; the timer belongs to this thread, so they reach it as queued calls from there.
    auto onFrameThread = [this](std::function<void()> f) {
        if (QThread::currentThread() == thread()) {
            f();
        } else {
            QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
        }
    };
    voxmg::LivenessHooks hooks;
    hooks.stop = [this, onFrameThread] {
        onFrameThread([this] {
            m_livenessTimer.stop();
            m_liveness.reset();
        });
    };
    hooks.restart = [this, onFrameThread] { onFrameThread([this] { restartLiveness(); }); };
    return m_sessions(std::move(hooks));
}

bool CMainFrame::initialise(const voxmg::NetworkFolderProbe& network) {
    auto& s = m_context.doc.settings();
    const bool mayRestore = voxmg::applyStartupFolder(s);
    if (!s.folderName.empty()) {
        const auto result = voxmg::connectNetworkFolder(m_context.doc.dataRoot(), network);
        if (result.showFailure) {
            m_context.messages.show(this, QStringLiteral("再接続できませんでした。"), QString(),
                                    UserMessages::Icon::None);
        }
    }
    const auto folderText = voxmg::frame_texts::folderField(s.folder.str(), s.folderName.str());
    m_bar->folderField()->setFieldText(toQ(folderText));
    voxmg::trace("OnCreate() ﾌｫﾙﾀﾞ名表示[" + voxmg::text::utf8FromUtf16(folderText) + "]");
    voxmg::trace("OnCreate() ﾎﾞｯｸｽ名表示[]");

    const auto saved = voxmg::readFramePlacement(m_context.doc.profile());
    if (saved) {
        const QRect screen = QApplication::primaryScreen() != nullptr
                                 ? QApplication::primaryScreen()->geometry()
                                 : QRect(0, 0, 1920, 1080);
        setGeometry(fromRect(voxmg::fitFrameToScreen(*saved, screen.width(), screen.height())));
    } else {
        resize(900, 600);
    }
    return mayRestore;
}

void CMainFrame::buildMenus() {
    addSettingsItem(Command::Login, QStringLiteral("ログイン..."));
    addSettingsItem(Command::Logout, QStringLiteral("ログアウト"));
    addSettingsItem(Command::StartupFolder, QStringLiteral("起動時のフォルダを指定する..."));
    m_settingsMenu->addSeparator();
    addSettingsItem(Command::ConvertOnDownload,
                    QStringLiteral("ダウンロード時に音声ファイルをWAVファイルに変換する"), true);
    addSettingsItem(Command::AutoDeleteBoxes,
                    QStringLiteral("ダウンロード時に主装置の音声ファイルを自動消去する..."));
    addSettingsItem(Command::DeleteWavFiles, QStringLiteral("WAVファイルを消去する..."));
    addSettingsItem(Command::WavSaveFolder, QStringLiteral("WAVファイルの保存先を設定する..."));
    addSettingsItem(Command::DeleteWavAfterPlay, QStringLiteral("再生後にWAVファイルを自動消去する"), true);
    addSettingsItem(Command::AlwaysDownload, QStringLiteral("常時ダウンロード"), true);
    addSettingsItem(Command::NewMessageNotice, QStringLiteral("新着メッセージを通知する"), true);
    addSettingsItem(Command::PlayButtonInPane, QStringLiteral("再生ボタンで内蔵プレーヤーを使う"), true);
    m_settingsMenu->addSeparator();
    addSettingsItem(Command::ListColumns, QStringLiteral("録音情報一覧の表示項目の追加と消去..."));
    addSettingsItem(Command::EditRecordingInfo, QStringLiteral("録音情報を編集する..."));
    addSettingsItem(Command::EditBoxNames, QStringLiteral("ボックス名称を編集する..."));
    addSettingsItem(Command::CreateBoxFolder, QStringLiteral("ボックスフォルダを作成する..."));
    addSettingsItem(Command::RenameBoxFolder, QStringLiteral("ボックスフォルダ名称を変更する..."));
    m_settingsMenu->addSeparator();
    addSettingsItem(Command::ExportList, QStringLiteral("一覧表をエクスポートする..."));
    addSettingsItem(Command::ImportBoxNames, QStringLiteral("内線ボックス名称をインポートする..."));
    m_settingsMenu->addSeparator();
    addSettingsItem(Command::BackupSettings, QStringLiteral("自動バックアップの設定をする..."));
    // Opening the menu counts as a command: the box folder is read back from its field first.
    connect(m_settingsMenu, &QMenu::aboutToShow, this, &CMainFrame::refreshBoxFolderName);
    connect(m_settingsMenu, &QMenu::aboutToShow, this, &CMainFrame::updateSettingsMenu);
    m_bar->button(Command::SettingsMenu)->setMenu(m_settingsMenu);

    connect(m_windowMenu, &QMenu::aboutToShow, this, &CMainFrame::rebuildWindowMenu);
    m_bar->button(Command::WindowMenu)->setMenu(m_windowMenu);
    rebuildWindowMenu();
}

QAction* CMainFrame::addSettingsItem(Command id, const QString& text, bool checkable) {
    QAction* action = m_settingsMenu->addAction(text);
    action->setData(static_cast<int>(id));
    action->setCheckable(checkable);
    // Queued, so the menu and its button are closed before a dialog opens.
    connect(
        action, &QAction::triggered, this, [this, id] { onMenuCommand(id); }, Qt::QueuedConnection);
    m_settingsActions.insert(id, action);
    return action;
}

void CMainFrame::updateSettingsMenu() {
    const auto& s = m_context.doc.settings();
    const bool in = m_context.doc.loggedIn();
    m_settingsActions[Command::Login]->setEnabled(!in);
    m_settingsActions[Command::Logout]->setEnabled(in);
    m_settingsActions[Command::ConvertOnDownload]->setChecked(s.downConv);
    m_settingsActions[Command::DeleteWavAfterPlay]->setChecked(s.convDel);
    m_settingsActions[Command::AlwaysDownload]->setChecked(s.always);
    m_settingsActions[Command::NewMessageNotice]->setChecked(s.newMessageNotice);
    m_settingsActions[Command::PlayButtonInPane]->setChecked(s.playerButton);
    // The items the features bring follow their own rules; until a feature is plugged in
    // (the backup is still to come) its items stay disabled.
    for (Command id : {Command::AutoDeleteBoxes, Command::DeleteWavFiles, Command::WavSaveFolder,
                       Command::ListColumns, Command::EditRecordingInfo, Command::EditBoxNames,
                       Command::CreateBoxFolder, Command::RenameBoxFolder, Command::ExportList,
                       Command::ImportBoxNames, Command::BackupSettings, Command::AlwaysDownload}) {
        m_settingsActions[id]->setEnabled(commandEnabled(id));
    }
}

void CMainFrame::rebuildWindowMenu() {
    m_windowMenu->clear();
    const auto lists = m_mdi->subWindowList();
    auto add = [this](Command id, const QString& text) {
        QAction* action = m_windowMenu->addAction(text);
        action->setData(static_cast<int>(id));
        connect(action, &QAction::triggered, this, [this, id] { arrange(id); });
        return action;
    };
    add(Command::TileWindows, QStringLiteral("並べて表示"))->setEnabled(!lists.isEmpty());
    add(Command::TileHorizontally, QStringLiteral("上下に並べて表示"));
    add(Command::TileVertically, QStringLiteral("左右に並べて表示"));
    add(Command::CascadeWindows, QStringLiteral("重ねて表示"));
    if (const auto pane = m_commands.constFind(Command::PlayerPane); pane != m_commands.constEnd()) {
        m_windowMenu->addSeparator();
        QAction* action = m_windowMenu->addAction(QStringLiteral("内蔵プレーヤー"));
        action->setData(static_cast<int>(Command::PlayerPane));
        action->setCheckable(true);
        action->setChecked(pane->checked && pane->checked());
        connect(action, &QAction::triggered, this, [this] { onMenuCommand(Command::PlayerPane); });
    }
    if (lists.isEmpty()) {
        return;
    }
    m_windowMenu->addSeparator();
    for (int n = 1; n <= 4; ++n) {
        QMdiSubWindow* window = listWindow(n);
        if (window == nullptr) {
            continue;
        }
        const auto title = voxmg::frame_texts::windowMenuItem(fromQ(window->windowTitle()));
        QAction* action = m_windowMenu->addAction(toQ(title));
        action->setData(windowListItem(n));
        action->setCheckable(true);
        action->setChecked(window == m_mdi->activeSubWindow());
        connect(action, &QAction::triggered, this, [this, n] { activateList(n); });
    }
}

void CMainFrame::updateCommandStates() {
    // Every button but the two menus and バージョン belongs to a feature: enabled by its
    // rule, and disabled until the feature is plugged in.
    for (auto it = m_bar->buttons().cbegin(); it != m_bar->buttons().cend(); ++it) {
        const Command id = it.key();
        if (id != Command::SettingsMenu && id != Command::WindowMenu && id != Command::About) {
            it.value()->setEnabled(commandEnabled(id));
        }
    }
    setMinimumHeight(openListCount() > 0 ? 260 : 250);
    refreshLoginState();
    // The box folder may be another one by now.
    m_folderWatch.watch(m_context.doc.dataRoot(), m_context.doc.boxFolderName());
    m_context.automation.stateChanged();
}

void CMainFrame::refreshLoginState() {
    // Whoever sets or clears the document's flag (login dialog, logout, a lost connection)
    // asks for the command states afterwards, and this with them.
    const auto& doc = m_context.doc;
    m_loginState->setText(doc.loggedIn() ? QStringLiteral("ログイン中 ") + toQ(doc.login().ip.str())
                                         : QStringLiteral("未ログイン"));
}

void CMainFrame::refreshStatus() {
    // The counts belong to the active list; with no list open the pane is empty.
    QMdiSubWindow* active = m_mdi->activeSubWindow();
    if (active == nullptr || !m_counts) {
        m_status->clear();
        return;
    }
    const ListCounts c = m_counts(active->widget());
    const auto text = c.responseList ? voxmg::frame_texts::responseListStatus(c.folderTotal, c.listTotal)
                                     : voxmg::frame_texts::boxListStatus(c.folderTotal, c.boxTotal,
                                                                         c.listTotal, c.unplayed, c.played);
    m_status->setText(toQ(text));
}

void CMainFrame::setBoxText(const QString& listTitle) {
    const auto text = voxmg::frame_texts::boxField(fromQ(listTitle));
    m_bar->boxField()->setFieldText(listTitle.isEmpty() ? QString() : toQ(text));
    voxmg::trace("SetBoxText() ﾎﾞｯｸｽ名表示[" + listTitle.toStdString() + "]");
}

void CMainFrame::setFolderText() {
    const auto& s = m_context.doc.settings();
    const auto text = voxmg::frame_texts::folderField(s.folder.str(), s.folderName.str());
    m_bar->folderField()->setFieldText(toQ(text));
    voxmg::trace("SetBoxText() ﾌｫﾙﾀﾞ名表示[" + voxmg::text::utf8FromUtf16(text) + "]");
}

void CMainFrame::refreshBoxFolderName() {
    QString field = m_bar->folderField()->fieldText();
    m_context.doc.settings().folderName = voxmg::frame_texts::boxFolderNameFromField(fromQ(field));
}

QString CMainFrame::folderFieldText() const {
    return m_bar->folderField()->fieldText();
}

QWidget* CMainFrame::activeList() const {
    QMdiSubWindow* window = m_mdi->activeSubWindow();
    return window != nullptr ? window->widget() : nullptr;
}

void CMainFrame::setFrameEnabled(bool enabled) {
    centralWidget()->setEnabled(enabled);
    statusBar()->setEnabled(enabled);
    // The docked player as well: its played mark writes a message file.
    for (QDockWidget* dock : findChildren<QDockWidget*>()) {
        dock->setEnabled(enabled);
    }
}

bool CMainFrame::commandEnabled(Command id) const {
    const auto it = m_commands.constFind(id);
    return it != m_commands.constEnd() && it->run && (!it->enabled || it->enabled());
}

int CMainFrame::openListCount() const {
    return static_cast<int>(m_mdi->subWindowList().size());
}

void CMainFrame::restartLiveness() {
    m_liveness.reset();
    m_livenessTimer.start(m_context.timings.livenessMs);
}

void CMainFrame::connectionLost() {
    m_context.doc.setLoggedIn(false);
    m_livenessTimer.stop();
    updateCommandStates();
}

void CMainFrame::restartSchedule() {
    if (m_context.schedule.checkEnabled) {
        m_scheduleTimer.start(m_context.timings.scheduleMs);
    }
}

void CMainFrame::runCommand(const std::function<void()>& body) {
    m_scheduleTimer.stop();
    m_context.schedule.backupPendingAfterOperation = false;
    m_settingsMenu->close();
    body();
    refreshStatus();
    updateCommandStates();
    // A dialog closed for a due backup (or the command itself asked for one): it runs now.
    m_context.schedule.backupPendingAfterOperation = false;
    m_context.automation.runPendingBackup();
    restartSchedule();
}

void CMainFrame::onCommand(Command id) {
    switch (id) {
        case Command::About:
            runCommand([this] {
                CAboutDlg about(m_context, this);
                about.exec();
            });
            break;
        default:
            // The settings and window buttons open their menus themselves.
            if (commandEnabled(id)) {
                runCommand([this, id] {
                    // These work on the box folder the folder field names.
                    if (id == Command::BulkDownload || id == Command::SelectedDownload ||
                        id == Command::VoiceDownload || id == Command::MoveCopy) {
                        refreshBoxFolderName();
                    }
                    m_commands[id].run();
                });
            }
            break;
    }
}

void CMainFrame::onMenuCommand(Command id) {
    auto& s = m_context.doc.settings();
    switch (id) {
        case Command::Login:
            runCommand([this] { loginCommand(); });
            break;
        case Command::Logout:
            logout();
            break;
        case Command::StartupFolder:
            runCommand([this] {
                CFolderSetDlg dialog(m_context, this);
                dialog.exec();
            });
            break;
        case Command::ConvertOnDownload:
            s.downConv = !s.downConv;
            break;
        case Command::DeleteWavAfterPlay:
            s.convDel = !s.convDel;
            break;
        case Command::NewMessageNotice:
            s.newMessageNotice = !s.newMessageNotice;
            break;
        case Command::PlayButtonInPane:
            s.playerButton = !s.playerButton;
            break;
        default:
            if (commandEnabled(id)) {
                runCommand([this, id] { m_commands[id].run(); });
            }
            break;
    }
}

void CMainFrame::loginCommand() {
    CLoginDlg dialog(m_context, *m_session, this);
    if (dialog.exec() == QDialog::Accepted) {
        restartLiveness();
    }
}

void CMainFrame::refreshAllLists() {
    if (!m_refreshList) {
        return;
    }
    for (QMdiSubWindow* window : m_mdi->subWindowList()) {
        m_refreshList(window->widget());
    }
}

void CMainFrame::refreshActiveList() {
    if (QWidget* list = activeList(); list != nullptr && m_refreshList) {
        m_refreshList(list);
    }
    refreshStatus();
}

std::vector<std::u16string> CMainFrame::listTitles() const {
    std::vector<std::u16string> titles;
    const auto order = m_mdi->subWindowList(QMdiArea::ActivationHistoryOrder);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        std::u16string title = fromQ((*it)->widget()->windowTitle());
        if (!title.empty() && std::find(titles.begin(), titles.end(), title) == titles.end()) {
            titles.push_back(std::move(title));
        }
    }
    return titles;
}

void CMainFrame::logout() {
    m_scheduleTimer.stop();
    m_livenessTimer.stop();
    m_liveness.reset();
    m_settingsMenu->close();
    if (m_context.doc.loggedIn()) {
        setFrameEnabled(false);
        auto& flags = m_context.flags;
        flags.cancelAll = 1;
        flags.pauseWorker(1, m_context.pump);
        m_session->logout();
        m_context.doc.setLoggedIn(false);
        updateCommandStates();
        flags.cancelAll = 0;
        flags.resumeWorker();
        setFrameEnabled(true);
    }
    update();
    restartSchedule();
}

void CMainFrame::livenessTick() {
    voxmg::LivenessTicker::Tick tick;
    tick.backupRunning = m_context.schedule.backupRunning;
    tick.hasConnection = m_session->hasControlConnection();
    tick.loggedIn = m_context.doc.loggedIn();
    tick.drainAndProbe = [this] {
        // The worker talking to the main unit right now proves the line; otherwise it waits
        // while the probe has the connection.
        auto& gate = m_context.flags.gate;
        if (gate.busy()) {
            return true;
        }
        gate.requestPause(m_context.pump);
        const bool alive = m_session->drainAndProbe();
        gate.clearPause();
        return alive;
    };
    tick.errorWindowOpen = m_errorWindowOpen;
    switch (m_liveness.tick(tick)) {
        case voxmg::LivenessTicker::Outcome::ProbeFailedWait:
            m_context.doc.setLoggedIn(false);
            updateCommandStates();
            break;
        case voxmg::LivenessTicker::Outcome::ProbeFailedReconnect:
            m_context.doc.setLoggedIn(false);
            updateCommandStates();
            m_livenessTimer.stop();
            reconnectFlow();
            break;
        case voxmg::LivenessTicker::Outcome::IdleLogout:
            m_livenessTimer.stop();
            logout();
            break;
        case voxmg::LivenessTicker::Outcome::Nothing:
            break;
    }
}

void CMainFrame::scheduleTick() {
    m_scheduleTimer.stop();
    if (m_context.backupDue()) {
        m_context.offerBackup();
        m_context.automation.runPendingBackup();
    }
    restartSchedule();
}

void CMainFrame::reconnectFlow() {
    m_scheduleTimer.stop();
    CRecomDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        restartSchedule();
        close();
        return;
    }
    // The old object goes with its dead connection; a new one logs in with the values the
    // user gave last. Always-download must not be holding the old one meanwhile.
    int result = 0;
    {
        voxmg::WorkerPause pause(m_context.flags, m_context.pump);
        m_session->logout();
        m_session.reset();
        m_session = makeSession();
        result = m_session->connectAndLogin(m_context.doc.login());
        m_context.doc.setLoggedIn(result == 0);
        updateCommandStates();
    }
    if (result == 0) {
        restartLiveness();
    } else {
        m_context.messages.error(this, connectResultText(result));
    }
    // Also after a successful reconnect, or the backup schedule would stay off for the rest
    // of the run.
    restartSchedule();
}

bool CMainFrame::confirmExit() {
    m_scheduleTimer.stop();
    m_context.schedule.backupRequest = false;
    CEndChkDlg dialog(m_context, true, this);
    if (dialog.exec() != QDialog::Accepted) {
        restartSchedule();
        return false;
    }
    return true;
}

void CMainFrame::exitSequence() {
    m_scheduleTimer.stop();
    m_livenessTimer.stop();
    m_folderWatch.stop();
    m_context.automation.runExitBackup();
    setFrameEnabled(false);
    auto& flags = m_context.flags;
    flags.suspendRequest = 1;
    flags.cancelAll = 1;
    m_context.automation.stopWorker();

    std::vector<voxmg::ListPlacement> lists;
    auto order = m_mdi->subWindowList(QMdiArea::ActivationHistoryOrder);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        voxmg::ListPlacement p;
        p.number = (*it)->property(kListNumber).toInt();
        p.rect = toRect((*it)->geometry());
        p.showCmd = (*it)->isMaximized()
                        ? voxmg::kShowMaximized
                        : ((*it)->isMinimized() ? voxmg::kShowMinimized : voxmg::kShowNormal);
        lists.push_back(p);
    }
    m_context.doc.settings().num = static_cast<int>(lists.size());
    m_context.doc.save(toRect(normalGeometry()), lists);

    deletePendingWavFiles();
}

void CMainFrame::deletePendingWavFiles() {
    if (m_pendingWav.empty()) {
        return;
    }
    QProgressDialog progress(QStringLiteral("ＷＡＶファイルを消去中です。"), QString(), 0,
                             static_cast<int>(m_pendingWav.size()), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    int done = 0;
    for (const auto& wav : m_pendingWav) {
        std::error_code ec;
        std::filesystem::remove(wav, ec);
        progress.setValue(++done);
    }
    // Let the dialog show its last step before it goes.
    for (int i = 0; i < 10; ++i) {
        voxmg::pumpOnce(m_context.pump);
        QThread::msleep(10);
    }
    m_pendingWav.clear();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_closing) {
        event->accept();
        return;
    }
    if (!confirmExit()) {
        event->ignore();
        return;
    }
    exitSequence();
    m_closing = true;
    event->accept();
}

QMdiSubWindow* CMainFrame::listWindow(int n) const {
    for (QMdiSubWindow* window : m_mdi->subWindowList()) {
        if (window->property(kListNumber).toInt() == n) {
            return window;
        }
    }
    return nullptr;
}

bool CMainFrame::openList(int n) {
    QWidget* view = m_listFactory ? m_listFactory(n) : nullptr;
    if (view == nullptr) {
        return false;
    }
    QMdiSubWindow* window = m_mdi->addSubWindow(view);
    window->setProperty(kListNumber, n);
    if (m_listsMaximized) {
        window->showMaximized();
    } else {
        window->show();
    }
    return true;
}

void CMainFrame::placeList(int n, const voxmg::Rect& rect, int showCmd) {
    QMdiSubWindow* window = listWindow(n);
    if (window == nullptr || rect.left == voxmg::kPlacementUnset) {
        return;
    }
    window->setGeometry(fromRect(rect));
    if (showCmd == voxmg::kShowMinimized) {
        window->showMinimized();
    }
}

void CMainFrame::closeAllLists() {
    m_mdi->closeAllSubWindows();
    for (QMdiSubWindow* window : m_mdi->subWindowList()) {
        m_mdi->removeSubWindow(window);
        window->deleteLater();
    }
    m_listCount = 0;
}

void CMainFrame::setListNumber(QWidget* view, int n) {
    for (QMdiSubWindow* window : m_mdi->subWindowList()) {
        if (window->widget() == view) {
            window->setProperty(kListNumber, n);
        }
    }
}

void CMainFrame::activateList(int n) {
    if (QMdiSubWindow* window = listWindow(n)) {
        m_mdi->setActiveSubWindow(window);
    }
}

void CMainFrame::arrange(Command id) {
    m_windowMenu->close();
    auto lists = m_mdi->subWindowList(QMdiArea::StackingOrder);
    const QRect area = m_mdi->viewport()->rect();
    const int w = area.width();
    const int h = area.height() - 150;
    auto place = [](QMdiSubWindow* window, const QRect& r) {
        window->showNormal();
        window->setGeometry(r);
    };
    if (id == Command::TileWindows && lists.size() == 3) {
        // Active list on the left half, the next two stacked on the right.
        QMdiSubWindow* active = m_mdi->activeSubWindow() != nullptr ? m_mdi->activeSubWindow() : lists.back();
        lists.removeAll(active);
        place(active, QRect(0, 0, w / 2, h));
        place(lists.back(), QRect(w / 2, 0, w - w / 2, h / 2));
        place(lists.front(), QRect(w / 2, h / 2, w - w / 2, h - h / 2));
        return;
    }
    if ((id == Command::TileHorizontally || id == Command::TileVertically) && lists.size() == 4) {
        // Two pairs, each pair sharing its half of the area less 150 pixels of height.
        for (int i = 0; i < 4; ++i) {
            const int pair = i / 2;
            const int within = i % 2;
            QRect r = id == Command::TileHorizontally ? QRect(pair * (w / 2), within * (h / 2), w / 2, h / 2)
                                                      : QRect(within * (w / 2), pair * (h / 2), w / 2, h / 2);
            place(lists[i], r);
        }
        return;
    }
    if (id == Command::CascadeWindows) {
        m_mdi->cascadeSubWindows();
    } else {
        m_mdi->tileSubWindows();
    }
}
