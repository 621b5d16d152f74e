#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "core/app/liveness.h"
#include "core/app/network_folder.h"
#include "gui/app/box_folder_watch.h"
#include "gui/app/connection_supervisor.h"
#include "gui/app/list_window_area.h"
#include "gui/audio/player_host.h"
#include "gui/base/app_context.h"
#include "gui/base/commands.h"
#include "gui/base/device_session.h"
#include "gui/base/frame_host.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class CommandBar;

// The program's MDI frame: it puts the command bar, the list window area, the status line and
// the connection supervisor together, dispatches the commands of the bar and the settings menu,
// and runs the exit sequence. The lists, folders and downloads plug their commands in through
// FrameHost, the built-in player through PlayerHost.
class CMainFrame : public QMainWindow, public FrameHost, public PlayerHost {
    Q_OBJECT
public:
    CMainFrame(AppContext& context, DeviceSessionFactory sessions, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Creation: the start-up folder, the data root folder on a network file system, the two
    // fields and the saved frame placement. Returns whether list windows may be restored.
    bool initialise(const voxmg::NetworkFolderProbe& network);

    CommandBar* commandBar() const { return m_bar; }
    QMdiArea* mdiArea() const { return m_lists->mdiArea(); }
    QMenu* settingsMenu() const { return m_settingsMenu; }
    QMenu* windowMenu() const { return m_lists->windowMenu(); }
    QAction* settingsAction(Command id) const { return m_settingsActions.value(id); }
    QLabel* statusPane() const { return m_status; }
    // "ログイン中 <address>" or "未ログイン", at the right of the status line.
    QLabel* loginStatePane() const { return m_loginState; }
    ConnectionSupervisor& connection() { return *m_connection; }
    voxmg::LivenessTicker& liveness() { return m_connection->liveness(); }
    QTimer& livenessTimer() { return m_connection->livenessTimer(); }
    QTimer& scheduleTimer() { return m_scheduleTimer; }
    void setErrorWindowCheck(std::function<bool()> check) {
        m_connection->setErrorWindowCheck(std::move(check));
    }

    // Commands of the command bar and of the settings menu.
    void onCommand(Command id);
    void onMenuCommand(Command id);
    void runMenuCommand(Command id) override { onMenuCommand(id); }
    void logout();
    void livenessTick() { m_connection->livenessTick(); }
    void scheduleTick();
    void reconnectFlow() { m_connection->reconnectFlow(); }
    // Exit confirmation; true when the program is to end.
    bool confirmExit();
    // Stops the work, saves settings and placements, deletes queued WAV files.
    void exitSequence();

    void updateSettingsMenu();
    void rebuildWindowMenu() { m_lists->rebuildWindowMenu(); }
    void refreshLoginState();
    // The current box folder name read back from the folder field.
    void refreshBoxFolderName();
    int openListCount() const { return m_lists->openListCount(); }
    std::vector<std::string>& pendingWavDeletions() { return m_pendingWav; }

    // FrameHost
    void setCommand(Command id, CommandHandler handler) override {
        m_commands.insert(id, std::move(handler));
    }
    AppContext& context() override { return m_context; }
    DeviceSession& session() override { return m_connection->session(); }
    voxmg::always::WorkerConnection workerConnection() const override {
        return m_connection->workerConnection();
    }
    std::uint64_t sessionGeneration() const override { return m_connection->generation(); }
    QWidget* frameWindow() override { return this; }
    void setFrameEnabled(bool enabled) override;
    void restartLiveness() override { m_connection->restartLiveness(); }
    void connectionLost() override { m_connection->connectionLost(); }
    void updateCommandStates() override;
    // The frame's smallest height: the lists' and that of a docked pane that is shown.
    void updateMinimumHeight() override;

    void afterCommand(std::function<void()> f) override;

    // PlayerHost
    FrameHost& frameHost() override { return *this; }
    void addBottomDock(QDockWidget* dock) override { addDockWidget(Qt::BottomDockWidgetArea, dock); }
    void onActiveListChanged(std::function<void()> changed) override;
    void refreshStatus() override;
    QString folderFieldText() const override;
    void setFolderText() override;
    void setBoxText(const QString& listTitle) override;
    void setListWindowFactory(ListWindowFactory factory) override { m_lists->setFactory(std::move(factory)); }
    void setListCountsSource(ListCountsSource source) override { m_counts = std::move(source); }
    void setListRefresher(ListRefresher refresher) override { m_lists->setRefresher(std::move(refresher)); }
    QWidget* activeList() const override { return m_lists->activeList(); }
    void setListNumber(QWidget* list, int n) override { m_lists->setListNumber(list, n); }
    void refreshAllLists() override { m_lists->refreshAll(); }
    void refreshActiveList() override;
    std::vector<std::u16string> listTitles() const override { return m_lists->listTitles(); }

    // ListWindowHost
    void setOpenListCount(int) override {}  // the area counts its windows itself
    void setListsOpenMaximized() override { m_lists->setOpenMaximized(); }
    bool openList(int n) override { return m_lists->openList(n); }
    void placeList(int n, const voxmg::Rect& rect, int showCmd) override {
        m_lists->placeList(n, rect, showCmd);
    }
    void closeAllLists() override { m_lists->closeAllLists(); }
    void activateList(int n) override { m_lists->activateList(n); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildSettingsMenu();
    bool commandEnabled(Command id) const;
    void runCommand(const std::function<void()>& body);
    int m_commandDepth = 0;  // commands running, one inside another's dialog counted too
    std::vector<std::function<void()>> m_afterCommand;
    void restartSchedule();
    void deletePendingWavFiles();

    AppContext& m_context;
    CommandBar* m_bar;
    ListWindowArea* m_lists;
    QLabel* m_status;
    QLabel* m_loginState;
    QMenu* m_settingsMenu;
    QMap<Command, QAction*> m_settingsActions;
    QTimer m_scheduleTimer;
    BoxFolderWatch m_folderWatch;
    ListCountsSource m_counts;
    QMap<Command, CommandHandler> m_commands;
    std::vector<std::string> m_pendingWav;
    bool m_closing = false;
    // The list that was active when the frame was disabled for a dialog: if the program lost
    // and regained the focus meanwhile, the disabled list area could not take it back.
    QPointer<QMdiSubWindow> m_activeBeforeDialog;
    // Last: it reaches the members above from its constructor on.
    std::unique_ptr<ConnectionSupervisor> m_connection;
};
