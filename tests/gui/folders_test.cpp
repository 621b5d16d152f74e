#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <map>

#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/mail/mail_settings.h"
#include "fakes.h"
#include "gui/app/command_bar.h"
#include "gui/app/main_frame.h"
#include "gui/base/prg_file_dwn_dlg.h"
#include "gui/store/folder_chg_dlg.h"
#include "gui/store/folder_commands.h"
#include "gui/store/folder_dwn_dlg.h"
#include "gui/store/folder_list_ctrl.h"
#include "gui/store/folder_nm_chg.h"
#include "gui/store/folder_resu_dlg.h"

namespace {

// A data root "data/" with a plain folder, a box folder and a folder whose name has spaces;
// the program folder "prog/" holds the recycle area.
struct FolderFixture {
    FolderFixture() {
        QDir root(dir());
        for (const char* path :
             {"data/plain", "data/Office/rusuroku/01", "data/Office/naisen/200", "data/my folder", "prog"}) {
            root.mkpath(QString::fromUtf8(path));
        }
        t.doc.settings().folder = voxmg::text::utf16FromUtf8(dataRoot());
        t.doc.settings().folderName = u"Office";
        t.doc.setLoggedIn(true);
    }
    QString dir() const { return t.dir.path(); }
    std::string dataRoot() const { return t.root() + "data/"; }
    std::string program() const { return t.root() + "prog/"; }
    bool exists(const std::string& rel) const {
        return QFileInfo::exists(QString::fromStdString(t.root() + rel));
    }

    // The folder download dialog; its listings come from `listings`.
    std::unique_ptr<CFolderDwnDlg> downloadDialog() {
        auto dialog = std::make_unique<CFolderDwnDlg>(
            t.context, [this] { return listings ? listings() : std::nullopt; }, program());
        dialog->setNetworkTest([](const std::string&) { return false; });
        return dialog;
    }

    int rowOf(CFolderListCtrl* list, const QString& name) const {
        for (int row = 0; row < list->rowCount(); ++row) {
            if (list->nameAt(row) == name) {
                return row;
            }
        }
        return -1;
    }

    TestContext t;
    std::function<std::optional<voxmg::BoxListings>()> listings;
};

// Always-download runs again after the action.
bool resumed(TestContext& t) {
    return !t.flags.gate.pauseRequested() && t.flags.suspendRequest == 0;
}

bool selectionButtons(CFolderDwnDlg& d, bool download, bool rename, bool remove, bool recycle) {
    return d.downloadButton()->isEnabled() == download && d.renameButton()->isEnabled() == rename &&
           d.deleteButton()->isEnabled() == remove && d.recycleButton()->isEnabled() == recycle;
}

}  // namespace

class FoldersTest : public QObject {
    Q_OBJECT
private slots:
    void rowsAreSortedIgnoringCaseWithTheirMarks() {
        FolderFixture f;
        auto dialog = f.downloadDialog();
        auto* list = dialog->list();
        QCOMPARE(list->rowCount(), 3);
        QCOMPARE(list->nameAt(0), QStringLiteral("my folder"));
        QCOMPARE(list->nameAt(1), QStringLiteral("Office"));
        QCOMPARE(list->nameAt(2), QStringLiteral("plain"));
        QCOMPARE(list->pathColumnAt(1), QString::fromStdString("*" + f.dataRoot() + "Office"));
        QCOMPARE(list->pathColumnAt(2), QString::fromStdString(" " + f.dataRoot() + "plain"));
        QVERIFY(list->columnWidth(1) > list->columnWidth(0));
    }

    void buttonsFollowTheSelection() {
        FolderFixture f;
        auto dialog = f.downloadDialog();
        QVERIFY(selectionButtons(*dialog, false, false, false, false));
        QVERIFY(!dialog->restoreButton()->isEnabled());  // nothing recycled yet

        dialog->list()->selectRow(f.rowOf(dialog->list(), QStringLiteral("plain")));
        QVERIFY(selectionButtons(*dialog, true, true, true, true));

        // A folder with subfolders is never deleted or recycled from here.
        dialog->list()->selectRow(f.rowOf(dialog->list(), QStringLiteral("Office")));
        QVERIFY(selectionButtons(*dialog, true, true, false, false));
        dialog->onDelete();
        dialog->onRecycle();
        QVERIFY(f.t.messages.shown.empty());
        QVERIFY(f.exists("data/Office/rusuroku/01"));

        dialog->list()->clearSelection();
        QVERIFY(selectionButtons(*dialog, false, false, false, false));
    }

