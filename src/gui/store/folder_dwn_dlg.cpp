#include "gui/store/folder_dwn_dlg.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "core/base/flags.h"
#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/store/file_mng.h"
#include "core/store/folder_ops.h"
#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/data_folder_guard.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/prg_file_dwn_dlg.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/store/folder_del_prg_dlg.h"
#include "gui/store/folder_list_ctrl.h"
#include "gui/store/folder_nm_chg.h"
#include "gui/store/folder_resu_dlg.h"

namespace folders = voxmg::folders;

namespace {

const QString kPartlyDeleted = QStringLiteral("一部のファイルが削除できませんでした。");

bool ask(AppContext& context, QWidget* parent, const QString& text, const QString& caption) {
    return context.messages.askYesNo(parent, text, caption, UserMessages::Icon::Question);
}

}  // namespace

CFolderDwnDlg::CFolderDwnDlg(AppContext& context, BoxListingSource listings, std::string programFolder,
                             QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_listings(std::move(listings)),
      m_recycleList(programFolder),
      m_programFolder(std::move(programFolder)),
      m_documents(pathFromQ(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))),
      m_list(new CFolderListCtrl(this)),
      m_add(new QPushButton(QStringLiteral("フォルダ追加"), this)),
      m_download(new QPushButton(QStringLiteral("ダウンロード"), this)),
      m_rename(new QPushButton(QStringLiteral("名称変更"), this)),
      m_delete(new QPushButton(QStringLiteral("フォルダ完全削除"), this)),
      m_recycle(new QPushButton(QStringLiteral("フォルダ一時削除"), this)),
      m_restore(new QPushButton(QStringLiteral("フォルダ復活"), this)),
      m_schedule(new DialogScheduleCheck(this, context)) {
    setWindowTitle(QStringLiteral("フォルダのダウンロード"));
    m_list->setMinimumSize(520, 260);
    auto* row = new QHBoxLayout;
    row->addWidget(m_list, 1);
    auto* buttons = new QVBoxLayout;
    for (auto* button : {m_add, m_download, m_rename, m_delete, m_recycle, m_restore}) {
        button->setAutoDefault(false);
        // Room for the longest caption whatever the font, so none is cut.
        button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + 32);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    row->addLayout(buttons);
    auto* column = new QVBoxLayout(this);
    column->addLayout(row);
    column->addLayout(buttonRowWithCancel(this, {}, DefaultButton::Cancel));

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CFolderDwnDlg::updateButtons);
    connect(m_add, &QPushButton::clicked, this, &CFolderDwnDlg::onAdd);
    connect(m_download, &QPushButton::clicked, this, &CFolderDwnDlg::onDownload);
    connect(m_rename, &QPushButton::clicked, this, &CFolderDwnDlg::onRename);
    connect(m_delete, &QPushButton::clicked, this, &CFolderDwnDlg::onDelete);
    connect(m_recycle, &QPushButton::clicked, this, &CFolderDwnDlg::onRecycle);
    connect(m_restore, &QPushButton::clicked, this, &CFolderDwnDlg::onRestore);
    connect(&m_loginTimer, &QTimer::timeout, this, &CFolderDwnDlg::checkLogin);

    refreshList();
    updateRestoreButton();
    m_loginTimer.start(context.timings.loginCheckMs);
    m_schedule->start();
}

void CFolderDwnDlg::refreshList() {
    m_list->setRows(folders::folderRows(m_context.doc.dataRoot(), folders::RowKind::Download));
    updateButtons();
}

void CFolderDwnDlg::updateButtons() {
    const std::string folder = m_list->selectedPath();
    auto states = folders::downloadButtons(m_list->hasSelection(), m_context.doc.loggedIn(),
                                           !folder.empty() && folders::hasSubfolder(folder));
    m_download->setEnabled(states.download);
    m_rename->setEnabled(states.rename);
    m_delete->setEnabled(states.deleteAll);
    m_recycle->setEnabled(states.recycle);
}

void CFolderDwnDlg::updateRestoreButton() {
    m_restore->setEnabled(m_recycleList.count() > 0);
}

void CFolderDwnDlg::checkLogin() {
    if (!m_context.doc.loggedIn()) {
        m_download->setEnabled(false);
    }
}

void CFolderDwnDlg::choose(const std::string& folder) {
    auto parts = folders::splitChosenFolder(folder);
    m_context.doc.settings().folder = voxmg::text::utf16FromUtf8(parts.dataRoot);
    m_context.doc.settings().folderName = voxmg::text::utf16FromUtf8(parts.boxFolderName);
    m_chosen = voxmg::paths::join(parts.dataRoot, parts.boxFolderName);
    m_added = true;
}

