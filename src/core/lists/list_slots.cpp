#include "core/lists/list_slots.h"

#include <algorithm>

#include "core/lists/list_boxes.h"

namespace voxmg::list_slots {
namespace {

int clampCount(int openCount) {
    return std::clamp(openCount, 0, kMaxLists);
}

}  // namespace

ShownBoxes shownBoxes(const Settings& settings, int openCount, std::u16string_view folderName) {
    ShownBoxes out;
    for (int i = 0; i < clampCount(openCount); ++i) {
        if (settings.folderNames[static_cast<std::size_t>(i)].str() != folderName) {
            continue;
        }
        const auto title = list_boxes::parse(settings.disp[static_cast<std::size_t>(i)].str());
        out.answer.insert(title.answerBoxes.begin(), title.answerBoxes.end());
        out.extension.insert(title.extensionBoxes.begin(), title.extensionBoxes.end());
    }
    return out;
}

bool responseListOpen(const Settings& settings, int openCount) {
    for (int i = 0; i < clampCount(openCount); ++i) {
        if (settings.disp[static_cast<std::size_t>(i)].str() == list_boxes::kResponse) {
            return true;
        }
    }
    return false;
}

int storeNewList(Settings& settings, int openCount, std::u16string_view folderName,
                 std::u16string_view title) {
    if (openCount < 0 || openCount >= kMaxLists) {
        return 0;
    }
    const auto slot = static_cast<std::size_t>(openCount);
    settings.disp[slot] = title;
    settings.folderNames[slot] = folderName;
    return openCount + 1;
}

std::vector<std::pair<int, int>> releaseSlot(Settings& settings, int openCount, int closed) {
    std::vector<std::pair<int, int>> moves;
    const int count = clampCount(openCount);
    if (closed < 1 || closed > count) {
        return moves;
    }
    for (int n = closed; n < count; ++n) {
        const auto to = static_cast<std::size_t>(n - 1);
        settings.disp[to] = settings.disp[to + 1];
        settings.folderNames[to] = settings.folderNames[to + 1];
        moves.emplace_back(n + 1, n);
    }
    settings.disp[static_cast<std::size_t>(count - 1)].clear();
    settings.folderNames[static_cast<std::size_t>(count - 1)].clear();
    return moves;
}

}  // namespace voxmg::list_slots
