#include "core/store/box_links.h"

#include <sys/stat.h>

#include "core/base/paths.h"
#include "core/store/file_naming.h"

namespace voxmg {

namespace {

bool isLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

bool isLinkedBox(const std::string& boxPath) {
    std::string box = boxPath;
    while (box.size() > 1 && box.back() == '/') {
        box.pop_back();
    }
    if (isLink(box)) {
        return true;
    }
    const std::string kindFolder(paths::parentOf(box));
    const std::string_view kind = paths::fileName(kindFolder);
    return (kind == naming::kAnswerKind || kind == naming::kExtensionKind) && isLink(kindFolder);
}

bool isInLinkedBox(const std::string& messagePath) {
    return isLinkedBox(std::string(paths::parentOf(messagePath)));
}

}  // namespace voxmg