    void loggedOutDisablesOnlyTheDownload() {
        FolderFixture f;
        f.t.context.timings.loginCheckMs = 10;
        auto dialog = f.downloadDialog();
        dialog->list()->selectRow(f.rowOf(dialog->list(), QStringLiteral("plain")));
        f.t.doc.setLoggedIn(false);
        QTRY_VERIFY(!dialog->downloadButton()->isEnabled());
        QVERIFY(dialog->renameButton()->isEnabled());
    }

    void renameRefusesDuplicatesAndEmptyNames() {
        FolderFixture f;
        CFolderNmChg dialog(f.t.context, f.dataRoot() + "plain");
        QCOMPARE(dialog.windowTitle(), QStringLiteral("フォルダ名称変更"));
        QCOMPARE(dialog.nameEdit()->text(), QStringLiteral("plain"));
        QCOMPARE(dialog.nameEdit()->maxLength(), 256);

        dialog.nameEdit()->setText(QStringLiteral("Office"));
        dialog.okButton()->click();
        QCOMPARE(f.t.messages.lastText(), QStringLiteral("フォルダ名が重複しています。"));
        QCOMPARE(f.t.messages.shown.back().caption, QStringLiteral("エラー"));
        dialog.nameEdit()->setText(QString());
        dialog.okButton()->click();
        QCOMPARE(f.t.messages.lastText(), QStringLiteral("入力値エラーです。"));
        dialog.nameEdit()->setText(QStringLiteral("../escape"));
        dialog.okButton()->click();
        QCOMPARE(f.t.messages.lastText(), QStringLiteral("入力値エラーです。"));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(f.exists("data/plain"));
        QVERIFY(!f.exists("escape"));

        dialog.nameEdit()->setText(QStringLiteral("renamed"));
        dialog.okButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(f.exists("data/renamed"));
        QVERIFY(resumed(f.t));
    }

