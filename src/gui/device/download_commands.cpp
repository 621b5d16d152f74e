#include "gui/device/download_commands.h"

#include <QDialog>
#include <QWidget>

#include "core/app/box_rows.h"
#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"
#include "gui/device/down_kind_set_dlg.h"
#include "gui/device/download_runner.h"
#include "gui/device/sel_auto_del_dlg.h"
#include "gui/device/sel_down_dlg.h"

namespace {

bool canDownload(FrameHost& frame) {
    const auto& doc = frame.context().doc;
    return doc.loggedIn() && voxmg::box_rows::isBoxFolder(doc.boxFolderPath());
}

// The frame takes no input while a download dialog is up; afterwards the lists show what
// the download brought.
template <typename Dialog>
void downloadCommand(FrameHost& frame, DownloadRunner& downloads) {
    frame.setFrameEnabled(false);
    int result = QDialog::Rejected;
    {
        Dialog dialog(frame.context(), downloads, frame.frameWindow());
        result = dialog.exec();
    }
    frame.setFrameEnabled(true);
    frame.frameWindow()->activateWindow();
    if (result == QDialog::Accepted) {
        frame.refreshAllLists();
        if (frame.context().doc.loggedIn()) {
            frame.restartLiveness();
        }
    }
}

}  // namespace

void installDownloadCommands(FrameHost& frame, DownloadRunner& downloads) {
    frame.setCommand(Command::BulkDownload,
                     {[&frame, &downloads] { downloadCommand<CDownKindSetDlg>(frame, downloads); },
                      [&frame] { return canDownload(frame); }});
    frame.setCommand(Command::SelectedDownload,
                     {[&frame, &downloads] { downloadCommand<CSelDownDlg>(frame, downloads); },
                      [&frame] { return canDownload(frame); }});
    frame.setCommand(Command::AutoDeleteBoxes,
                     {[&frame] {
                          CSelAutoDelDlg dialog(frame.context(), frame.frameWindow());
                          dialog.exec();
                      },
                      [&frame] { return !frame.context().doc.boxFolderName().empty(); }});
}
