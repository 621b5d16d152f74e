#include "gui/lists/delete_list_commands.h"

#include <QTableView>
#include <QWidget>
#include <memory>

#include "core/device/ftp_mng.h"
#include "core/lists/delete_operation.h"
#include "core/lists/voice_download.h"
#include "core/store/file_naming.h"
#include "gui/base/app_context.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/device_session.h"
#include "gui/base/frame_host.h"
#include "gui/base/prg_file_dwn_dlg.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/lists/del_kind_set_dlg.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/prg_delete_dlg.h"
#include "gui/lists/selected_rows.h"

namespace {

CListDispView* activeView(const FrameHost& frame) {
    return qobject_cast<CListDispView*>(frame.activeList());
}

void deleteSelected(FrameHost& frame, CListDispView& view) {
    AppContext& context = frame.context();
    std::vector<std::string> paths = selectedPaths(frame, view);
    if (paths.empty()) {
        return;
    }
    CDelKindSetDlg dialog(context, frame.frameWindow());
    const bool chosen = dialog.exec() == QDialog::Accepted;
    frame.refreshStatus();
    if (!chosen) {
        return;
    }
    const DataFolderGuard dataLock(context, frame.frameWindow());
    if (!dataLock) {
        return;
    }
    frame.setFrameEnabled(false);
    voxmg::delete_op::DeleteResult result;
    {
        // Also for a deletion on the PC alone (no client needed): the worker stays away.
        FtpLease ftp = frame.session().acquire();
        DeleteProgressDlg progress(context.flags, frame.frameWindow());
        progress.show();
        voxmg::delete_op::DeleteRequest request{std::move(paths), dialog.kind(), view.isResponseList()};
        request.interrupt = [&context] { return context.backupDue() && context.offerBackup(); };
        result = voxmg::delete_op::run(request, ftp.client(), context.flags, context.pump, &progress);
    }
    // The session ends before the error is shown: the worker's next box must not start on the
    // dead connection while the box is open, and tell the same fault a second time.
    if (result.connectionLost) {
        frame.connectionLost();
    }
    if (!result.interrupted) {
        showMessage(frame, result.summary);
    }
    frame.setFrameEnabled(true);
    // Other windows may list the same messages.
    frame.refreshAllLists();
    // Nothing stays selected: the row that moved into the deleted one's place (or a response
    // slot just emptied) must not be one Delete away from going too.
    view.table()->clearSelection();
}

void downloadVoiceOfSelected(FrameHost& frame, CListDispView& view) {
    AppContext& context = frame.context();
    std::vector<std::string> paths = selectedPaths(frame, view);
    const auto& folderName = context.doc.settings().folderName;
    if (paths.empty() || folderName.empty() || !context.doc.loggedIn()) {
        return;
    }
    if (!context.messages.askYesNo(
            frame.frameWindow(),
            QStringLiteral("%1にダウンロードします。\nよろしいですか？").arg(toQ(folderName.str())),
            QStringLiteral("ダウンロード確認画面"), UserMessages::Icon::Question)) {
        return;
    }
    const DataFolderGuard dataLock(context, frame.frameWindow());
    if (!dataLock) {
        return;
    }
    FtpLease ftp = frame.session().acquire();
    if (!ftp) {
        return;
    }
    frame.setFrameEnabled(false);
    voxmg::voice_download::FetchResult result;
    {
        CPrgFileDwnDlg progress(context.flags, frame.frameWindow());
        progress.setMessageCount(static_cast<int>(paths.size()));
        progress.show();
        ftp->setProgressSink(&progress);
        ftp->setDownloadSettings(voxmg::downloadSettingsOf(context.doc.settings()));  // as set now
        result = voxmg::voice_download::run(paths, *ftp.client(), context.flags, context.pump, &progress);
        ftp->setProgressSink(nullptr);
    }
    if (result.connectionLost) {
        frame.connectionLost();  // before the error box, as for the deletion
    }
    for (const auto& message : result.messages) {
        showMessage(frame, message);
    }
    frame.setFrameEnabled(true);
    if (result.refreshList) {
        frame.refreshAllLists();
    }
}

}  // namespace

void installDeleteCommands(FrameHost& frame) {
    frame.setCommand(Command::Delete, {[&frame] {
                                           if (CListDispView* view = activeView(frame)) {
                                               deleteSelected(frame, *view);
                                           }
                                       },
                                       [&frame] {
                                           CListDispView* view = activeView(frame);
                                           return view != nullptr && view->commandState().remove;
                                       }});
    frame.setCommand(Command::VoiceDownload, {[&frame] {
                                                  if (CListDispView* view = activeView(frame)) {
                                                      downloadVoiceOfSelected(frame, *view);
                                                  }
                                              },
                                              [&frame] {
                                                  CListDispView* view = activeView(frame);
                                                  return frame.context().doc.loggedIn() && view != nullptr &&
                                                         view->hasUndownloaded();
                                              }});
}
