#include "gui/app/choosers.h"

#include <QFileDialog>
#include <QFileInfo>

#include "core/app/network_folder.h"
#include "core/base/paths.h"
#include "gui/app/user_messages.h"

QString QtChoosers::chooseFolder(QWidget* parent, const QString& caption, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, caption, start);
}

QString QtChoosers::chooseOpenFile(QWidget* parent, const QString& caption, const QString& start,
                                   const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

namespace {

bool confirmIfNetwork(UserMessages& messages, QWidget* parent, const QString& folder, const char16_t* text) {
    if (!voxmg::paths::isNetworkPath(folder.toStdString())) {
        return true;
    }
    return messages.askYesNo(parent, QString::fromUtf16(text),
                             QString::fromUtf16(voxmg::kNetworkWarningCaption), UserMessages::Icon::Warning);
}

}  // namespace

bool confirmNetworkFolder(UserMessages& messages, QWidget* parent, const QString& folder) {
    return confirmIfNetwork(messages, parent, folder, voxmg::kNetworkFolderWarning);
}

bool confirmNetworkFile(UserMessages& messages, QWidget* parent, const QString& file) {
    return confirmIfNetwork(messages, parent, QFileInfo(file).absolutePath(), voxmg::kNetworkFileWarning);
}
