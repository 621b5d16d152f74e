#include "core/automation/backup_record.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "core/automation/backup_schedule.h"
#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/store/dir_walk.h"
#include "core/store/file_replace.h"

namespace voxmg::backup {
namespace {

constexpr std::u16string_view kSection = u"BACKUPINF";
constexpr std::u16string_view kComplete = u"完了";
constexpr std::u16string_view kIncomplete = u"未完";
constexpr std::string_view kTempPrefix = ".backup_info-";

// "YYYY/MM/DD HH:MM" of a 12-digit stamp.
std::u16string recordDate(const std::string& s) {
    std::string out = s.substr(0, 4) + "/" + s.substr(4, 2) + "/" + s.substr(6, 2) + " " + s.substr(8, 2) +
                      ":" + s.substr(10, 2);
    return text::utf16FromUtf8(out);
}

}  // namespace

bool readRecordComplete(const std::string& monthFolder) {
    ProfileFile file = ProfileFile::load(paths::join(monthFolder, kRecordFileName));
    return file.readString(kSection, u"YFLAG", kIncomplete) == kComplete;
}

bool writeRecord(const std::string& monthFolder, bool complete, const std::tm& now, fileio::Writes& writes) {
    std::error_code ec;
    std::filesystem::create_directories(monthFolder, ec);
    if (ec) {
        return false;
    }
    const std::string path = paths::join(monthFolder, kRecordFileName);
    ProfileFile file = ProfileFile::load(path);
    const std::u16string date = recordDate(stamp(now));
    const std::u16string_view flag = complete ? kComplete : kIncomplete;
    file.writeString(kSection, u"KANRYOUBI", date);
    file.writeString(kSection, u"YFLAG", flag);
    file.writeString(kSection, u"SFLAG", flag);
    // A run killed while it wrote the record left its temporary file; this run holds the data
    // folder, so nobody else is writing one.
    fileio::walkFolder(monthFolder, [&](std::string_view name, bool isFolder) {
        if (!isFolder && name.starts_with(kTempPrefix)) {
            ::unlink(paths::join(monthFolder, name).c_str());
        }
        return true;
    });
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    return fileio::replaceThrough(writes, path, file.bytes(), mode, true,
                                  paths::join(monthFolder, kTempPrefix));
}

}  // namespace voxmg::backup
