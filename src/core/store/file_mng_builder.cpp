#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg {
namespace {

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void setPosition(ProgressSink* progress, int position) {
    if (progress) {
        progress->setPosition(position);
    }
}

}  // namespace

BuildResult CFileMng::buildBoxFolder(const std::string& folder,
                                     const std::function<std::optional<BoxListings>()>& fetch,
                                     ProgressSink* progress, const Pump& pump) const {
    setPosition(progress, 20);
    auto listings = fetch ? fetch() : std::nullopt;
    if (!listings) {
        return BuildResult::ListingFailed;  // nothing has been created yet
    }
    return buildBoxFolder(folder, *listings, progress, pump);
}

BuildResult CFileMng::buildBoxFolder(const std::string& folder, const BoxListings& listings,
                                     ProgressSink* progress, const Pump& pump) const {
    setPosition(progress, 40);
    // Every box subfolder made here carries MAKE 2 until the whole folder is built, so that a
    // cancel (or a crash) can tell what to take away again.
    bool stopped = false;
    makeFolder(folder);  // normally made already by the folder list
    std::string answer = paths::join(folder, naming::kAnswerKind);
    makeFolder(answer);
    addBoxes(answer, listings.answerBoxes, pump, stopped);
    setPosition(progress, 60);
    if (!stopped) {
        std::string extension = paths::join(folder, naming::kExtensionKind);
        makeFolder(extension);
        addBoxes(extension, listings.extensionBoxes, pump, stopped);
    }
    if (stopped) {
        rollBack(folder);
        return BuildResult::Cancelled;
    }
    std::string response = paths::join(folder, naming::kResponseKind);
    // An "outou" that was there before holds messages of its own: it is never marked, so a
    // roll-back cannot take it away.
    if (makeFolder(response)) {
        writeBoxName(response, u"");
        writeBuildMark(response, u"2");
    }
    setPosition(progress, 100);
    pumpOnce(pump);
    if (cancelled()) {
        rollBack(folder);
        return BuildResult::Cancelled;
    }
    std::vector<std::string> boxes;
    for (std::string_view kind : {naming::kAnswerKind, naming::kExtensionKind}) {
        listSubfolders(paths::join(folder, kind), boxes);
        for (const auto& box : boxes) {
            if (isBeingBuilt(box)) {
                writeBuildMark(box, u"0");
            }
        }
    }
    if (isBeingBuilt(response)) {
        writeBuildMark(response, u"0");
    }
    return BuildResult::Built;
}

void CFileMng::addBoxes(const std::string& kindFolder, std::string_view listing, const Pump& pump,
                        bool& stopped) const {
    // One box name per line: a carriage return ends it; line feeds and the "*" and "." that
    // the main unit puts around directory names are dropped. A last name without a carriage
    // return is not taken (the listing was cut).
    std::string name;
    for (char c : listing) {
        if (c == '\n' || c == '*' || c == '.') {
            continue;
        }
        if (c != '\r') {
            name.push_back(c);
            continue;
        }
        if (!name.empty()) {
            pumpOnce(pump);
            if (cancelled()) {
                stopped = true;
                return;
            }
            std::string utf8 = text::utf8FromCp932(name);
            std::string box = paths::join(kindFolder, utf8);
            if (!paths::isUnsafeName(utf8) && !isFolder(box) && makeFolder(box)) {
                writeBoxName(box, u"");
                writeBuildMark(box, u"2");
            }
        }
        name.clear();
    }
}

void CFileMng::rollBack(const std::string& folder) const {
    std::vector<std::string> boxes;
    std::error_code ec;
    for (std::string_view kind : {naming::kAnswerKind, naming::kExtensionKind}) {
        std::string kindFolder = paths::join(folder, kind);
        listSubfolders(kindFolder, boxes);
        std::size_t left = boxes.size();
        for (const auto& box : boxes) {
            if (isBeingBuilt(box) &&
                std::filesystem::remove_all(box, ec) != static_cast<std::uintmax_t>(-1)) {
                --left;
            }
        }
        if (left == 0) {
            std::filesystem::remove(kindFolder, ec);  // only when empty, as on Windows
        }
    }
    std::string response = paths::join(folder, naming::kResponseKind);
    if (isBeingBuilt(response)) {
        std::filesystem::remove_all(response, ec);
    }
}

}  // namespace voxmg
