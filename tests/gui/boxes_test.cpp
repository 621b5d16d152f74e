#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>

#include "core/base/text.h"
#include "fakes.h"
#include "gui/app/box_commands.h"
#include "gui/app/main_frame.h"
#include "gui/exchange/import_set_dlg.h"
#include "gui/store/box_edit_list_ctrl.h"
#include "gui/store/box_fld_name_chg_dlg.h"
#include "gui/store/box_name_chg_dlg.h"
#include "gui/store/make_box_fld_dlg.h"

namespace {

// Writes a file (CP932 when `cp932`), making its folder.
void put(const std::string& path, const std::string& utf8, bool cp932 = true) {
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
    QFile file(QString::fromStdString(path));
    file.open(QIODevice::WriteOnly);
    const std::string bytes = cp932 ? voxmg::text::cp932FromUtf8(utf8) : utf8;
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string read(const std::string& path) {
    QFile file(QString::fromStdString(path));
    file.open(QIODevice::ReadOnly);
    return voxmg::text::utf8FromCp932(file.readAll().toStdString());
}

// Box folder "office": main unit boxes rusuroku/0101 and naisen/201, user box rusuroku/私用.
std::string boxFolder(TestContext& t) {
    t.doc.settings().folder = voxmg::text::utf16FromUtf8(t.root());
    t.doc.settings().folderName = u"office";
    const std::string b = t.root() + "office";
    put(b + "/rusuroku/0101/inf.ini", "[INF]\r\nNAME=\"受付\"\r\nMAKE=0\r\n");
    put(b + "/naisen/201/inf.ini", "[INF]\r\nNAME=\"\"\r\nMAKE=0\r\n");
    put(b + "/rusuroku/私用/inf.ini", "[INF]\r\nMAKE=1\r\n");
    return b;
}

void edit(BoxEditListCtrl* list, int row, const QString& text) {
    list->topLevelItem(row)->setText(BoxEditListCtrl::kEditColumn, text);
}

}  // namespace

class BoxesTest : public QObject {
    Q_OBJECT

private slots:
    void theMenuItemsFollowTheBoxFolder() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        installBoxCommands(frame);
        const std::string b = t.root() + "office";
        t.doc.settings().folder = voxmg::text::utf16FromUtf8(t.root());
        t.doc.settings().folderName = u"office";
        const auto items = {Command::EditBoxNames, Command::CreateBoxFolder, Command::RenameBoxFolder,
                            Command::ImportBoxNames};
        QDir().mkpath(QString::fromStdString(b + "/rusuroku"));
        frame.updateSettingsMenu();
        for (Command id : items) {
            QVERIFY(!frame.settingsAction(id)->isEnabled());
        }
        QDir().mkpath(QString::fromStdString(b + "/naisen"));
        frame.updateSettingsMenu();
        QVERIFY(frame.settingsAction(Command::CreateBoxFolder)->isEnabled());
        QVERIFY(!frame.settingsAction(Command::RenameBoxFolder)->isEnabled());
        boxFolder(t);
        frame.updateSettingsMenu();
        for (Command id : items) {
            QVERIFY(frame.settingsAction(id)->isEnabled());
        }

        // Through the menu: a name edited, confirmed, written and told.
        whenModal<CBoxNameChgDlg>([](CBoxNameChgDlg* dialog) {
            edit(dialog->naisenList(), 0, QStringLiteral("あいうえお"));
            dialog->okButton()->click();
        });
        frame.onMenuCommand(Command::EditBoxNames);
        QCOMPARE(t.messages.shown.size(), 2u);
        QCOMPARE(t.messages.shown[0].caption, QStringLiteral("登録の確認"));
        QCOMPARE(t.messages.lastText(), QStringLiteral("ＢＯＸ名称の登録が完了しました。"));
        QCOMPARE(t.messages.shown.back().caption, QStringLiteral("登録完了"));
        QCOMPARE(read(b + "/naisen/201/inf.ini"), std::string("[INF]\r\nNAME=\"あいうえお\"\r\nMAKE=0\r\n"));
        QCOMPARE(read(b + "/rusuroku/私用/inf.ini"), std::string("[INF]\r\nMAKE=1\r\nNAME=\"\"\r\n"));
    }

