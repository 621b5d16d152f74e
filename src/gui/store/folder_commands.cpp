#include "gui/store/folder_commands.h"

#include "core/base/paths.h"
#include "gui/app/command_bar.h"
#include "gui/app/main_frame.h"
#include "gui/store/box_listing_source.h"
#include "gui/store/folder_chg_dlg.h"
#include "gui/store/folder_dwn_dlg.h"

namespace {

// The recycle area lies beside the settings file, which is the program's folder in use
// and the test's own folder under test.
std::string programFolderOf(const AppContext& context) {
    return voxmg::paths::withTrailingSeparator(voxmg::paths::parentOf(context.doc.settingsPath()));
}

// Shows the document's box folder in the field; closes the lists when the folder changed or
// when `closeLists` says so.
void afterFolderDialog(CMainFrame& frame, const QString& before, bool closeLists) {
    frame.setFolderText();
    if (closeLists || frame.commandBar()->folderField()->fieldText() != before) {
        frame.closeAllLists();
        frame.setBoxText(QString());
    }
}

void folderDownloadCommand(CMainFrame& frame) {
    const QString before = frame.commandBar()->folderField()->fieldText();
    // The session is looked up when the listing is asked for: a reconnect may have replaced
    // it while the dialog was open.
    auto listings = [&frame] { return boxListingFrom(frame.session())(); };
    CFolderDwnDlg dialog(frame.context(), listings, programFolderOf(frame.context()), &frame);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (ok && frame.context().doc.loggedIn()) {
        frame.restartLiveness();
    }
    afterFolderDialog(frame, before, ok);
}

void folderChangeCommand(CMainFrame& frame) {
    const QString before = frame.commandBar()->folderField()->fieldText();
    CFolderChgDlg dialog(frame.context(), &frame);
    dialog.exec();
    afterFolderDialog(frame, before, false);
}

}  // namespace

void installFolderCommands(CMainFrame& frame) {
    frame.setCommand(1001, {[&frame] { folderDownloadCommand(frame); }});
    frame.setCommand(1008, {[&frame] { folderChangeCommand(frame); }});
}
