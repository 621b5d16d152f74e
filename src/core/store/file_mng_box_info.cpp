#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg {
namespace {

constexpr std::u16string_view kSection = u"INF";
constexpr std::u16string_view kName = u"NAME";
constexpr std::u16string_view kMake = u"MAKE";
constexpr std::u16string_view kAutoDelete = u"AutoDel";

// The Windows program reads NAME into a 20-character buffer.
constexpr std::size_t kBoxNameBuffer = 20;

std::string infoFile(const std::string& folder) {
    return paths::join(folder, naming::kBoxInfoFile);
}

}  // namespace

std::u16string CFileMng::readBoxName(const std::string& folder) const {
    std::u16string name = profile::readString(infoFile(folder), kSection, kName, u"");
    return std::u16string(text::cutToWidth(name, kBoxNameBuffer - 1));
}

FileOp CFileMng::writeBoxName(const std::string& folder, std::u16string_view name) const {
    // Quoted so that leading and trailing blanks survive the ini reader's trimming.
    std::u16string quoted = u"\"" + std::u16string(name) + u"\"";
    return profile::writeString(infoFile(folder), kSection, kName, quoted) ? FileOp::Done : FileOp::NotDone;
}

FileOp CFileMng::writeBuildMark(const std::string& folder, std::u16string_view mark) const {
    return profile::writeString(infoFile(folder), kSection, kMake, mark) ? FileOp::Done : FileOp::NotDone;
}

int CFileMng::readBuildMark(const std::string& folder) const {
    return profile::readInt(infoFile(folder), kSection, kMake, 0);
}

bool CFileMng::isBeingBuilt(const std::string& folder) const {
    return readBuildMark(folder) == 2;
}

FileOp CFileMng::writeAutoDelete(const std::string& folder) const {
    return profile::writeString(infoFile(folder), kSection, kAutoDelete, u"0") ? FileOp::Done
                                                                               : FileOp::NotDone;
}

}  // namespace voxmg
