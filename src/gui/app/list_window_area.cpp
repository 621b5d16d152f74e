#include "gui/app/list_window_area.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <algorithm>

#include "core/app/frame_texts.h"
#include "gui/base/qt_text.h"

namespace {

constexpr char kListNumber[] = "voxmgListNumber";

voxmg::Rect toRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
QRect fromRect(const voxmg::Rect& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

}  // namespace

ListWindowArea::ListWindowArea(QWidget* frame, PaneItem pane)
    : QObject(frame), m_mdi(new QMdiArea(frame)), m_windowMenu(new QMenu(frame)), m_pane(std::move(pane)) {
    connect(m_windowMenu, &QMenu::aboutToShow, this, &ListWindowArea::rebuildWindowMenu);
}

void ListWindowArea::rebuildWindowMenu() {
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
    if (m_pane.available && m_pane.available()) {
        m_windowMenu->addSeparator();
        QAction* action = m_windowMenu->addAction(QStringLiteral("内蔵プレーヤー"));
        action->setData(static_cast<int>(Command::PlayerPane));
        action->setCheckable(true);
        action->setChecked(m_pane.checked && m_pane.checked());
        connect(action, &QAction::triggered, this, [this] { m_pane.toggle(); });
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

QWidget* ListWindowArea::activeList() const {
    QMdiSubWindow* window = m_mdi->activeSubWindow();
    return window != nullptr ? window->widget() : nullptr;
}

int ListWindowArea::openListCount() const {
    return static_cast<int>(m_mdi->subWindowList().size());
}

void ListWindowArea::refreshAll() {
    if (!m_refresh) {
        return;
    }
    for (QMdiSubWindow* window : m_mdi->subWindowList()) {
        m_refresh(window->widget());
    }
}

void ListWindowArea::refreshActive() {
    if (QWidget* list = activeList(); list != nullptr && m_refresh) {
        m_refresh(list);
    }
}

std::vector<std::u16string> ListWindowArea::listTitles() const {
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

std::vector<voxmg::ListPlacement> ListWindowArea::placements() const {
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
    return lists;
}

QMdiSubWindow* ListWindowArea::listWindow(int n) const {
    for (QMdiSubWindow* window : m_mdi->subWindowList()) {
        if (window->property(kListNumber).toInt() == n) {
            return window;
        }
    }
    return nullptr;
}

bool ListWindowArea::openList(int n) {
    QWidget* view = m_factory ? m_factory(n) : nullptr;
    if (view == nullptr) {
        return false;
    }
    QMdiSubWindow* window = m_mdi->addSubWindow(view);
    window->setProperty(kListNumber, n);
    if (m_maximized) {
        window->showMaximized();
    } else {
        window->show();
    }
    return true;
}

void ListWindowArea::placeList(int n, const voxmg::Rect& rect, int showCmd) {
    QMdiSubWindow* window = listWindow(n);
    if (window == nullptr || rect.left == voxmg::kPlacementUnset) {
        return;
    }
    window->setGeometry(fromRect(rect));
    if (showCmd == voxmg::kShowMinimized) {
        window->showMinimized();
    }
}

void ListWindowArea::closeAllLists() {
    m_mdi->closeAllSubWindows();
    for (QMdiSubWindow* window : m_mdi->subWindowList()) {
        m_mdi->removeSubWindow(window);
        window->deleteLater();
    }
}

void ListWindowArea::setListNumber(QWidget* view, int n) {
    for (QMdiSubWindow* window : m_mdi->subWindowList()) {
        if (window->widget() == view) {
            window->setProperty(kListNumber, n);
        }
    }
}

void ListWindowArea::activateList(int n) {
    if (QMdiSubWindow* window = listWindow(n)) {
        m_mdi->setActiveSubWindow(window);
    }
}

void ListWindowArea::arrange(Command id) {
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
