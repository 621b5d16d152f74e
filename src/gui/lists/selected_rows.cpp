#include "gui/lists/selected_rows.h"

#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/lists/list_disp_view.h"

std::vector<std::string> selectedPaths(FrameHost& frame, CListDispView& view) {
    const int first = view.firstSelectedFile();
    if (first < 0) {
        // A response list always has its 300 slots, so it is never in the middle of a build
        // for the user.
        const bool building = first == -2 && !view.isResponseList();
        frame.context().messages.error(frame.frameWindow(), building
                                                                ? QStringLiteral("自動更新中は操作不可です。")
                                                                : QStringLiteral("選択されていません。"));
        return {};
    }
    std::vector<std::string> paths;
    for (int record : view.selectedRecords()) {
        paths.push_back(view.rows().record(record).pathUtf8());
    }
    return paths;
}

void showMessage(FrameHost& frame, const voxmg::UserMessage& message) {
    showMessage(frame.context().messages, frame.frameWindow(), message);
}