    void aBadBoxNameKeepsTheDialogOpen_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("six double-byte") << QStringLiteral("あいうえおか");
        QTest::newRow("comma") << QStringLiteral("山田,太郎");
    }
    void aBadBoxNameKeepsTheDialogOpen() {
        QFETCH(QString, name);
        TestContext t;
        const std::string b = boxFolder(t);
        CBoxNameChgDlg dialog(t.context);
        QCOMPARE(dialog.rusurokuList()->rowCount(), 2);
        QCOMPARE(dialog.rusurokuList()->editText(0), QStringLiteral("受付"));
        edit(dialog.rusurokuList(), 0, name);
        dialog.okButton()->click();
        QCOMPARE(t.messages.shown.size(), 1u);
        QCOMPARE(t.messages.lastText(), QStringLiteral("入力値エラーです。"));
        QCOMPARE(dialog.result(), 0);
        QCOMPARE(read(b + "/rusuroku/0101/inf.ini"), std::string("[INF]\r\nNAME=\"受付\"\r\nMAKE=0\r\n"));
    }

    void renameListsUserBoxesAndRefusesOneNameTwice() {
        TestContext t;
        const std::string b = boxFolder(t);
        put(b + "/naisen/予備/inf.ini", "[INF]\r\nMAKE=1\r\n");
        CBoxFldNameChgDlg dialog(t.context);
        QCOMPARE(dialog.rusurokuList()->rowCount(), 1);  // 0101 came from the main unit
        QCOMPARE(dialog.rusurokuList()->editText(0), QStringLiteral("私用"));
        edit(dialog.rusurokuList(), 0, QStringLiteral("0101"));
        QCOMPARE(dialog.rusurokuList()->fixedText(0), QStringLiteral("1"));
        dialog.okButton()->click();
        QCOMPARE(t.messages.lastText(), QStringLiteral("フォルダ名が重複しています。"));

        edit(dialog.rusurokuList(), 0, QStringLiteral("共用"));
        edit(dialog.naisenList(), 0, QStringLiteral("共用"));  // another kind: another folder
        dialog.okButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(QFileInfo::exists(QString::fromStdString(b + "/rusuroku/共用/inf.ini")));
        QVERIFY(QFileInfo::exists(QString::fromStdString(b + "/naisen/共用/inf.ini")));
    }

    // Boxes from the main unit only: nothing to rename, and the user is told why.
    void renameWithoutUserBoxesSaysSoInsteadOfEmptyLists() {
        TestContext t;
        const std::string b = boxFolder(t);
        std::filesystem::remove_all(b + "/rusuroku/私用");
        CBoxFldNameChgDlg dialog(t.context);
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(
            t.messages.lastText().startsWith(QStringLiteral("ＰＣで作成したボックスフォルダがありません。")));
    }

    void makeDialogRemembersTheKindAndRefusesDuplicates() {
        TestContext t;
        const std::string b = boxFolder(t);
        auto kind = voxmg::boxes::BoxKind::Answer;
        {
            CMakeBoxFldDlg dialog(t.context, kind);
            QVERIFY(dialog.answerRadio()->isChecked());
            dialog.extensionRadio()->setChecked(true);
            dialog.nameField()->setText(QStringLiteral("201"));
            dialog.okButton()->click();
            QCOMPARE(t.messages.lastText(), QStringLiteral("フォルダ名が重複しています。"));
            dialog.nameField()->setText(QStringLiteral("応接室"));
            dialog.okButton()->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QCOMPARE(read(b + "/naisen/応接室/inf.ini"), std::string("[INF]\r\nMAKE=1\r\nAutoDel=0\r\n"));
        CMakeBoxFldDlg again(t.context, kind);
        QVERIFY(again.extensionRadio()->isChecked());
        QCOMPARE(again.nameField()->maxLength(), 14);
    }

    // A script holding the data folder (here tests/support/hold_lock.py) keeps the window's
    // change out, with a word to the user, until it lets go.
    void anotherRunHoldingTheDataFolderKeepsTheChangeOut() {
        TestContext t;
        const std::string b = boxFolder(t);
        t.context.timings.dataLockWaitMs = 0;
        QProcess holder;
        holder.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(VOXMG_SOURCE_DIR "/tests/support/hold_lock.py"),
                      QString::fromStdString(t.root() + ".voxmg.lock")});
        QVERIFY(holder.waitForReadyRead(10000));
        auto kind = voxmg::boxes::BoxKind::Answer;
        CMakeBoxFldDlg dialog(t.context, kind);
        dialog.nameField()->setText(QStringLiteral("応接室"));
        dialog.okButton()->click();
        QCOMPARE(t.messages.lastText(), QStringLiteral("他の操作が実行中です。"));
        QVERIFY(!QFileInfo::exists(QString::fromStdString(b + "/rusuroku/応接室")));

        holder.kill();
        QVERIFY(holder.waitForFinished(10000));
        dialog.okButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(QFileInfo::exists(QString::fromStdString(b + "/rusuroku/応接室/inf.ini")));
    }

    // A lock file that cannot be used (here a folder by its name) is no reason to write unlocked.
    void aLockFileThatCannotBeUsedKeepsTheChangeOut() {
        TestContext t;
        const std::string b = boxFolder(t);
        QVERIFY(QDir().mkpath(QString::fromStdString(t.root() + ".voxmg.lock")));
        auto kind = voxmg::boxes::BoxKind::Answer;
        CMakeBoxFldDlg dialog(t.context, kind);
        dialog.nameField()->setText(QStringLiteral("応接室"));
        dialog.okButton()->click();
        QCOMPARE(t.messages.lastText(),
                 QStringLiteral("書き込みできません。\n") + QString::fromStdString(t.root() + ".voxmg.lock"));
        QVERIFY(!QFileInfo::exists(QString::fromStdString(b + "/rusuroku/応接室")));
    }

    void importTakesTheChosenFileAndStaysOpenOnABadOne() {
        TestContext t;
        const std::string b = boxFolder(t);
        const std::string good = t.root() + "csv/good.csv";
        put(good, "電話帳\r\n収容位置,内線番号,内線名称,ヨミガナ\r\n1,201,山田,ﾔﾏﾀﾞ\r\n");
        put(t.root() + "csv/bad.csv", "電話帳\r\n番号,名前\r\n1,201,佐藤,ｻﾄｳ\r\n");

        t.doc.settings().importPath = voxmg::text::utf16FromUtf8(t.root() + "csv/");
        t.doc.settings().importName = u"bad.csv";
        CImportSetDlg dialog(t.context);
        QCOMPARE(dialog.folderField()->text(), QString::fromStdString(t.root() + "csv"));
        QVERIFY(dialog.okButton()->isEnabled());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const int idle = dialog.height();
        dialog.progressBar()->show();  // grown as while a long import runs
        QTRY_VERIFY(dialog.height() > idle);
        dialog.okButton()->click();
        QCOMPARE(t.messages.lastText(), QStringLiteral("インポートエラー"));
        QCOMPARE(dialog.height(), idle);  // no gap where the bar was
        QCOMPARE(dialog.windowTitle(), QStringLiteral("インポート設定"));
        QVERIFY(dialog.okButton()->isEnabled());
        QVERIFY(!dialog.progressBar()->isVisibleTo(&dialog));
        QCOMPARE(read(b + "/naisen/201/inf.ini"), std::string("[INF]\r\nNAME=\"\"\r\nMAKE=0\r\n"));

        t.choosers.file = QString::fromStdString(good);
        dialog.chooseButton()->click();
        QCOMPARE(dialog.fileField()->text(), QStringLiteral("good.csv"));
        dialog.okButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(read(b + "/naisen/201/inf.ini"), std::string("[INF]\r\nNAME=山田\r\nMAKE=0\r\n"));
        QCOMPARE(t.doc.settings().importName.str(), std::u16string(u"good.csv"));
    }
};

VOXMG_GUI_TEST_MAIN(BoxesTest)
#include "boxes_test.moc"
