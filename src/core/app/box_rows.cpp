#include "core/app/box_rows.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/settings/settings.h"

namespace voxmg::box_rows {
namespace {

namespace fs = std::filesystem;

std::vector<std::u16string> subfolders(const std::string& folder) {
    std::vector<std::u16string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            names.push_back(text::utf16FromUtf8(it->path().filename().string()));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string kindFolder(const std::string& boxFolder, std::u16string_view kind) {
    return paths::join(boxFolder, text::utf8FromUtf16(kind));
}

}  // namespace

bool isBoxFolder(const std::string& path) {
    bool rusuroku = false;
    bool naisen = false;
    for (const auto& name : subfolders(path)) {
        rusuroku = rusuroku || name.find(kRusuroku) != std::u16string::npos;
        naisen = naisen || name.find(kNaisen) != std::u16string::npos;
    }
    return rusuroku && naisen;
}

std::vector<std::u16string> mainUnitBoxes(const std::string& boxFolder, std::u16string_view kind) {
    const std::string folder = kindFolder(boxFolder, kind);
    std::vector<std::u16string> boxes;
    for (auto& name : subfolders(folder)) {
        const std::string info = paths::join(paths::join(folder, text::utf8FromUtf16(name)), "inf.ini");
        if (profile::readInt(info, u"INF", u"MAKE", 0) != 1) {
            boxes.push_back(std::move(name));
        }
    }
    return boxes;
}

void writeAutoDeleteSelection(ProfileFile& file, std::u16string_view kind, const Selection& rows) {
    for (const auto& [box, on] : rows) {
        writeAutoDelete(file, kind, box, on);
    }
}

}  // namespace voxmg::box_rows
