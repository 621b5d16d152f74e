#pragma once

#include <QDialog>
#include <QTimer>
#include <string>

#include "core/store/recycle.h"
#include "gui/base/choosers.h"
#include "gui/store/box_listing_source.h"

struct AppContext;
class CFolderListCtrl;
class DialogScheduleCheck;
class QPushButton;

// "フォルダのダウンロード": the folders under the data root folder; add one, build its box
// structure from the main unit, rename, delete for good, move to the recycle area and bring
// recycled ones back. Ends with OK when a folder was added or built, which then is the chosen
// folder (and the document's data root and current box folder).
class CFolderDwnDlg : public QDialog {
    Q_OBJECT
public:
    // `programFolder` holds the recycle area "tmp".
    CFolderDwnDlg(AppContext& context, BoxListingSource listings, std::string programFolder,
                  QWidget* parent = nullptr);

    CFolderListCtrl* list() const { return m_list; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* downloadButton() const { return m_download; }
    QPushButton* renameButton() const { return m_rename; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* recycleButton() const { return m_recycle; }
    QPushButton* restoreButton() const { return m_restore; }
    // The full path of the folder added or built; empty when none.
    const std::string& chosenFolder() const { return m_chosen; }
    // Tests put their own network test and documents folder in.
    void setNetworkTest(NetworkTest test) { m_isNetwork = std::move(test); }
    void setDocumentsFolder(std::string folder) { m_documents = std::move(folder); }

    void refreshList();
    void updateButtons();
    void updateRestoreButton();

    void onAdd();
    void onDownload();
    void onRename();
    void onDelete();
    void onRecycle();
    void onRestore();

protected:
    void reject() override;  // キャンセル: OK when a folder was added meanwhile

private:
    void choose(const std::string& folder);
    void checkLogin();

    AppContext& m_context;
    BoxListingSource m_listings;
    voxmg::RecycleList m_recycleList;
    std::string m_programFolder;
    std::string m_documents;
    NetworkTest m_isNetwork;
    std::string m_chosen;
    bool m_added = false;
    CFolderListCtrl* m_list;
    QPushButton* m_add;
    QPushButton* m_download;
    QPushButton* m_rename;
    QPushButton* m_delete;
    QPushButton* m_recycle;
    QPushButton* m_restore;
    QTimer m_loginTimer;
    DialogScheduleCheck* m_schedule;
};
