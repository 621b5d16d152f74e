#pragma once

#include <ctime>
#include <string>

#include "core/store/file_io.h"

// "backup_info.ini" in a backup month folder: whether the last backup into it completed.
namespace voxmg::backup {

inline constexpr const char* kRecordFileName = "backup_info.ini";

// True when the record says "完了"; a missing record or key reads as incomplete.
bool readRecordComplete(const std::string& monthFolder);

// Writes YFLAG and SFLAG ("完了" or "未完"), each with KANRYOUBI, making the folder first when
// it is missing. False when the folder or the record cannot be written; the record is then as
// it was. Every write, flush and rename of the record goes through `writes`.
bool writeRecord(const std::string& monthFolder, bool complete, const std::tm& now,
                 fileio::Writes& writes = fileio::systemWrites());

}  // namespace voxmg::backup
