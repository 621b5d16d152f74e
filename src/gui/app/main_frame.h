#pragma once

#include "gui/base/list_counts.h"

#include <QMainWindow>
#include <QMap>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "core/app/liveness.h"
#include "core/app/network_folder.h"
#include "core/app/startup.h"
#include "gui/base/app_context.h"
#include "gui/base/commands.h"
#include "gui/base/device_session.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class CCommandBar;
class DownloadRunner;

// The program's MDI frame: command bar, settings and window menus, status line, the
// connection to the main unit with its liveness timer, and the exit sequence.
class CMainFrame : public QMainWindow, public voxmg::ListWindowHost {
    Q_OBJECT
public:
    // Creates list window n (a widget for the MDI area), null when its list cannot be opened.
    using ListWindowFactory = std::function<QWidget*(int n)>;

    using ListCounts = ::ListCounts;
    using ListCountsSource = std::function<ListCounts(QWidget* activeList)>;

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
    DeviceSession& session() { return *m_session; }
    voxmg::LivenessTicker& liveness() { return m_liveness; }
    QTimer& livenessTimer() { return m_livenessTimer; }
    QTimer& scheduleTimer() { return m_scheduleTimer; }
    AppContext& context() { return m_context; }

    void setListWindowFactory(ListWindowFactory factory) { m_listFactory = std::move(factory); }
    void setDownloadRunner(DownloadRunner* runner) { m_downloads = runner; }
    void setListCountsSource(ListCountsSource source) { m_counts = std::move(source); }
    // Reads one list window again from disk, keeping its sort, selection and scroll position.
    void setListRefresher(std::function<void(QWidget* list)> refresher) {
        m_refreshList = std::move(refresher);
    }
    // Every open list window rebuilds from disk (after a download changed the box folders).
    void refreshAllLists();

    // A command that another feature brings: a command bar button or a settings menu item.
    // Until one is set its button or item stays disabled; once set, it runs inside the
    // frame's common command steps (schedule timer, backup hand-off).
    struct CommandHandler {
        std::function<void()> run;
        std::function<bool()> enabled = [] { return true; };
    };
    void setCommand(Command id, CommandHandler command) { m_commands.insert(id, std::move(command)); }
    // Whether a window titled "エラー" is open; by default the application's top-level widgets.
    void setErrorWindowCheck(std::function<bool()> check) { m_errorWindowOpen = std::move(check); }

    // Commands of the command bar and of the settings menu.
    void onCommand(Command id);
    void onMenuCommand(Command id);
    void logout();
    void livenessTick();
    void scheduleTick();
    void reconnectFlow();
    // Exit confirmation; true when the program is to end.
    bool confirmExit();
    // Stops the work, saves settings and placements, deletes queued WAV files.
    void exitSequence();

    void updateCommandStates();
    void updateSettingsMenu();
    void rebuildWindowMenu();
    void refreshStatus();
    void refreshLoginState();
    void setBoxText(const QString& listTitle);
    // The folder field from the document's data root and box folder.
    void setFolderText();
    // The current box folder name read back from the folder field.
    void refreshBoxFolderName();
    // Logged in, or an operation talked to the main unit: count idle ticks from zero again.
    void restartLiveness();
    void setFrameEnabled(bool enabled);
    int openListCount() const;
    std::vector<std::string>& pendingWavDeletions() { return m_pendingWav; }

    // ListWindowHost
    void setOpenListCount(int count) override { m_listCount = count; }
    void setListsOpenMaximized() override { m_listsMaximized = true; }
    bool openList(int n) override;
    void placeList(int n, const voxmg::Rect& rect, int showCmd) override;
    void closeAllLists() override;
    void activateList(int n) override;
    // A list window moved to slot n after an earlier list closed.
    void setListNumber(QWidget* view, int n);

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
    void downloadCommand(Command id);
    void autoDeleteCommand();
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
    QTimer m_stateTimer;
    voxmg::LivenessTicker m_liveness;
    std::function<bool()> m_errorWindowOpen;
    ListWindowFactory m_listFactory;
    ListCountsSource m_counts;
    std::function<void(QWidget*)> m_refreshList;
    QMap<Command, CommandHandler> m_commands;
    DownloadRunner* m_downloads = nullptr;
    std::vector<std::string> m_pendingWav;
    int m_listCount = 0;
    bool m_listsMaximized = false;
    bool m_closing = false;
};
