#include "gui/base/choosers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QTreeView>
#include <algorithm>

#include "core/app/network_folder.h"
#include "core/base/paths.h"
#include "gui/base/folder_name_guard.h"
#include "gui/base/user_messages.h"

namespace {

// Qt 6 names a folder's type "Folder" in a context its Japanese translation lacks; the other
// types follow the way the file list of the office's PCs names them.
class JapaneseTypeNames final : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) {
            return QStringLiteral("ファイル フォルダー");
        }
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("ファイル") : suffix.toUpper() + QStringLiteral(" ファイル");
    }
};

// Qt writes the dates and sizes of the file list in the system's locale ("7 Dec 2026 20:01" under
// LANG=C); they are shown here the way the program's lists show them.
class JapaneseFileColumns final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (files == nullptr || role != Qt::DisplayRole || (index.column() != 1 && index.column() != 3)) {
            return QIdentityProxyModel::data(index, role);
        }
        const QModelIndex source = mapToSource(index);
        if (index.column() == 3) {
            return files->lastModified(source).toString(kDateFormat);
        }
        return files->isDir(source) ? QString() : QLocale().formattedDataSize(files->size(source));
    }

    static inline const QString kDateFormat = QStringLiteral("yyyy/MM/dd HH:mm");
};

bool qtTextsLoaded() {
    return QCoreApplication::translate("QFileDialog", "Look in:") != QLatin1String("Look in:");
}

// The size, type and date columns as wide as their longest text, so "2026/12/07 19:45" and
// "863.2 KiB" show whole; the dialog wide enough to hold them beside the names.
void fitFileDialog(QFileDialog& dialog, const QString& acceptText) {
    dialog.setProxyModel(new JapaneseFileColumns(&dialog));
    if (!qtTextsLoaded()) {
        dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("場所:"));
        dialog.setLabelText(QFileDialog::FileName, QStringLiteral("ファイル名:"));
        dialog.setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類:"));
        dialog.setLabelText(QFileDialog::Accept, acceptText);
        dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    }
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (tree == nullptr) {
        return;
    }
    const QFontMetrics metrics(tree->font());
    const int date = metrics.horizontalAdvance(QStringLiteral("2026/12/28 23:58"));
    const int size = metrics.horizontalAdvance(QLocale().formattedDataSize(999'900'000));
    const int type = metrics.horizontalAdvance(QStringLiteral("ファイル フォルダー"));
    const int padding = 3 * metrics.averageCharWidth();
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    header->resizeSection(1, size + padding);
    header->resizeSection(2, type + padding);
    header->resizeSection(3, date + padding);
    const int name = 40 * metrics.averageCharWidth();
    header->resizeSection(0, name);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    // The list is the dialog's widest part; the sidebar and frames take about 260 pixels more.
    int width = name + size + type + date + 4 * padding + 260;
    if (const QScreen* screen = dialog.screen()) {
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    }
    dialog.resize(width, std::max(dialog.height(), 460));
}

}  // namespace

QString QtChoosers::chooseFolder(QWidget* parent, const QString& caption, const QString& start) {
    // Qt's own dialog, so the name field can be guarded and a new folder made from it. The
    // prompts begin with a line break that only set them apart inside the Windows browser.
    // Without a stored folder: home, not wherever the program was started from.
    QFileDialog dialog(parent, caption.trimmed(), fileDialogFolder(QString(), start, QDir::homePath()));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    JapaneseTypeNames typeNames;
    dialog.setIconProvider(&typeNames);
    fitFileDialog(dialog, QStringLiteral("選択"));
    if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        name->installEventFilter(new FolderNameGuard(&dialog));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

QString fileDialogFolder(const QString& remembered, const QString& start, const QString& fallback) {
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir()) {
        return remembered;
    }
    if (!start.isEmpty()) {
        const QFileInfo info(start);
        if (info.isDir()) {
            return info.absoluteFilePath();
        }
        if (info.absoluteDir().exists()) {
            return info.absolutePath();
        }
    }
    return fallback;
}

QString QtChoosers::chooseFile(QWidget* parent, const QString& caption, const QString& start,
                               const QString& filter, const QString* saveSuffix) {
    const QString purpose = caption + QLatin1Char('\n') + filter;
    const QString folder = fileDialogFolder(m_lastFolders[purpose], start, QDir::homePath());
    JapaneseTypeNames typeNames;
    QFileDialog dialog(parent, caption, folder, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&typeNames);
    if (saveSuffix != nullptr) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(*saveSuffix);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    // A start naming a file in that folder offers its name again.
    const QFileInfo startInfo(start);
    if (!start.isEmpty() && !startInfo.isDir() && startInfo.absolutePath() == folder) {
        dialog.selectFile(startInfo.fileName());
    }
    fitFileDialog(dialog, saveSuffix != nullptr ? QStringLiteral("保存") : QStringLiteral("開く"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString chosen = dialog.selectedFiles().front();
    m_lastFolders[purpose] = QFileInfo(chosen).absolutePath();
    return chosen;
}

QString QtChoosers::chooseOpenFile(QWidget* parent, const QString& caption, const QString& start,
                                   const QString& filter) {
    return chooseFile(parent, caption, start, filter, nullptr);
}

QString QtChoosers::chooseSaveFile(QWidget* parent, const QString& caption, const QString& start,
                                   const QString& filter, const QString& suffix) {
    return chooseFile(parent, caption, start, filter, &suffix);
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