    void renamingTheCurrentBoxFolderFollowsInTheSettings() {
        FolderFixture f;
        const std::string mailSettings = voxmg::mail::mailSettingsPath(
            std::filesystem::path(f.t.doc.settingsPath()).parent_path().string());
        voxmg::mail::MailSettings mail;
        mail.recipients["Office/rusuroku/001"] = "staff@example.com";
        QVERIFY(voxmg::mail::saveMailSettings(mail, mailSettings));
        CFolderNmChg1 dialog(f.t.context, f.dataRoot() + "Office");
        dialog.nameEdit()->setText(QStringLiteral("Office 2"));
        dialog.okButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.t.doc.settings().folderName.str(), std::u16string(u"Office 2"));
        // Its boxes keep their mail recipients.
        const std::map<std::string, std::string> recipients{{"Office 2/rusuroku/001", "staff@example.com"}};
        QVERIFY(voxmg::mail::loadMailSettings(mailSettings).recipients == recipients);
        QVERIFY(f.t.messages.shown.empty());
    }

    void recycleAndRestoreThroughTheDialogs() {
        FolderFixture f;
        QFile note(f.dir() + QStringLiteral("/data/my folder/note.txt"));
        QVERIFY(note.open(QIODevice::WriteOnly));
        note.write("kept");
        note.close();
        auto dialog = f.downloadDialog();
        dialog->list()->selectRow(f.rowOf(dialog->list(), QStringLiteral("my folder")));

        dialog->onRecycle();
        QCOMPARE(f.t.messages.shown.front().caption, QStringLiteral("削除の確認"));
        QVERIFY(!f.exists("data/my folder"));
        QCOMPARE(f.rowOf(dialog->list(), QStringLiteral("my folder")), -1);
        QVERIFY(dialog->restoreButton()->isEnabled());
        QStringList recycled =
            QDir(f.dir() + QStringLiteral("/prog/tmp")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(recycled.size(), 1);
        QVERIFY(
            QRegularExpression(QStringLiteral("^my folder_[0-7][0-9a-f]{4}$")).match(recycled[0]).hasMatch());

        whenModal<CFolderResuDlg>([](CFolderResuDlg* restore) {
            QCOMPARE(restore->windowTitle(), QStringLiteral("復活フォルダの選択"));
            QCOMPARE(restore->list()->topLevelItemCount(), 1);
            QCOMPARE(restore->list()->topLevelItem(0)->text(1), QStringLiteral("my folder"));
            restore->setChecked(0, true);
            restore->okButton()->click();
        });
        dialog->onRestore();
        QFile back(f.dir() + QStringLiteral("/data/my folder/note.txt"));
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), QByteArray("kept"));
        QVERIFY(f.rowOf(dialog->list(), QStringLiteral("my folder")) >= 0);
        QVERIFY(!dialog->restoreButton()->isEnabled());
        QVERIFY(resumed(f.t));
    }

    void completeDeleteTakesReadOnlyFiles() {
        FolderFixture f;
        const QString file = f.dir() + QStringLiteral("/data/plain/locked.vmdat");
        QFile locked(file);
        QVERIFY(locked.open(QIODevice::WriteOnly));
        locked.close();
        QVERIFY(::chmod(file.toUtf8().constData(), 0444) == 0);
        auto dialog = f.downloadDialog();
        dialog->list()->selectRow(f.rowOf(dialog->list(), QStringLiteral("plain")));

        dialog->onDelete();

        QCOMPARE(f.t.messages.shown.size(), std::size_t(2));
        QCOMPARE(f.t.messages.shown[0].caption, QStringLiteral("削除の確認"));
        QCOMPARE(f.t.messages.shown[1].caption, QStringLiteral("削除の再確認"));
        QVERIFY(!f.exists("data/plain"));
        QCOMPARE(f.rowOf(dialog->list(), QStringLiteral("plain")), -1);
    }

    void completeDeleteStopsAtTheSecondNo() {
        FolderFixture f;
        f.t.messages.answers = {true, false};
        auto dialog = f.downloadDialog();
        dialog->list()->selectRow(f.rowOf(dialog->list(), QStringLiteral("plain")));
        dialog->onDelete();
        QVERIFY(f.exists("data/plain"));
    }

    void downloadBuildsTheBoxFolderAndEndsWithOk() {
        FolderFixture f;
        bool pausedDuringListing = false;
        f.listings = [&]() -> std::optional<voxmg::BoxListings> {
            pausedDuringListing = f.t.flags.gate.pauseRequested();
            return voxmg::BoxListings{"*0001.\r\n*0002.\r\n", "*200.\r\n*../x.\r\n", ""};
        };
        auto dialog = f.downloadDialog();
        dialog->list()->selectRow(f.rowOf(dialog->list(), QStringLiteral("plain")));

        dialog->onDownload();

        QCOMPARE(f.t.messages.shown[0].text, QStringLiteral("plainにダウンロードします。\nよろしいですか？"));
        QCOMPARE(f.t.messages.lastText(), QStringLiteral("フォルダのダウンロードが正常に完了しました。"));
        QCOMPARE(f.t.messages.shown.back().caption, QStringLiteral("ダウンロード完了"));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(pausedDuringListing);
        QVERIFY(resumed(f.t));
        QVERIFY(f.exists("data/plain/rusuroku/0001/inf.ini"));
        QVERIFY(f.exists("data/plain/naisen/200"));
        QVERIFY(f.exists("data/plain/outou"));
        QVERIFY(!f.exists("data/x"));  // a box name from the main unit never leaves its folder
        QCOMPARE(voxmg::profile::readInt(f.dataRoot() + "plain/rusuroku/0001/inf.ini", u"INF", u"MAKE", -1),
                 0);
        QCOMPARE(dialog->chosenFolder(), f.dataRoot() + "plain");
        QCOMPARE(f.t.doc.settings().folderName.str(), std::u16string(u"plain"));
    }

    void cancellingTheDownloadLeavesNoHalfBuiltFolder() {
        FolderFixture f;
        f.listings = [&]() -> std::optional<voxmg::BoxListings> {
            // The user presses キャンセル while the main unit answers.
            auto* progress = qobject_cast<CPrgFileDwnDlg*>(QApplication::activeModalWidget());
            if (progress != nullptr) {
                progress->cancelButton()->click();
            }
            return voxmg::BoxListings{"0001\r\n0002\r\n", "200\r\n", ""};
        };
        auto dialog = f.downloadDialog();
        dialog->list()->selectRow(f.rowOf(dialog->list(), QStringLiteral("plain")));

        dialog->onDownload();

        QCOMPARE(f.t.flags.cancelAll.load(), 1);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(f.t.messages.shown.size(), std::size_t(1));  // the question only
        QVERIFY(f.exists("data/plain"));
        QVERIFY(QDir(f.dir() + QStringLiteral("/data/plain")).isEmpty());
        QVERIFY(resumed(f.t));
    }

    void failedListingReportsACommunicationError() {
        FolderFixture f;
        auto dialog = f.downloadDialog();
        dialog->list()->selectRow(f.rowOf(dialog->list(), QStringLiteral("plain")));
        dialog->onDownload();
        QCOMPARE(f.t.messages.lastText(), QStringLiteral("通信エラーが発生しました。"));
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(QDir(f.dir() + QStringLiteral("/data/plain")).isEmpty());
    }

    void addedFolderBecomesTheDataRootAndBoxFolder() {
        FolderFixture f;
        QDir(f.dir()).mkpath(QStringLiteral("elsewhere/new box"));
        f.t.choosers.folder = f.dir() + QStringLiteral("/elsewhere/new box");
        f.t.messages.answers = {false, true};  // No to the first network warning
        auto dialog = f.downloadDialog();
        int asked = 0;
        dialog->setNetworkTest([&](const std::string&) {
            ++asked;
            return true;
        });

        dialog->onAdd();

        QCOMPARE(asked, 2);
        QCOMPARE(f.t.messages.shown[0].caption, QStringLiteral("ドライブの確認"));
        QCOMPARE(f.t.doc.dataRoot(), f.t.root() + "elsewhere/");
        QCOMPARE(f.t.doc.boxFolderName(), std::string("new box"));
        QCOMPARE(f.rowOf(dialog->list(), QStringLiteral("new box")), 0);
        for (auto* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("キャンセル")) {
                button->click();  // after an add it ends with OK
            }
        }
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->chosenFolder(), f.t.root() + "elsewhere/new box");
    }

    void changeDialogListsBoxFoldersOnly() {
        FolderFixture f;
        QDir(f.dir()).mkpath(QStringLiteral("data/Full/naisen/300"));
        QFile message(f.dir() + QStringLiteral("/data/Full/naisen/300/202401011200_001_0300_00001.vmdat"));
        QVERIFY(message.open(QIODevice::WriteOnly));
        message.close();
        CFolderChgDlg dialog(f.t.context);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("フォルダ変更"));
        auto* list = dialog.list();
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->nameAt(0), QStringLiteral("Full"));
        QCOMPARE(list->pathColumnAt(0).left(1), QStringLiteral(" "));  // holds messages
        QCOMPARE(list->pathColumnAt(1).left(1), QStringLiteral("*"));  // boxes, all empty
        QVERIFY(!dialog.changeButton()->isEnabled());
        QVERIFY(!dialog.renameButton()->isEnabled());

        list->selectRow(0);
        QVERIFY(dialog.changeButton()->isEnabled());
        dialog.onChange();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.t.doc.boxFolderName(), std::string("Full"));
        QVERIFY(resumed(f.t));
    }

    void renameFromTheChangeDialogClearsTheSelection() {
        FolderFixture f;
        CFolderChgDlg dialog(f.t.context);
        dialog.list()->selectRow(0);
        whenModal<CFolderNmChg1>([](CFolderNmChg1* rename) {
            rename->nameEdit()->setText(QStringLiteral("Branch"));
            rename->okButton()->click();
        });
        dialog.onRename();
        QCOMPARE(dialog.list()->nameAt(0), QStringLiteral("Branch"));
        QVERIFY(!dialog.changeButton()->isEnabled());
        QVERIFY(!dialog.renameButton()->isEnabled());
    }

    void frameButtonsOpenTheDialogsAndShowTheNewFolder() {
        FolderFixture f;
        QDir(f.dir()).mkpath(QStringLiteral("data/Branch/rusuroku/02"));
        SessionLog log;
        CMainFrame frame(f.t.context, scriptedSessions(log));
        installFolderCommands(frame);
        frame.setFolderText();
        frame.updateCommandStates();
        QVERIFY(frame.commandBar()->button(Command::FolderDownload)->isEnabled());
        QVERIFY(frame.commandBar()->button(Command::FolderChange)->isEnabled());
        QVERIFY(frame.commandBar()->folderField()->fieldText().endsWith(QStringLiteral("Office")));

        whenModal<CFolderChgDlg>([](CFolderChgDlg* dialog) {
            dialog->list()->selectRow(0);  // "Branch"
            dialog->changeButton()->click();
        });
        frame.onCommand(Command::FolderChange);
        QCOMPARE(f.t.doc.boxFolderName(), std::string("Branch"));
        QVERIFY(frame.commandBar()->folderField()->fieldText().endsWith(QStringLiteral("Branch")));

        // Without a connection the listing fails: the folder download reports it.
        whenModal<CFolderDwnDlg>([&f](CFolderDwnDlg* dialog) {
            dialog->list()->selectRow(f.rowOf(dialog->list(), QStringLiteral("plain")));
            dialog->downloadButton()->click();
        });
        frame.onCommand(Command::FolderDownload);
        QCOMPARE(f.t.messages.lastText(), QStringLiteral("通信エラーが発生しました。"));
        QVERIFY(QDir(f.dir() + QStringLiteral("/data/plain")).isEmpty());
    }
};

VOXMG_GUI_TEST_MAIN(FoldersTest)
#include "folders_test.moc"
