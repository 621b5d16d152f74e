#include "core/app/doc.h"

#include "core/base/paths.h"
#include "core/base/text.h"

namespace voxmg {

bool CVOXMGDoc::save(const Rect& frame, const std::vector<ListPlacement>& frontToBack) const {
    ProfileFile file = profile();
    saveSettings(m_settings, file);
    saveWindowPlacement(file, frame, frontToBack);
    return file.save(kSettingsFileMode);
}

std::string CVOXMGDoc::dataRoot() const {
    return text::utf8FromUtf16(m_settings.folder.str());
}

std::string CVOXMGDoc::boxFolderName() const {
    return text::utf8FromUtf16(m_settings.folderName.str());
}

std::string CVOXMGDoc::boxFolderPath() const {
    return paths::withTrailingSeparator(dataRoot()) + boxFolderName();
}

}  // namespace voxmg
