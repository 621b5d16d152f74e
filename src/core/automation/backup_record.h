#pragma once

#include <ctime>
#include <string>

// "backup_info.ini" in a backup month folder: whether the last backup into it completed.
namespace voxmg::backup {

inline constexpr const char* kRecordFileName = "backup_info.ini";

// True when the record says "完了"; a missing record or key reads as incomplete.
bool readRecordComplete(const std::string& monthFolder);

// Writes YFLAG and SFLAG ("完了" or "未完"), each with KANRYOUBI, making the folder first when
// it is missing. False when the folder or the record cannot be written.
bool writeRecord(const std::string& monthFolder, bool complete, const std::tm& now);

}  // namespace voxmg::backup
