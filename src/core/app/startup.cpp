#include "core/app/startup.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "core/base/paths.h"
#include "core/base/text.h"

namespace voxmg {

bool applyStartupFolder(Settings& s) {
    if (!s.nextFolder.empty()) {
        s.folder = s.nextFolder;
    }
    if (s.init == 1 && s.folderNames[0].str() != s.nextFolderName.str()) {
        s.folderName = s.nextFolderName;
        return false;
    }
    return true;
}

StartupFolderOutcome checkStartupFolder(Settings& s, const ProfileFile& placements, bool mayRestore,
                                        ListWindowHost& host) {
    const std::string path = paths::withTrailingSeparator(text::utf8FromUtf16(s.folder.str())) +
                             text::utf8FromUtf16(s.folderName.str());
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_directory(path, ec)) {
        s.folder.clear();
        s.folderName.clear();
        for (auto& title : s.disp) {
            title.clear();
        }
        s.num = 0;
        return StartupFolderOutcome::FolderMissing;
    }

    std::array<int, 4> atPosition{};  // list window number per front-to-back position
    if (mayRestore && s.change != 1 && s.num > 0) {
        const int count = std::min(s.num, 4);
        for (int n = 1; n <= count; ++n) {
            host.setOpenListCount(n);
            const SavedListPlacement saved = readListPlacement(placements, n);
            if (saved.zOrder >= 1 && saved.zOrder <= 4) {
                atPosition[saved.zOrder - 1] = n;
            }
            if (saved.showCmd == kShowMaximized) {
                host.setListsOpenMaximized();
            }
            if (!host.openList(n)) {
                host.closeAllLists();
                return StartupFolderOutcome::RestoreFailed;
            }
            if (saved.showCmd != kShowMaximized) {
                host.placeList(n, saved.rect, saved.showCmd);
            }
        }
    }
    // Activating from the back forwards leaves the window of position 1 in front.
    for (int p = 4; p >= 1; --p) {
        if (atPosition[p - 1] != 0) {
            host.activateList(atPosition[p - 1]);
        }
    }
    s.change = 0;
    return StartupFolderOutcome::Restored;
}

bool applyFolderChoice(Settings& s, bool specified, std::u16string_view folderText) {
    s.change = 0;
    if (!specified) {
        s.init = 0;
        s.nextFolder.clear();
        s.nextFolderName.clear();
        return true;
    }
    if (folderText.empty()) {
        return false;
    }
    // A text without any "/" gives a lone "/" and an empty name, as the original did with
    // its backslash; the start-up check then finds no such folder and clears the values.
    std::u16string text(folderText);
    while (text.size() > 1 && text.back() == u'/') {
        text.pop_back();
    }
    const auto slash = text.rfind(u'/');
    const std::u16string folder = slash == std::u16string::npos ? std::u16string() : text.substr(0, slash);
    const std::u16string name = slash == std::u16string::npos ? std::u16string() : text.substr(slash + 1);
    if (s.init == 0) {
        s.change = 1;
    }
    s.init = 1;
    if (name != s.nextFolderName.str()) {
        s.change = 1;
    }
    s.nextFolder = folder + u"/";
    s.nextFolderName = name;
    return true;
}

}  // namespace voxmg
