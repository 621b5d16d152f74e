#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "core/app/placement.h"
#include "gui/base/frame_host.h"

class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QWidget;

// The frame's list windows: up to four MDI windows, each numbered by its slot, the window menu
// (arrangements, the built-in player's item, one item per list) and the placements saved at
// exit and restored at start.
class ListWindowArea : public QObject {
    Q_OBJECT
public:
    // The player pane's window menu item, when the player is plugged in.
    struct PaneItem {
        std::function<bool()> available;
        std::function<bool()> checked;
        std::function<void()> toggle;
    };
    ListWindowArea(QWidget* frame, PaneItem pane);

    QMdiArea* mdiArea() const { return m_mdi; }
    QMenu* windowMenu() const { return m_windowMenu; }
    void rebuildWindowMenu();

    void setFactory(FrameHost::ListWindowFactory factory) { m_factory = std::move(factory); }
    void setRefresher(FrameHost::ListRefresher refresher) { m_refresh = std::move(refresher); }
    void setOpenMaximized() { m_maximized = true; }

    bool openList(int n);
    void placeList(int n, const voxmg::Rect& rect, int showCmd);
    void closeAllLists();
    void activateList(int n);
    void setListNumber(QWidget* list, int n);
    QWidget* activeList() const;
    int openListCount() const;
    // The titles of the open lists, the active one first, each once.
    std::vector<std::u16string> listTitles() const;
    // Every open list (or the active one) reads its files again.
    void refreshAll();
    void refreshActive();
    // Where each open list stands, the first opened first, as the settings file keeps them.
    std::vector<voxmg::ListPlacement> placements() const;

private:
    QMdiSubWindow* listWindow(int n) const;
    void arrange(Command id);

    QMdiArea* m_mdi;
    QMenu* m_windowMenu;
    PaneItem m_pane;
    FrameHost::ListWindowFactory m_factory;
    FrameHost::ListRefresher m_refresh;
    bool m_maximized = false;
};
