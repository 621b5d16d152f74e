#include "gui/lists/view_setting_commands.h"

#include <QWidget>

#include "core/base/text.h"
#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/exchange/export_set_dlg.h"
#include "gui/lists/find_set_dlg.h"
#include "gui/lists/find_set_dlg_s.h"
#include "gui/lists/list_disp_select_dlg.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_model.h"
#include "gui/lists/list_windows.h"

namespace {

CListDispView* activeView(const FrameHost& frame) {
    return qobject_cast<CListDispView*>(frame.activeList());
}

// The filter dialog of the list's kind; on OK the list shows what passes the stored filter.
void runFilter(FrameHost& frame, CListDispView& view) {
    AppContext& context = frame.context();
    if (view.isResponseList()) {
        CFindSetDlgS dialog(context, frame.frameWindow());
        if (dialog.exec() == QDialog::Accepted) {
            view.applyFilter(context.doc.responseFilter());
        }
        return;
    }
    CFindSetDlg dialog(context, frame.frameWindow());
    if (dialog.exec() == QDialog::Accepted) {
        view.applyFilter(context.doc.boxFilter());
    }
}

void runColumns(FrameHost& frame, ListWindows& lists) {
    CListDispSelectDlg dialog(frame.context(), frame.frameWindow());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    for (CListDispView* view : lists.views()) {
        if (!view->isResponseList()) {
            view->refresh(true, false, true);
        }
    }
}

void runExport(FrameHost& frame, CListDispView& view) {
    AppContext& context = frame.context();
    voxmg::csv_export::ExportRequest source;
    source.columns = view.model()->columns();
    source.rows = &view.rows();
    source.dataRoot = voxmg::text::utf16FromUtf8(context.doc.dataRoot());
    view.holdRebuilds(true);
    CExportSetDlg dialog(context, std::move(source), frame.frameWindow());
    const bool done = dialog.exec() == QDialog::Accepted;
    view.holdRebuilds(false);
    if (done) {
        context.messages.show(frame.frameWindow(),
                              QStringLiteral("一覧表のエクスポートが正常に完了しました。"),
                              QStringLiteral("エクスポート完了"), UserMessages::Icon::Information);
    }
}

}  // namespace

void installViewSettingCommands(FrameHost& frame, ListWindows& lists) {
    frame.setCommand(Command::Filter, {[&frame] {
                                           if (CListDispView* view = activeView(frame)) {
                                               runFilter(frame, *view);
                                           }
                                       },
                                       [&frame] { return activeView(frame) != nullptr; }});
    frame.setCommand(Command::ListColumns, {[&frame, &lists] { runColumns(frame, lists); },
                                            [&frame, &lists] {
                                                const CListDispView* view = activeView(frame);
                                                return lists.openCount() > 0 &&
                                                       !(view != nullptr && view->isResponseList());
                                            }});
    frame.setCommand(Command::ExportList,
                     {[&frame] {
                          if (CListDispView* view = activeView(frame)) {
                              runExport(frame, *view);
                          }
                      },
                      [&frame, &lists] { return lists.openCount() > 0 && activeView(frame) != nullptr; }});
}
