#include "gui/store/folder_commands.h"

#include <string>
#include <utility>

#include "core/base/paths.h"
#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"
#include "gui/store/box_listing_source.h"
#include "gui/store/folder_chg_dlg.h"
#include "gui/store/folder_dwn_dlg.h"

namespace {

// The recycle area lies beside the settings file: the settings folder in use (the
// program's folder or the user's configuration folder) and the test's own folder under test.
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
void afterFolderDialog(FrameHost& frame, const std::pair<std::u16string, std::u16string>& before, bool ok,
                       bool closeOnOk) {
    if (!ok && boxFolderOf(frame.context()) == before) {
        return;
    }
    const QString field = frame.folderFieldText();
    frame.setFolderText();
    if ((ok && closeOnOk) || frame.folderFieldText() != field) {
        frame.closeAllLists();
        frame.setBoxText(QString());
    }
}

void folderDownloadCommand(FrameHost& frame) {
    const auto before = boxFolderOf(frame.context());
    // The session is looked up when the listing is asked for: a reconnect may have replaced
    // it while the dialog was open.
    auto listings = [&frame] { return boxListingFrom(frame.session())(); };
    CFolderDwnDlg dialog(frame.context(), listings, programFolderOf(frame.context()), frame.frameWindow());
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (ok && frame.context().doc.loggedIn()) {
        frame.restartLiveness();
    }
    afterFolderDialog(frame, before, ok, true);
}

void folderChangeCommand(FrameHost& frame) {
    const auto before = boxFolderOf(frame.context());
    CFolderChgDlg dialog(frame.context(), frame.frameWindow());
    const bool ok = dialog.exec() == QDialog::Accepted;
    afterFolderDialog(frame, before, ok, false);
}

}  // namespace

void installFolderCommands(FrameHost& frame) {
    frame.setCommand(Command::FolderDownload, {[&frame] { folderDownloadCommand(frame); }});
    frame.setCommand(Command::FolderChange, {[&frame] { folderChangeCommand(frame); }});
}
