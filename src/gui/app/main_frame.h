#pragma once

#include <QMainWindow>
#include <QMap>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "core/app/liveness.h"
#include "core/app/network_folder.h"
#include "gui/app/box_folder_watch.h"
#include "gui/base/app_context.h"
#include "gui/base/commands.h"
#include "gui/base/device_session.h"
#include "gui/base/frame_host.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class CCommandBar;

// The program's MDI frame: command bar, settings and window menus, status line, the
// connection to the main unit with its liveness timer, and the exit sequence. The lists,
// folders and downloads plug their commands in through FrameHost.
class CMainFrame : public QMainWindow, public FrameHost {
    Q_OBJECT
public:
    CMainFrame(AppContext& context, DeviceSessionFactory sessions, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Creation: the start-up folder, the data root folder on a network file system, the two
    // fields and the saved frame placement. Returns whether list windows may be restored.
    bool initialise(const voxmg::NetworkFolderProbe& network);

    CCommandBar* commandBar() const { return m_bar; }
    QMdiArea* mdiArea() const { return m_mdi; }
    QMenu* settingsMenu() const { return m_settingsMenu; }
    QMenu* windowMenu() const { return m_windowMenu; }
    QAction* settingsAction(Command id) const { return m_settingsActions.value(id); }
    QLabel* statusPane() const { return m_status; }
    // "ログイン中 <address>" or "未ログイン", at the right of the status line.
    QLabel* loginStatePane() const { return m_loginState; }
    voxmg::LivenessTicker& liveness() { return m_liveness; }
    QTimer& livenessTimer() { return m_livenessTimer; }
    QTimer& scheduleTimer() { return m_scheduleTimer; }
    // Whether a window titled "エラー" is open; by default the application's top-level widgets.
    void setErrorWindowCheck(std::function<bool()> check) { m_errorWindowOpen = std::move(check); }

    // Commands of the command bar and of the settings menu.
    void onCommand(Command id);
    void onMenuCommand(Command id);
    void runMenuCommand(Command id) override { onMenuCommand(id); }
    void logout();
    void livenessTick();
    void scheduleTick();
    void reconnectFlow();
    // Exit confirmation; true when the program is to end.
    bool confirmExit();
    // Stops the work, saves settings and placements, deletes queued WAV files.
    void exitSequence();

    void updateSettingsMenu();
    void rebuildWindowMenu();
    void refreshLoginState();
    // The current box folder name read back from the folder field.
    void refreshBoxFolderName();
    int openListCount() const;
    std::vector<std::string>& pendingWavDeletions() { return m_pendingWav; }

    // FrameHost
    void setCommand(Command id, CommandHandler handler) override {
        m_commands.insert(id, std::move(handler));
    }
    AppContext& context() override { return m_context; }
    DeviceSession& session() override { return *m_session; }
    QWidget* frameWindow() override { return this; }
    void setFrameEnabled(bool enabled) override;
    void restartLiveness() override;
    void connectionLost() override;
    void updateCommandStates() override;
    void refreshStatus() override;
    QString folderFieldText() const override;
    void setFolderText() override;
    void setBoxText(const QString& listTitle) override;
    void setListWindowFactory(ListWindowFactory factory) override { m_listFactory = std::move(factory); }
    void setListCountsSource(ListCountsSource source) override { m_counts = std::move(source); }
    void setListRefresher(ListRefresher refresher) override { m_refreshList = std::move(refresher); }
    QWidget* activeList() const override;
    void setListNumber(QWidget* list, int n) override;
    void refreshAllLists() override;
    void refreshActiveList() override;
    std::vector<std::u16string> listTitles() const override;

    // ListWindowHost
    void setOpenListCount(int count) override { m_listCount = count; }
    void setListsOpenMaximized() override { m_listsMaximized = true; }
    bool openList(int n) override;
    void placeList(int n, const voxmg::Rect& rect, int showCmd) override;
    void closeAllLists() override;
    void activateList(int n) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    QAction* addSettingsItem(Command id, const QString& text, bool checkable = false);
    bool commandEnabled(Command id) const;
    void runCommand(const std::function<void()>& body);
    void restartSchedule();
    void deletePendingWavFiles();
    void loginCommand();
    void arrange(Command id);
    QMdiSubWindow* listWindow(int n) const;
    std::unique_ptr<DeviceSession> makeSession();

    AppContext& m_context;
    DeviceSessionFactory m_sessions;
    std::unique_ptr<DeviceSession> m_session;
    CCommandBar* m_bar;
    QMdiArea* m_mdi;
    QLabel* m_status;
    QLabel* m_loginState;
    QMenu* m_settingsMenu;
    QMenu* m_windowMenu;
    QMap<Command, QAction*> m_settingsActions;
    QTimer m_livenessTimer;
    QTimer m_scheduleTimer;
    BoxFolderWatch m_folderWatch;
    voxmg::LivenessTicker m_liveness;
    std::function<bool()> m_errorWindowOpen;
    ListWindowFactory m_listFactory;
    ListCountsSource m_counts;
    ListRefresher m_refreshList;
    QMap<Command, CommandHandler> m_commands;
    std::vector<std::string> m_pendingWav;
    int m_listCount = 0;
    bool m_listsMaximized = false;
    bool m_closing = false;
};
