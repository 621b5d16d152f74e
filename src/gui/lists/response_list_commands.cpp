#include "gui/lists/response_list_commands.h"

#include <QFileInfo>
#include <QWidget>
#include <optional>

#include "core/audio/encoding_engine.h"
#include "core/base/paths.h"
#include "core/device/ftp_mng.h"
#include "core/lists/list_boxes.h"
#include "core/lists/response_import.h"
#include "core/lists/response_upload.h"
#include "gui/base/app_context.h"
#include "gui/base/choosers.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/device_session.h"
#include "gui/base/frame_host.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/prg_add_msg_dlg.h"
#include "gui/lists/prg_ul_msg_dlg.h"
#include "gui/lists/selected_rows.h"

namespace {

CListDispView* activeView(const FrameHost& frame) {
    return qobject_cast<CListDispView*>(frame.activeList());
}

// The file to import, asked for until the user takes one that is not on a network drive or
// agrees to it; empty when the user cancelled.
QString chooseSource(AppContext& context, QWidget* parent) {
    const QString start = toQ(context.doc.settings().sysAddFolder.str());
    // Matching ignores case, so "GREETING.WAV" is offered as well.
    const QString filter = QStringLiteral("wavﾌｧｲﾙ(*.wav);;wmaﾌｧｲﾙ(*.wma)");
    for (;;) {
        const QString file =
            context.choosers.chooseOpenFile(parent, QStringLiteral("ファイルを開く"), start, filter);
        if (file.isEmpty() || confirmNetworkFile(context.messages, parent, file)) {
            return file;
        }
    }
}

// The slot of the first selected row, once the user agreed to replace the message in it; 0
// when there is none to import into.
int slotToImportInto(AppContext& context, QWidget* parent, CListDispView& view) {
    std::string oldPath;
    const int record = view.firstSelectedFile(&oldPath);
    if (record < 0) {
        context.messages.error(parent, QStringLiteral("選択されていません。"));
        return 0;
    }
    // The response list keeps its slot order: record n is slot n + 1.
    const int slot = record + 1;
    if (!oldPath.empty() &&
        !context.messages.askYesNo(
            parent,
            QStringLiteral("メッセージ%1は既に存在します。\n上書きしますか？").arg(slot, 3, 10, QChar('0')),
            QStringLiteral("取り込みの確認"), UserMessages::Icon::Warning)) {
        return 0;
    }
    return slot;
}

// The import of the user's file into `slot`, checked before anything is locked; none when the
// user cancelled or the file was refused (and the user told).
std::optional<voxmg::response_import::ImportRequest> importRequestFor(FrameHost& frame, CListDispView& view,
                                                                      int slot) {
    AppContext& context = frame.context();
    QWidget* parent = frame.frameWindow();
    const QString source = chooseSource(context, parent);
    if (source.isEmpty()) {
        return std::nullopt;
    }
    if (!QFileInfo(source).isReadable()) {
        context.messages.show(parent,
                              QStringLiteral("ファイルが読み込めません。\n\n"
                                             "他のアプリケーションで使用していないか、確認して下さい。"),
                              QStringLiteral("オープンエラー"), UserMessages::Icon::Warning);
        return std::nullopt;
    }
    const auto& settings = context.doc.settings();
    voxmg::response_import::ImportRequest request;
    request.responseFolder = voxmg::list_boxes::responseFolder(view.boxFolder());
    request.slot = slot;
    request.source = source.toStdString();
    request.replace = true;  // asked already
    request.gains = {settings.levelWavOr, settings.levelWmaOr};
    if (auto refusal = voxmg::response_import::precheck(request)) {
        showMessage(frame, refusal->summary);
        return std::nullopt;
    }
    return request;
}

voxmg::response_import::ImportResult importWithProgress(
    AppContext& context, QWidget* parent, const voxmg::response_import::ImportRequest& request) {
    CPrgAddMsgDlg progress(context.flags, parent);
    progress.show();
    // Let the dialog paint before the copy holds the thread.
    for (int i = 0; i < 100; ++i) {
        voxmg::pumpOnce(context.pump);
    }
    // The conversion makes its own work file beside the settings file, in the settings folder.
    voxmg::audio::EncodingEngine engine(
        voxmg::paths::withTrailingSeparator(voxmg::paths::parentOf(context.doc.settingsPath())));
    return voxmg::response_import::run(request, engine, {context.flags, context.pump, &progress});
}

void importIntoSlot(FrameHost& frame, CListDispView& view) {
    AppContext& context = frame.context();
    QWidget* parent = frame.frameWindow();
    const int slot = slotToImportInto(context, parent, view);
    if (slot == 0) {
        return;
    }
    const auto request = importRequestFor(frame, view, slot);
    if (!request) {
        return;
    }
    const DataFolderGuard dataLock(context, parent);
    if (!dataLock) {
        return;
    }
    frame.setFrameEnabled(false);
    const voxmg::response_import::ImportResult result = importWithProgress(context, parent, *request);
    parent->activateWindow();
    if (!result.summary.text.empty()) {
        showMessage(frame, result.summary);
    }
    frame.setFrameEnabled(true);
    frame.refreshAllLists();
    frame.refreshStatus();
}

void uploadSelected(FrameHost& frame, CListDispView& view) {
    AppContext& context = frame.context();
    QWidget* parent = frame.frameWindow();
    if (!context.messages.askYesNo(parent, QStringLiteral("アップロードを開始します。\nよろしいですか？"),
                                   QStringLiteral("アップロードの確認"), UserMessages::Icon::Question)) {
        return;
    }
    std::vector<std::string> paths = selectedPaths(frame, view);
    if (paths.empty()) {
        return;
    }
    const DataFolderGuard dataLock(context, parent);
    if (!dataLock) {
        return;
    }
    FtpLease ftp = frame.session().acquire();
    if (!ftp) {
        return;
    }
    frame.setFrameEnabled(false);
    voxmg::response_upload::UploadResult result;
    {
        CPrgULMsgDlg progress(context.flags, parent);
        progress.show();
        voxmg::response_upload::UploadRequest request{std::move(paths)};
        request.interrupt = [&context] { return context.backupDue() && context.offerBackup(); };
        result = voxmg::response_upload::run(request, *ftp.client(), context.flags, context.pump, &progress);
    }
    if (result.connectionLost) {
        frame.connectionLost();  // before the error box: the worker must not start on it meanwhile
    }
    if (!result.summary.text.empty()) {
        showMessage(frame, result.summary);
    }
    if (result.connectionLost) {
        frame.setFrameEnabled(true);
        return;
    }
    frame.restartLiveness();
    frame.setFrameEnabled(true);
    frame.refreshAllLists();
}

}  // namespace

void installResponseCommands(FrameHost& frame) {
    frame.setCommand(Command::AddResponse, {[&frame] {
                                                if (CListDispView* view = activeView(frame)) {
                                                    importIntoSlot(frame, *view);
                                                }
                                            },
                                            [&frame] {
                                                CListDispView* view = activeView(frame);
                                                return view != nullptr && view->commandState().add;
                                            }});
    frame.setCommand(Command::Upload, {[&frame] {
                                           if (CListDispView* view = activeView(frame)) {
                                               uploadSelected(frame, *view);
                                           }
                                       },
                                       [&frame] {
                                           CListDispView* view = activeView(frame);
                                           return frame.context().doc.loggedIn() && view != nullptr &&
                                                  view->commandState().upload;
                                       }});
}
