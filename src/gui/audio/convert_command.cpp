#include "gui/audio/convert_command.h"

#include <QDesktopServices>
#include <QUrl>
#include <algorithm>
#include <memory>

#include "core/lists/convert_operation.h"
#include "core/lists/play_operation.h"
#include "gui/audio/conv_kind_set_dlg.h"
#include "gui/audio/wav_conv_dlg.h"
#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"
#include "gui/base/user_messages.h"
#include "gui/lists/list_disp_view.h"

bool DesktopWavOpener::open(const QString& wavPath) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(wavPath));
}

namespace {

CListDispView* activeView(const FrameHost& frame) {
    return qobject_cast<CListDispView*>(frame.activeList());
}

void showText(AppContext& context, QWidget* parent, const voxmg::UserText& text) {
    context.messages.show(parent, QString::fromStdString(text.text), QString::fromStdString(text.caption),
                          text.error ? UserMessages::Icon::Warning : UserMessages::Icon::Information);
}

// The first step every operation on selected rows shares: nothing to work on is said so.
bool hasSelection(FrameHost& frame, const CListDispView& view) {
    const int first = view.firstSelectedFile();
    if (first >= 0) {
        return true;
    }
    frame.context().messages.error(frame.frameWindow(), first == -2
                                                            ? QStringLiteral("自動更新中は操作不可です。")
                                                            : QStringLiteral("選択されていません。"));
    return false;
}

// Keeps the main window disabled for the life of an operation.
class FrameDisabled {
public:
    explicit FrameDisabled(FrameHost& frame) : m_frame(frame) { m_frame.setFrameEnabled(false); }
    ~FrameDisabled() { m_frame.setFrameEnabled(true); }
    FrameDisabled(const FrameDisabled&) = delete;
    FrameDisabled& operator=(const FrameDisabled&) = delete;

private:
    FrameHost& m_frame;
};

}  // namespace

void convertSelected(FrameHost& frame, CListDispView& view, const ConvertCommandDeps& deps) {
    if (!hasSelection(frame, view)) {
        return;
    }
    AppContext& context = frame.context();
    QWidget* window = frame.frameWindow();
    CConvKindSetDlg kind(context, window);
    kind.exec();
    if (kind.outcome() == CConvKindSetDlg::Outcome::Cancel) {
        return;
    }

    voxmg::ConvertRequest request;
    request.boxList = !view.isResponseList();
    request.gainSetting = context.doc.settings().levelOrWav;
    if (kind.outcome() == CConvKindSetDlg::Outcome::IntoFolder) {
        request.destination = kind.folder().toStdString();
    }
    for (int record : view.selectedRecords()) {
        const voxmg::FILESTS_INFO& r = view.rows().record(record);
        request.rows.push_back({r.pathUtf8(), r.state});
    }
    if (auto refusal = voxmg::convertRefusal(request, deps.freeSpace)) {
        showText(context, window, *refusal);
        return;
    }

    std::vector<voxmg::UserText> summary;
    {
        FrameDisabled disabled(frame);
        CWavConvDlg progress(context.flags, static_cast<int>(request.rows.size()), window);
        progress.show();
        voxmg::ConvertEnv env{
            deps.engine, context.flags,  context.pump,
            &progress,   deps.freeSpace, [&context] { return context.backupDue() && context.offerBackup(); }};
        const voxmg::ConvertResult result = voxmg::convertMessages(request, env);
        progress.hide();
        summary = voxmg::convertSummary(result);
    }
    for (const auto& text : summary) {
        showText(context, window, text);
    }
    window->activateWindow();
    view.refresh(false, true, true);
}

void playSelected(FrameHost& frame, CListDispView& view, const ConvertCommandDeps& deps) {
    std::string path;
    if (!hasSelection(frame, view) || view.firstSelectedFile(&path) < 0 || path.empty()) {
        return;
    }
    AppContext& context = frame.context();
    QWidget* window = frame.frameWindow();
    const voxmg::Settings& settings = context.doc.settings();

    std::unique_ptr<FrameDisabled> disabled;
    std::unique_ptr<CWavConvDlg> progress;
    voxmg::ConvertEnv env{deps.engine, context.flags, context.pump, nullptr, deps.freeSpace, {}};
    voxmg::PlayHooks hooks;
    hooks.beforeConversion = [&] {
        disabled = std::make_unique<FrameDisabled>(frame);
        progress = std::make_unique<CWavConvDlg>(context.flags, 1, window);
        progress->show();
        // Let the dialog paint before the conversion takes the thread.
        for (int i = 0; i < 20; ++i) {
            voxmg::pumpOnce(context.pump);
        }
        env.progress = progress.get();
    };
    hooks.open = [&](const std::string& wav) {
        if (progress) {
            progress->hide();
        }
        return deps.opener.open(QString::fromStdString(wav));
    };
    const voxmg::PlayOutcome outcome =
        voxmg::playMessage({path, !view.isResponseList(), settings.levelOrWav}, env, hooks);
    progress.reset();
    disabled.reset();

    if (auto text = voxmg::playMessageText(outcome.result)) {
        showText(context, window, *text);
    }
    if (outcome.result != voxmg::PlayResult::Played) {
        return;
    }
    if (settings.convDel) {
        auto& queue = deps.wavFilesToRemove;
        if (std::find(queue.begin(), queue.end(), outcome.wavPath) == queue.end()) {
            queue.push_back(outcome.wavPath);
        }
    }
    // The row shows "再生済" now; sort and selection stay as they were.
    view.refresh(false, true, true);
}

void installConvertCommands(FrameHost& frame, ConvertCommandDeps deps) {
    frame.setCommand(Command::Convert, {[&frame, deps] {
                                            if (CListDispView* view = activeView(frame)) {
                                                convertSelected(frame, *view, deps);
                                            }
                                        },
                                        [&frame] {
                                            CListDispView* view = activeView(frame);
                                            return view != nullptr && view->commandState().convert;
                                        }});
    frame.setCommand(Command::Play, {[&frame, deps] {
                                         if (CListDispView* view = activeView(frame)) {
                                             if (!deps.playInPane || !deps.playInPane(*view)) {
                                                 playSelected(frame, *view, deps);
                                             }
                                         }
                                     },
                                     [&frame] {
                                         CListDispView* view = activeView(frame);
                                         return view != nullptr && view->commandState().play;
                                     }});
}
