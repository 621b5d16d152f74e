#include "gui/lists/list_commands.h"

#include <QWidget>

#include "gui/base/frame_host.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_windows.h"

namespace {

CListDispView* activeView(const FrameHost& frame) {
    return qobject_cast<CListDispView*>(frame.activeList());
}

}  // namespace

void installListCommands(FrameHost& frame, CListWindows& lists) {
    frame.setListWindowFactory([&lists](int n) -> QWidget* { return lists.create(n); });
    frame.setListCountsSource([](QWidget* widget) {
        auto* view = qobject_cast<CListDispView*>(widget);
        return view != nullptr ? view->counts() : ListCounts{};
    });

    frame.setListRefresher([](QWidget* widget) {
        if (auto* view = qobject_cast<CListDispView*>(widget)) {
            view->refresh(false, true, true);
        }
    });

    QWidget* window = frame.frameWindow();
    QObject::connect(&lists, &CListWindows::created, window, [&frame, window](CListDispView* view) {
        view->setFrameEnabler([&frame](bool on) { frame.setFrameEnabled(on); });
        QObject::connect(view, &CListDispView::countsChanged, window, [&frame, view] {
            if (activeView(frame) == view) {
                frame.refreshStatus();
            }
        });
        QObject::connect(view, &CListDispView::commandStateChanged, window,
                         [&frame] { frame.updateCommandStates(); });
    });
    QObject::connect(&lists, &CListWindows::renumbered, window,
                     [&frame](CListDispView* view, int n) { frame.setListNumber(view, n); });
    QObject::connect(&lists, &CListWindows::closed, window, [&frame] {
        frame.refreshStatus();
        frame.updateCommandStates();
    });

    frame.setCommand(Command::OpenList, {[&frame, &lists] {
                                             const int slot = lists.runOpenDialog(frame.frameWindow());
                                             if (slot == 0) {
                                                 return;
                                             }
                                             frame.setListsOpenMaximized();
                                             if (frame.openList(slot)) {
                                                 frame.setBoxText(lists.view(slot)->listTitle());
                                             }
                                         },
                                         [&frame] { return frame.folderFieldText().size() > 1; }});
    frame.setCommand(Command::ShowAll, {[&frame] {
                                            if (CListDispView* view = activeView(frame)) {
                                                view->showAll();
                                            }
                                        },
                                        [&frame] { return activeView(frame) != nullptr; }});
    frame.setCommand(Command::ShowNotDownloaded, {[&frame] {
                                                      if (CListDispView* view = activeView(frame)) {
                                                          view->showNotDownloaded();
                                                      }
                                                  },
                                                  [&frame] {
                                                      CListDispView* view = activeView(frame);
                                                      return view != nullptr && view->hasUndownloaded();
                                                  }});
}
