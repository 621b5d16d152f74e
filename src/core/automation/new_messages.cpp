#include "core/automation/new_messages.h"

#include <atomic>
#include <filesystem>
#include <optional>

#include "core/base/text.h"
#include "core/lists/list_boxes.h"
#include "core/store/file_mng.h"

namespace voxmg::always {

namespace {

// A message is one name whether only its recording info or also its voice is here.
std::set<std::string> messagesIn(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string ext = it->path().extension().string();
        std::error_code typeError;
        if ((ext == ".vmdat" || ext == ".vminf") && it->is_regular_file(typeError)) {
            names.insert(it->path().stem().string());
        }
    }
    return names;
}

std::filesystem::file_time_type changedAt(const std::string& folder) {
    std::error_code ec;
    const auto t = std::filesystem::last_write_time(folder, ec);
    return ec ? std::filesystem::file_time_type{} : t;
}

// The local folders of the boxes the titles show, keyed by their remote path.
std::map<std::string, std::string> shownBoxes(const std::string& boxFolder,
                                              const std::vector<std::u16string>& titles) {
    std::map<std::string, std::string> out;
    for (const auto& title : titles) {
        for (const auto& box : list_boxes::boxPaths(boxFolder, list_boxes::parse(title))) {
            const std::string name = std::filesystem::path(box.path).filename().string();
            out.emplace(std::string(box.extension ? "/naisen/" : "/rusuroku/") + name, box.path);
        }
    }
    return out;
}

std::optional<FILESTS_INFO> recordOf(const CFileMng& files, const std::string& folder,
                                     const std::string& stem) {
    FILESTS_INFO record;
    for (const char* ext : {".vmdat", ".vminf"}) {
        if (files.readRecord(folder + "/" + stem + ext, record)) {
            return record;
        }
    }
    return std::nullopt;
}

}  // namespace

void ArrivalWatch::watch(const std::string& boxFolder, const std::vector<std::u16string>& titles) {
    for (const auto& [remote, folder] : shownBoxes(boxFolder, titles)) {
        const auto changed = changedAt(folder);
        const auto known = m_known.find(folder);
        if (known == m_known.end() || known->second.changed != changed) {
            m_known[folder] = {messagesIn(folder), changed};
        }
    }
}

Arrival ArrivalWatch::arrived(const std::string& boxFolder, const std::string& remoteBox,
                              const std::vector<std::u16string>& titles) {
    Arrival out;
    const auto shown = shownBoxes(boxFolder, titles);
    const auto it = shown.find(remoteBox);
    if (it == shown.end()) {
        return out;
    }
    const std::string& folder = it->second;
    const auto changed = changedAt(folder);
    std::set<std::string> now = messagesIn(folder);
    const auto known = m_known.find(folder);
    std::atomic<int> noCancel{0};
    const CFileMng files(noCancel);
    std::u16string newestDate;
    for (const std::string& stem : now) {
        if (known != m_known.end() && known->second.names.count(stem) != 0) {
            continue;
        }
        ++out.count;
        // The newest by recording date; names of one box sort by time as well.
        const std::optional<FILESTS_INFO> record = recordOf(files, folder, stem);
        const std::u16string date = record ? record->dateText() : std::u16string();
        if (out.count == 1 || date >= newestDate) {
            newestDate = date;
            const std::u16string boxName = record ? record->boxNameText() : std::u16string();
            out.box =
                !boxName.empty() ? boxName : text::utf16FromUtf8(remoteBox.substr(remoteBox.rfind('/') + 1));
            out.caller = record ? record->callerNameText() : std::u16string();
            if (out.caller.empty() && record) {
                out.caller = record->callerNumberText();
            }
        }
    }
    m_known[folder] = {std::move(now), changed};
    return out;
}

}  // namespace voxmg::always
