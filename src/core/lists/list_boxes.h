#pragma once

#include <string>
#include <string_view>
#include <vector>

// The text that names the boxes of a list window. It is stored per list slot in VOXMG.ini and
// is the window's title, so it keeps the Windows program's format: "留守録BOX：a,b  内線BOX：c"
// with every "," inside a box name written as "?", or "ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ" for the response list.
namespace voxmg::list_boxes {

inline constexpr std::u16string_view kResponse = u"ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ";
inline constexpr std::u16string_view kAnswerKind = u"留守録BOX：";
inline constexpr std::u16string_view kExtensionKind = u"内線BOX：";

struct ListBoxes {
    bool response = false;
    std::vector<std::u16string> answerBoxes;     // folder names under "rusuroku"
    std::vector<std::u16string> extensionBoxes;  // folder names under "naisen"

    bool operator==(const ListBoxes&) const = default;
};

// The list title for the chosen boxes; empty when none is chosen.
std::u16string build(const std::vector<std::u16string>& answerBoxes,
                     const std::vector<std::u16string>& extensionBoxes);

// Reads a list title back. A kind name ends at ":" or "："; a kind whose name contains
// "内線" lists extension boxes, any other kind answering-machine boxes. Empty names (a
// doubled ",", a hand-edited file) are dropped.
ListBoxes parse(std::u16string_view text);

// The title as the user reads it: "?" shown as ",".
std::u16string displayText(std::u16string_view text);

// One box folder a list reads, in title order.
struct BoxPath {
    std::string path;  // UTF-8: dataRoot/boxFolderName/kind/box
    bool extension = false;
};

// The folders of the boxes a title names under box folder `boxFolder` (data root + box folder
// name). A name that could leave its kind folder ("..", "/") is left out.
std::vector<BoxPath> boxPaths(const std::string& boxFolder, const ListBoxes& title);

// The box subfolders of a box folder's "rusuroku" (or "naisen") folder, sorted by name as a
// Windows folder listing gives them; names that could not name their folder again are left out.
std::vector<std::u16string> boxNames(const std::string& boxFolder, bool extension);

// The response folder of a box folder.
std::string responseFolder(const std::string& boxFolder);

}  // namespace voxmg::list_boxes
