#pragma once

#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/settings/settings.h"

// The four list slots of the settings block: slot n (1..4) holds the box folder name and the
// list title of list window n. Open lists always occupy slots 1..count.
namespace voxmg::list_slots {

inline constexpr int kMaxLists = 4;

// The boxes already shown by the open lists of one box folder.
struct ShownBoxes {
    std::set<std::u16string> answer;
    std::set<std::u16string> extension;
};
ShownBoxes shownBoxes(const Settings& settings, int openCount, std::u16string_view folderName);

// Whether one of the open lists is the response list (of any box folder).
bool responseListOpen(const Settings& settings, int openCount);

// Writes a new list into the next slot; returns its number, or 0 when four lists are open.
int storeNewList(Settings& settings, int openCount, std::u16string_view folderName,
                 std::u16string_view title);

// Releases the slot of a closed list and moves every later list down one slot, so that the
// open lists stay in slots 1..count-1. Returns the moves as (old number, new number).
std::vector<std::pair<int, int>> releaseSlot(Settings& settings, int openCount, int closed);

}  // namespace voxmg::list_slots
