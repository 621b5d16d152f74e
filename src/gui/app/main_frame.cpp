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
#include "gui/app/small_dialogs.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

namespace {

const QString kFrameTitle = QStringLiteral("Zuシリーズ 音声ファイル管理");

voxmg::Rect toRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
QRect fromRect(const voxmg::Rect& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The settings menu, in its order. A switch the frame flips itself names its setting; the
// items of the features are enabled by their own rules once plugged in.
struct SettingsItem {
    enum class Kind { Frame, Switch, Feature, FeatureSwitch, Separator };
    Command id;
    const char16_t* text;
    Kind kind;
    bool voxmg::Settings::*setting = nullptr;
};

using K = SettingsItem::Kind;
const SettingsItem kSettingsMenu[] = {
    {Command::Login, u"ログイン...", K::Frame},
    {Command::Logout, u"ログアウト", K::Frame},
    {Command::StartupFolder, u"起動時のフォルダを指定する...", K::Frame},
    {Command::Login, nullptr, K::Separator},
    {Command::ConvertOnDownload, u"ダウンロード時に音声ファイルをWAVファイルに変換する", K::Switch,
     &voxmg::Settings::downConv},
    {Command::AutoDeleteBoxes, u"ダウンロード時に主装置の音声ファイルを自動消去する...", K::Feature},
    {Command::DeleteWavFiles, u"WAVファイルを消去する...", K::Feature},
    {Command::WavSaveFolder, u"WAVファイルの保存先を設定する...", K::Feature},
    {Command::DeleteWavAfterPlay, u"再生後にWAVファイルを自動消去する", K::Switch, &voxmg::Settings::convDel},
    {Command::AlwaysDownload, u"常時ダウンロード", K::FeatureSwitch, &voxmg::Settings::always},
    {Command::NewMessageNotice, u"新着メッセージを通知する", K::Switch, &voxmg::Settings::newMessageNotice},
    {Command::PlayButtonInPane, u"再生ボタンで内蔵プレーヤーを使う", K::Switch,
     &voxmg::Settings::playerButton},
    {Command::Login, nullptr, K::Separator},
    {Command::ListColumns, u"録音情報一覧の表示項目の追加と消去...", K::Feature},
    {Command::EditRecordingInfo, u"録音情報を編集する...", K::Feature},
    {Command::EditBoxNames, u"ボックス名称を編集する...", K::Feature},
    {Command::CreateBoxFolder, u"ボックスフォルダを作成する...", K::Feature},
    {Command::RenameBoxFolder, u"ボックスフォルダ名称を変更する...", K::Feature},
    {Command::Login, nullptr, K::Separator},
    {Command::ExportList, u"一覧表をエクスポートする...", K::Feature},
    {Command::ImportBoxNames, u"内線ボックス名称をインポートする...", K::Feature},
    {Command::Login, nullptr, K::Separator},
    {Command::BackupSettings, u"自動バックアップの設定をする...", K::Feature},
    {Command::MailSettings, u"メール転送の設定...", K::Feature},
};

const SettingsItem* settingsItem(Command id) {
    for (const SettingsItem& item : kSettingsMenu) {
        if (item.kind != K::Separator && item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

}  // namespace

CMainFrame::CMainFrame(AppContext& context, DeviceSessionFactory sessions, QWidget* parent)
    : QMainWindow(parent),
      m_context(context),
      m_bar(new CommandBar(this)),
      m_lists(new ListWindowArea(this, {[this] { return m_commands.contains(Command::PlayerPane); },
                                        [this] {
                                            const auto& pane = m_commands[Command::PlayerPane];
                                            return pane.checked && pane.checked();
                                        },
                                        [this] { onMenuCommand(Command::PlayerPane); }})),
      m_status(new QLabel(this)),
      m_loginState(new QLabel(this)),
      m_settingsMenu(new QMenu(this)) {
    setWindowTitle(kFrameTitle);
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_bar);
    column->addWidget(m_lists->mdiArea(), 1);
    setCentralWidget(central);
    statusBar()->addWidget(m_status, 1);
    statusBar()->addPermanentWidget(m_loginState);
    setMinimumSize(845, 250);

    buildSettingsMenu();
    m_bar->button(Command::WindowMenu)->setMenu(m_lists->windowMenu());
    m_lists->rebuildWindowMenu();
    connect(m_bar, &CommandBar::command, this, &CMainFrame::onCommand);
    connect(m_lists->mdiArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        // A list window's title is its list title.
        if (window != nullptr) {
            setBoxText(window->windowTitle());
        }
        refreshStatus();
        updateCommandStates();
    });

    m_scheduleTimer.setInterval(m_context.timings.scheduleMs);
    connect(&m_scheduleTimer, &QTimer::timeout, this, &CMainFrame::scheduleTick);
    // The command states read the login state, the lists and the box folder on disk; they
    // are checked again whenever one of those changes, and after every command.
    connect(&m_folderWatch, &BoxFolderWatch::changed, this, &CMainFrame::updateCommandStates);

    m_connection = std::make_unique<ConnectionSupervisor>(
        *this, std::move(sessions),
        ConnectionSupervisor::FrameSteps{[this] { m_scheduleTimer.stop(); }, [this] { restartSchedule(); },
                                         [this] { close(); }});
    updateCommandStates();
}

CMainFrame::~CMainFrame() {
    // Closing the list windows while the frame goes away activates the next one; by then the
    // frame's own members are gone, so it must not hear of it.
    disconnect(m_lists->mdiArea(), nullptr, this, nullptr);
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

void CMainFrame::buildSettingsMenu() {
    for (const SettingsItem& item : kSettingsMenu) {
        if (item.kind == K::Separator) {
            m_settingsMenu->addSeparator();
            continue;
        }
        QAction* action = m_settingsMenu->addAction(toQ(item.text));
        action->setData(static_cast<int>(item.id));
        action->setCheckable(item.setting != nullptr);
        // Queued, so the menu and its button are closed before a dialog opens.
        connect(
            action, &QAction::triggered, this, [this, id = item.id] { onMenuCommand(id); },
            Qt::QueuedConnection);
        m_settingsActions.insert(item.id, action);
    }
    // Opening the menu counts as a command: the box folder is read back from its field first.
    connect(m_settingsMenu, &QMenu::aboutToShow, this, &CMainFrame::refreshBoxFolderName);
    connect(m_settingsMenu, &QMenu::aboutToShow, this, &CMainFrame::updateSettingsMenu);
    m_bar->button(Command::SettingsMenu)->setMenu(m_settingsMenu);
}

void CMainFrame::updateSettingsMenu() {
    const auto& s = m_context.doc.settings();
    const bool in = m_context.doc.loggedIn();
    for (const SettingsItem& item : kSettingsMenu) {
        if (item.kind == K::Separator) {
            continue;
        }
        QAction* action = m_settingsActions[item.id];
        if (item.setting != nullptr) {
            action->setChecked(s.*item.setting);
        }
        if (item.kind == K::Feature || item.kind == K::FeatureSwitch) {
            action->setEnabled(commandEnabled(item.id));
        }
    }
    m_settingsActions[Command::Login]->setEnabled(!in);
    m_settingsActions[Command::Logout]->setEnabled(in);
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
    updateMinimumHeight();
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
    QWidget* active = activeList();
    if (active == nullptr || !m_counts) {
        m_status->clear();
        m_status->setToolTip(QString());
        return;
    }
    const ListCounts c = m_counts(active);
    const auto text = c.responseList ? voxmg::frame_texts::responseListStatus(c.folderTotal, c.listTotal)
                                     : voxmg::frame_texts::boxListStatus(c.folderTotal, c.boxTotal,
                                                                         c.listTotal, c.unplayed, c.played);
    m_status->setText(toQ(text));
    m_status->setToolTip(toQ(c.responseList ? voxmg::frame_texts::responseListStatusTip()
                                            : voxmg::frame_texts::boxListStatusTip()));
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

void CMainFrame::onActiveListChanged(std::function<void()> changed) {
    connect(mdiArea(), &QMdiArea::subWindowActivated, this, [changed = std::move(changed)] { changed(); });
}

void CMainFrame::updateMinimumHeight() {
    // 260 while a list is open, 250 otherwise, as the Windows program had it; a docked pane
    // shown below the lists adds what it needs, so that at the smallest height the buttons, the
    // list and the pane never lie over each other or the status bar.
    int height = openListCount() > 0 ? 260 : 250;
    for (QDockWidget* dock : findChildren<QDockWidget*>()) {
        if (!dock->isHidden()) {
            height += dock->minimumSizeHint().height();
        }
    }
    setMinimumHeight(height);
}

void CMainFrame::setFrameEnabled(bool enabled) {
    QMdiArea* area = m_lists->mdiArea();
    if (!enabled) {
        m_activeBeforeDialog = area->activeSubWindow();
    }
    centralWidget()->setEnabled(enabled);
    statusBar()->setEnabled(enabled);
    // The docked player as well: its played mark writes a message file.
    for (QDockWidget* dock : findChildren<QDockWidget*>()) {
        dock->setEnabled(enabled);
    }
    if (enabled && m_activeBeforeDialog && area->activeSubWindow() == nullptr) {
        area->setActiveSubWindow(m_activeBeforeDialog);
    }
}

bool CMainFrame::commandEnabled(Command id) const {
    const auto it = m_commands.constFind(id);
    return it != m_commands.constEnd() && it->run && (!it->enabled || it->enabled());
}

void CMainFrame::restartSchedule() {
    if (m_context.schedule.checkEnabled) {
        m_scheduleTimer.start(m_context.timings.scheduleMs);
    }
}

void CMainFrame::afterCommand(std::function<void()> f) {
    if (m_commandDepth == 0) {
        f();
        return;
    }
    m_afterCommand.push_back(std::move(f));
}

void CMainFrame::runCommand(const std::function<void()>& body) {
    m_scheduleTimer.stop();
    m_settingsMenu->close();
    ++m_commandDepth;
    body();
    if (--m_commandDepth == 0 && !m_afterCommand.empty()) {
        QMetaObject::invokeMethod(
            this,
            [this, waiting = std::exchange(m_afterCommand, {})]() mutable {
                for (auto& f : waiting) {
                    afterCommand(std::move(f));  // a command one of them runs defers the rest
                }
            },
            Qt::QueuedConnection);
    }
    refreshStatus();
    updateCommandStates();
    // A dialog closed for a due backup (or the command itself asked for one): it runs now.
    m_context.automation.runPendingBackup();
    restartSchedule();
}

void CMainFrame::onCommand(Command id) {
    if (id == Command::About) {
        runCommand([this] {
            CAboutDlg about(m_context, this);
            about.exec();
        });
        return;
    }
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
}

void CMainFrame::onMenuCommand(Command id) {
    const SettingsItem* item = settingsItem(id);
    if (item != nullptr && item->kind == K::Switch) {
        bool& value = m_context.doc.settings().*item->setting;
        value = !value;
        return;
    }
    switch (id) {
        case Command::Login:
            runCommand([this] { m_connection->login(); });
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
        default:
            if (commandEnabled(id)) {
                runCommand([this, id] { m_commands[id].run(); });
            }
            break;
    }
}

void CMainFrame::refreshActiveList() {
    m_lists->refreshActive();
    refreshStatus();
}

void CMainFrame::logout() {
    m_settingsMenu->close();
    m_connection->logout();
    update();
}

void CMainFrame::scheduleTick() {
    m_scheduleTimer.stop();
    if (m_context.backupDue()) {
        m_context.offerBackup();
        m_context.automation.runPendingBackup();
    }
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
    m_connection->livenessTimer().stop();
    m_folderWatch.stop();
    m_context.automation.runExitBackup();
    setFrameEnabled(false);
    m_context.flags.cancelAll = 1;
    // A box of the worker stops at once.
    m_context.automation.stopWorker();
    m_context.automation.stopMail();

    const std::vector<voxmg::ListPlacement> lists = m_lists->placements();
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
