#include "gui/base/choosers.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

#include "core/app/network_folder.h"
#include "core/base/paths.h"
#include "gui/base/folder_name_guard.h"
#include "gui/base/user_messages.h"

QString QtChoosers::chooseFolder(QWidget* parent, const QString& caption, const QString& start) {
    // Qt's own dialog, so the name field can be guarded and a new folder made from it. The
    // prompts begin with a line break that only set them apart inside the Windows browser.
    QFileDialog dialog(parent, caption.trimmed(), start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        name->installEventFilter(new FolderNameGuard(&dialog));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

QString QtChoosers::chooseOpenFile(QWidget* parent, const QString& caption, const QString& start,
                                   const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

QString QtChoosers::chooseSaveFile(QWidget* parent, const QString& caption, const QString& start,
                                   const QString& filter, const QString& suffix) {
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

namespace {

bool confirmIfNetwork(UserMessages& messages, QWidget* parent, const QString& folder, const char16_t* text,
                      const NetworkTest& isNetwork) {
    const bool network =
        isNetwork ? isNetwork(folder.toStdString()) : voxmg::paths::isNetworkPath(folder.toStdString());
    if (!network) {
        return true;
    }
    return messages.askYesNo(parent, QString::fromUtf16(text),
                             QString::fromUtf16(voxmg::kNetworkWarningCaption), UserMessages::Icon::Warning);
}

}  // namespace

bool confirmNetworkFolder(UserMessages& messages, QWidget* parent, const QString& folder,
                          const NetworkTest& isNetwork) {
    return confirmIfNetwork(messages, parent, folder, voxmg::kNetworkFolderWarning, isNetwork);
}

bool confirmNetworkFile(UserMessages& messages, QWidget* parent, const QString& file,
                        const NetworkTest& isNetwork) {
    // The folder of the file is what may vanish with the network.
    return confirmIfNetwork(messages, parent, QFileInfo(file).absolutePath(), voxmg::kNetworkFileWarning,
                            isNetwork);
}
