// The backup variants of the box and response message downloads: each file goes into the
// backup month folder of its recording month, and a failure marks the backup incomplete.

#include <filesystem>
#include <system_error>

#include "core/device/box_run.h"
#include "core/device/ftp_mng.h"
#include "core/store/file_naming.h"

namespace voxmg {
namespace {

// "BU_202612" -> "202612"
std::string_view monthOf(std::string_view folder) {
    return folder.size() >= 6 ? folder.substr(folder.size() - 6) : std::string_view{};
}

}  // namespace

BoxResult CFtpMng::backupDownloadBox(std::string_view remoteDir, std::string_view kind, std::string_view box,
                                     const BackupTarget& target) {
    if (!connected() || paths::isUnsafeName(kind) || paths::isUnsafeName(box)) {
        return {EngineResult::CommFailure};
    }
    EngineScope scope(*this, target.dataRoot);
    BoxRun run;
    run.remoteDir = std::string(remoteDir);
    run.progress = m_progress;
    run.backup = &target;
    run.spaceFolder = target.dataRoot;
    // Months are compared as "YYYYMM" texts: only the target month up to this month.
    run.accept = [&](const listing::Entry& entry) {
        std::string_view month = std::string_view(entry.name).substr(0, 6);
        return month >= target.targetMonth && month <= target.currentMonth;
    };
    run.destination = [&](const std::string& name) -> std::string {
        std::string_view month = std::string_view(name).substr(0, 6);
        for (const std::string& folder : target.monthFolders) {
            if (!folder.empty() && monthOf(folder) == month) {
                return paths::join(paths::join(paths::join(target.dataRoot, folder), kind), box);
            }
        }
        return {};
    };
    return runBoxDownload(run);
}

BoxResult CFtpMng::backupDownloadResponseMessages(std::string_view remoteDir, const BackupTarget& target) {
    if (!connected()) {
        return {EngineResult::CommFailure};
    }
    std::string folder =
        paths::join(paths::join(target.dataRoot, target.monthFolders[2]), naming::kResponseKind);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    EngineScope scope(*this, folder);
    BoxRun run;
    run.remoteDir = std::string(remoteDir);
    run.progress = m_progress;
    run.backup = &target;
    run.response = true;
    run.spaceFolder = target.dataRoot;
    run.destination = [&](const std::string&) { return folder; };
    return runResponseDownload(run);
}

}  // namespace voxmg
