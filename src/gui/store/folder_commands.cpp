#include "gui/store/folder_commands.h"

#include <string>
#include <utility>

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

// The data root and box folder the document holds.
std::pair<std::u16string, std::u16string> boxFolderOf(const AppContext& context) {
    const auto& s = context.doc.settings();
    return {s.folder.str(), s.folderName.str()};
}

// After a folder dialog: when it ended with OK or the document's box folder changed, the
// field shows the document's folder, and the lists are closed when the field changed (they
// show the old folder) or `closeOnOk` asks for it. Otherwise the field is left as it was.
void afterFolderDialog(CMainFrame& frame, const std::pair<std::u16string, std::u16string>& before, bool ok,
                       bool closeOnOk) {
    if (!ok && boxFolderOf(frame.context()) == before) {
        return;
    }
    const QString field = frame.commandBar()->folderField()->fieldText();
    frame.setFolderText();
    if ((ok && closeOnOk) || frame.commandBar()->folderField()->fieldText() != field) {
        frame.closeAllLists();
        frame.setBoxText(QString());
    }
}

void folderDownloadCommand(CMainFrame& frame) {
    const auto before = boxFolderOf(frame.context());
    // The session is looked up when the listing is asked for: a reconnect may have replaced
    // it while the dialog was open.
    auto listings = [&frame] { return boxListingFrom(frame.session())(); };
    CFolderDwnDlg dialog(frame.context(), listings, programFolderOf(frame.context()), &frame);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (ok && frame.context().doc.loggedIn()) {
        frame.restartLiveness();
    }
    afterFolderDialog(frame, before, ok, true);
}

void folderChangeCommand(CMainFrame& frame) {
    const auto before = boxFolderOf(frame.context());
    CFolderChgDlg dialog(frame.context(), &frame);
    const bool ok = dialog.exec() == QDialog::Accepted;
    afterFolderDialog(frame, before, ok, false);
}

}  // namespace

void installFolderCommands(CMainFrame& frame) {
    frame.setCommand(Command::FolderDownload, {[&frame] { folderDownloadCommand(frame); }});
    frame.setCommand(Command::FolderChange, {[&frame] { folderChangeCommand(frame); }});
}
