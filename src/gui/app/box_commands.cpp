#include "gui/app/box_commands.h"

#include <memory>

#include "core/app/box_rows.h"
#include "core/store/box_management.h"
#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"
#include "gui/base/user_messages.h"
#include "gui/exchange/import_set_dlg.h"
#include "gui/store/box_fld_name_chg_dlg.h"
#include "gui/store/box_name_chg_dlg.h"
#include "gui/store/make_box_fld_dlg.h"

namespace {

void done(FrameHost& frame, const QString& text, const QString& caption) {
    frame.context().messages.show(frame.frameWindow(), text, caption, UserMessages::Icon::Information);
}

// The current box folder has its "rusuroku" and "naisen" folders.
bool boxFolderReady(FrameHost& frame) {
    return !frame.context().doc.boxFolderName().empty() &&
           voxmg::box_rows::isBoxFolder(frame.context().doc.boxFolderPath());
}

bool hasBoxes(FrameHost& frame) {
    return !frame.context().doc.boxFolderName().empty() &&
           voxmg::boxes::hasBoxSubfolders(frame.context().doc.boxFolderPath());
}

}  // namespace

void installBoxCommands(FrameHost& frame) {
    auto ready = [&frame] { return boxFolderReady(frame); };
    frame.setCommand(Command::EditBoxNames, {[&frame] {
                                                 CBoxNameChgDlg dialog(frame.context(), frame.frameWindow());
                                                 if (dialog.exec() == QDialog::Accepted) {
                                                     done(frame,
                                                          QStringLiteral("ＢＯＸ名称の登録が完了しました。"),
                                                          QStringLiteral("登録完了"));
                                                     frame.refreshAllLists();
                                                 }
                                             },
                                             ready});
    // The kind chosen last is preset the next time, for as long as the program runs.
    auto kind = std::make_shared<voxmg::boxes::BoxKind>(voxmg::boxes::BoxKind::Answer);
    frame.setCommand(Command::CreateBoxFolder,
                     {[&frame, kind] {
                          CMakeBoxFldDlg dialog(frame.context(), *kind, frame.frameWindow());
                          if (dialog.exec() == QDialog::Accepted) {
                              done(frame, QStringLiteral("ボックスフォルダが作成完了しました。"),
                                   QStringLiteral("作成完了"));
                          }
                      },
                      ready});
    frame.setCommand(Command::RenameBoxFolder,
                     {[&frame] {
                          CBoxFldNameChgDlg dialog(frame.context(), frame.frameWindow());
                          if (dialog.exec() == QDialog::Accepted) {
                              done(frame, QStringLiteral("ボックスフォルダ名称の変更が完了しました。"),
                                   QStringLiteral("変更完了"));
                          }
                      },
                      [&frame] { return hasBoxes(frame); }});
    frame.setCommand(Command::ImportBoxNames,
                     {[&frame] {
                          if (frame.folderFieldText().isEmpty()) {
                              return;
                          }
                          CImportSetDlg dialog(frame.context(), frame.frameWindow());
                          if (dialog.exec() == QDialog::Accepted) {
                              done(frame, QStringLiteral("内線電話帳のインポートが正常に完了しました。"),
                                   QStringLiteral("インポート完了"));
                              frame.refreshAllLists();
                          }
                      },
                      ready});
}