void CFolderDwnDlg::onAdd() {
    for (;;) {
        const std::string start = folders::addFolderStart(
            m_context.doc.dataRoot(), m_context.doc.boxFolderName(), m_programFolder, m_documents);
        const QString chosen = m_context.choosers.chooseFolder(
            this, QStringLiteral("ダウンロード先のフォルダを作成してください。"), pathToQ(start));
        if (chosen.isEmpty()) {
            return;
        }
        const std::string path = pathFromQ(chosen);
        if (voxmg::paths::isUnsafeName(folders::splitChosenFolder(path).boxFolderName)) {
            return;  // the file system root: not a folder that can hold box folders
        }
        if (confirmNetworkFolder(m_context.messages, this, chosen, m_isNetwork)) {
            choose(path);
            refreshList();
            return;
        }
    }
}

void CFolderDwnDlg::onDownload() {
    const std::string folder = m_list->selectedPath();
    if (folder.empty() ||
        !ask(m_context, this,
             QStringLiteral("%1にダウンロードします。\nよろしいですか？").arg(m_list->selectedName()),
             QStringLiteral("ダウンロード確認画面"))) {
        return;
    }
    voxmg::BuildResult result = voxmg::BuildResult::ListingFailed;
    const DataFolderGuard dataLock(m_context, this);
    if (!dataLock) {
        return;
    }
    {
        voxmg::WorkerPause pause(m_context.flags, m_context.pump);
        m_context.flags.cancelAll = 0;
        CPrgFileDwnDlg progress(m_context.flags, this);
        progress.show();
        result =
            voxmg::CFileMng(m_context.flags).buildBoxFolder(folder, m_listings, &progress, m_context.pump);
    }
    if (result == voxmg::BuildResult::Built) {
        m_context.messages.show(this, QStringLiteral("フォルダのダウンロードが正常に完了しました。"),
                                QStringLiteral("ダウンロード完了"), UserMessages::Icon::Information);
        choose(folder);
        accept();
        return;
    }
    if (result != voxmg::BuildResult::Cancelled && m_context.flags.cancelAll == 0) {
        m_context.messages.error(this, QStringLiteral("通信エラーが発生しました。"));
    }
    QDialog::reject();
}

void CFolderDwnDlg::onRename() {
    const std::string folder = m_list->selectedPath();
    if (folder.empty()) {
        return;
    }
    CFolderNmChg dialog(m_context, folder, this);
    if (dialog.exec() == QDialog::Accepted) {
        if (m_chosen == folder) {
            m_chosen = dialog.newPath();
        }
        refreshList();
    }
}

void CFolderDwnDlg::onDelete() {
    const std::string folder = m_list->selectedPath();
    const int row = m_list->currentRow();
    // The button rule again: a folder with subfolders (a box folder) never goes from here.
    if (folder.empty() || folders::hasSubfolder(folder) ||
        !ask(m_context, this,
             QStringLiteral("削除の確認を致します。\nフォルダおよびフォルダ内のファイルは\n"
                            "復活できなくなります。よろしいですか？"),
             QStringLiteral("削除の確認")) ||
        !ask(m_context, this, QStringLiteral("削除します。よろしいですか？"),
             QStringLiteral("削除の再確認"))) {
        return;
    }
    bool gone = false;
    const DataFolderGuard dataLock(m_context, this);
    if (!dataLock) {
        return;
    }
    {
        voxmg::WorkerPause pause(m_context.flags, m_context.pump);
        CFolderDelPrgDlg progress(this);
        progress.show();
        gone = folders::deleteFolderCompletely(folder, &progress, m_context.pump);
    }
    if (gone) {
        m_list->removeRow(row);
    } else {
        m_context.messages.error(this, kPartlyDeleted);
    }
    updateButtons();
}

void CFolderDwnDlg::onRecycle() {
    const std::string folder = m_list->selectedPath();
    const int row = m_list->currentRow();
    if (folder.empty() || folders::hasSubfolder(folder) ||
        !ask(m_context, this,
             QStringLiteral(
                 "一時削除します。\nフォルダおよびフォルダ内のファイルは\n復活可能です。よろしいですか？"),
             QStringLiteral("削除の確認"))) {
        return;
    }
    bool moved = false;
    const DataFolderGuard dataLock(m_context, this);
    if (!dataLock) {
        return;
    }
    {
        voxmg::WorkerPause pause(m_context.flags, m_context.pump);
        CFolderDelPrgDlg progress(this);
        progress.show();
        voxmg::pumpOnce(m_context.pump);  // let the dialog paint before the move
        moved = m_recycleList.recycle(folder);
    }
    if (moved) {
        m_list->removeRow(row);
    } else {
        m_context.messages.error(this, kPartlyDeleted);
    }
    updateButtons();
    updateRestoreButton();
}

void CFolderDwnDlg::onRestore() {
    CFolderResuDlg dialog(m_context, m_recycleList, this);
    dialog.exec();
    refreshList();
    updateRestoreButton();
}

void CFolderDwnDlg::reject() {
    if (m_added) {
        accept();
    } else {
        QDialog::reject();
    }
}
