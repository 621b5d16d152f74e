#pragma once

#include <string>
#include <string_view>

// Texts the main frame shows: the two command bar fields, the status line and the window
// menu items. Kept apart from the widgets so their rules can be checked on their own.
namespace voxmg::frame_texts {

// " " + data root folder (with a trailing "/") + box folder name, every ":" shown as "："
// and a trailing "/" removed.
std::u16string folderField(std::u16string_view dataRoot, std::u16string_view boxFolderName);

// " " + list title, ":" shown as "：" and "?" as ","; the extension part goes on a line of its
// own ("\r\n " before "内線BOX：" unless the title starts with it).
std::u16string boxField(std::u16string_view listTitle);

// The current box folder name read back from the folder field: "：" back to ":", leading
// blanks dropped, everything after the last "/", at most 259 characters.
std::u16string boxFolderNameFromField(std::u16string_view fieldText);

// A count for the status line: decimal below 100000, "+++++" from there on, so the pane
// never grows wider than five digits.
std::u16string count(long long value);

std::u16string boxListStatus(long long folderTotal, long long boxTotal, long long listTotal,
                             long long unplayed, long long played);
std::u16string responseListStatus(long long folderTotal, long long listTotal);
// What each count of the status line counts, for its tool tip. The played and unplayed counts
// follow the main unit's played state (the "取込" column), not the PC's "再生/未再生" column,
// so a fresh download can show rows "未再生" beside a count "再生済 3".
std::u16string boxListStatusTip();
std::u16string responseListStatusTip();

// A list window's title as a window menu item: "?" shown as ",", cut to 30 characters with
// "..." appended when longer.
std::u16string windowMenuItem(std::u16string_view listTitle);

}  // namespace voxmg::frame_texts
