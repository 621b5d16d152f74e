#include "gui/lists/selected_rows.h"

#include "gui/base/app_context.h"
#include "gui/base/frame_host.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/lists/list_disp_view.h"

void showUserMessage(FrameHost& frame, const voxmg::UserMessage& message) {
    const auto icon = message.icon == voxmg::UserMessage::Icon::Information ? UserMessages::Icon::Information
                                                                            : UserMessages::Icon::Warning;
    frame.context().messages.show(frame.frameWindow(), toQ(message.text), toQ(message.caption), icon);
}

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
