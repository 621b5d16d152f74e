#include "gui/lists/list_commands.h"

#include <QWidget>

#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"
#include "gui/base/user_messages.h"
#include "gui/lists/delete_list_commands.h"
#include "gui/lists/info_edit_dlg.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_windows.h"
#include "gui/lists/move_copy_commands.h"
#include "gui/lists/response_list_commands.h"
#include "gui/lists/view_setting_commands.h"

namespace {

CListDispView* activeView(const FrameHost& frame) {
    return qobject_cast<CListDispView*>(frame.activeList());
}

// "録音情報を編集する...": the first selected message of the active list, in the dialog of the
// list's kind. An empty response slot has no file and opens nothing.
void editSelectedMessage(FrameHost& frame, CListDispView& view) {
    AppContext& context = frame.context();
    std::string path;
    const int first = view.firstSelectedFile(&path);
    if (first == -2) {
        context.messages.error(frame.frameWindow(), QStringLiteral("自動更新中は操作不可です。"));
        return;
    }
    if (first < 0) {
        context.messages.error(frame.frameWindow(), QStringLiteral("選択されていません。"));
        return;
    }
    if (path.empty()) {
        return;
    }
    bool written = false;
    if (view.isResponseList()) {
        CInfoEditDlgS dialog(context, path, frame.frameWindow());
        written = dialog.exec() == QDialog::Accepted;
    } else {
        CInfoEditDlg dialog(context, path, frame.frameWindow());
        written = dialog.exec() == QDialog::Accepted;
    }
    if (written) {
        // Other windows may show the same message.
        frame.refreshAllLists();
    }
}

// What the frame asks of list windows it does not know: making one, its counts, its refresh.
void installListWindowHooks(FrameHost& frame, ListWindows& lists) {
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
}

// A list window's news for the frame: its counts and command states, its number, its end.
void connectListWindows(FrameHost& frame, ListWindows& lists) {
    QWidget* window = frame.frameWindow();
    QObject::connect(&lists, &ListWindows::created, window, [&frame, window](CListDispView* view) {
        view->setFrameEnabler([&frame](bool on) { frame.setFrameEnabled(on); });
        QObject::connect(view, &CListDispView::countsChanged, window, [&frame, view] {
            if (activeView(frame) == view) {
                frame.refreshStatus();
            }
        });
        QObject::connect(view, &CListDispView::commandStateChanged, window,
                         [&frame] { frame.updateCommandStates(); });
        QObject::connect(view, &CListDispView::editRequested, window,
                         [&frame] { frame.runMenuCommand(Command::EditRecordingInfo); });
    });
    QObject::connect(&lists, &ListWindows::renumbered, window,
                     [&frame](CListDispView* view, int n) { frame.setListNumber(view, n); });
    QObject::connect(&lists, &ListWindows::closed, window, [&frame] {
        frame.refreshStatus();
        frame.updateCommandStates();
    });
}

}  // namespace

void installListCommands(FrameHost& frame, ListWindows& lists) {
    installListWindowHooks(frame, lists);
    connectListWindows(frame, lists);
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
    frame.setCommand(Command::EditRecordingInfo, {[&frame] {
                                                      if (CListDispView* view = activeView(frame)) {
                                                          editSelectedMessage(frame, *view);
                                                      }
                                                  },
                                                  [&frame] { return activeView(frame) != nullptr; }});
    installDeleteCommands(frame);
    installMoveCopyCommands(frame);
    installResponseCommands(frame);
    installViewSettingCommands(frame, lists);
}
