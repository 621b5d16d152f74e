#include "gui/lists/list_commands.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "gui/app/command_bar.h"
#include "gui/app/main_frame.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_windows.h"

namespace {

CListDispView* activeList(const CMainFrame& frame) {
    QMdiSubWindow* window = frame.mdiArea()->activeSubWindow();
    return window != nullptr ? qobject_cast<CListDispView*>(window->widget()) : nullptr;
}

}  // namespace

void installListCommands(CMainFrame& frame, CListWindows& lists) {
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

    QObject::connect(&lists, &CListWindows::created, &frame, [&frame](CListDispView* view) {
        view->setFrameEnabler([&frame](bool on) { frame.setFrameEnabled(on); });
        QObject::connect(view, &CListDispView::countsChanged, &frame, [&frame, view] {
            if (activeList(frame) == view) {
                frame.refreshStatus();
            }
        });
        QObject::connect(view, &CListDispView::commandStateChanged, &frame, &CMainFrame::updateCommandStates);
    });
    QObject::connect(&lists, &CListWindows::renumbered, &frame,
                     [&frame](CListDispView* view, int n) { frame.setListNumber(view, n); });
    QObject::connect(&lists, &CListWindows::closed, &frame, [&frame] {
        frame.refreshStatus();
        frame.updateCommandStates();
    });

    frame.setCommand(Command::OpenList,
                     {[&frame, &lists] {
                          const int slot = lists.runOpenDialog(&frame);
                          if (slot == 0) {
                              return;
                          }
                          frame.setListsOpenMaximized();
                          if (frame.openList(slot)) {
                              frame.setBoxText(lists.view(slot)->listTitle());
                          }
                      },
                      [&frame] { return frame.commandBar()->folderField()->fieldText().size() > 1; }});
    frame.setCommand(Command::ShowAll, {[&frame] {
                                            if (CListDispView* view = activeList(frame)) {
                                                view->showAll();
                                            }
                                        },
                                        [&frame] { return activeList(frame) != nullptr; }});
    frame.setCommand(Command::ShowNotDownloaded, {[&frame] {
                                                      if (CListDispView* view = activeList(frame)) {
                                                          view->showNotDownloaded();
                                                      }
                                                  },
                                                  [&frame] {
                                                      CListDispView* view = activeList(frame);
                                                      return view != nullptr && view->hasUndownloaded();
                                                  }});
}
