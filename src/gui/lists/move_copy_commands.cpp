#include "gui/lists/move_copy_commands.h"

#include <QWidget>

#include "core/lists/move_copy.h"
#include "gui/base/app_context.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/frame_host.h"
#include "gui/base/owr_msg_dlg.h"
#include "gui/base/qt_text.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/msg_copy_dlg.h"
#include "gui/lists/prg_msg_copy_dlg.h"
#include "gui/lists/selected_rows.h"

namespace {

using voxmg::move_copy::Mode;

CListDispView* activeView(const FrameHost& frame) {
    return qobject_cast<CListDispView*>(frame.activeList());
}

void moveOrCopySelected(FrameHost& frame, CListDispView& view) {
    AppContext& context = frame.context();
    std::vector<std::string> paths = selectedPaths(frame, view);
    if (paths.empty()) {
        return;
    }
    CMsgCopyDlg dialog(context, frame.frameWindow());
    const bool chosen = dialog.choose();
    frame.refreshStatus();
    if (!chosen) {
        return;
    }
    const Mode mode = dialog.mode();
    const DataFolderGuard dataLock(context, frame.frameWindow());
    if (!dataLock) {
        return;
    }
    frame.setFrameEnabled(false);
    voxmg::move_copy::MoveCopyResult result;
    {
        CPrgMsgCopyDlg progress(context.flags, mode == Mode::Copy, frame.frameWindow());
        progress.show();
        voxmg::move_copy::MoveCopyRequest request{std::move(paths), context.doc.boxFolderPath(),
                                                  dialog.destinationBox(), mode};
        request.askOverwrite = [&progress, &frame](const std::u16string& text) {
            progress.hide();
            const auto answer = COwrMsgDlg::ask(toQ(text), frame.frameWindow());
            progress.show();
            return answer;
        };
        request.interrupt = [&context] { return context.backupDue() && context.offerBackup(); };
        result = voxmg::move_copy::run(request, context.flags, context.pump, &progress);
    }
    if (!result.cancelled && !result.interrupted) {
        showMessage(frame, result.summary);
    }
    frame.setFrameEnabled(true);
    if (mode == Mode::Move) {
        view.refresh(false, true, true);
    }
    frame.refreshStatus();
}

}  // namespace

void installMoveCopyCommands(FrameHost& frame) {
    frame.setCommand(Command::MoveCopy, {[&frame] {
                                             if (CListDispView* view = activeView(frame)) {
                                                 moveOrCopySelected(frame, *view);
                                             }
                                         },
                                         [&frame] {
                                             CListDispView* view = activeView(frame);
                                             return view != nullptr && view->commandState().moveCopy;
                                         }});
}
