#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "core/base/profile_file.h"
#include "fakes.h"
#include "gui/base/check_list_ctrl.h"
#include "gui/base/prg_file_dwn_dlg.h"
#include "gui/device/down_kind_set_dlg.h"
#include "gui/device/download_confirm.h"
#include "gui/device/download_runner.h"
#include "gui/device/sel_auto_del_dlg.h"
#include "gui/device/sel_down_dlg.h"

namespace {

struct RecordingRunner : DownloadRunner {
    int bulkDownload(bool infoOnly) override {
        calls.push_back(infoOnly ? "bulk-info" : "bulk");
        return 0;
    }
    int selectedDownload(const BoxChoice& boxes, bool infoOnly) override {
        calls.push_back(std::string(infoOnly ? "selected-info:" : "selected:") +
                        std::to_string(boxes.rusuroku.size()) + "/" + std::to_string(boxes.naisen.size()));
        return 0;
    }
    int responseDownload() override {
        calls.push_back("response");
        return 0;
    }
    std::vector<std::string> calls;
};

// A box folder "office" with boxes 01, 02 and 200, 201 under the test's data root.
void makeBoxFolder(TestContext& t) {
    QDir root(QString::fromStdString(t.root()));
    for (const char* box :
         {"office/rusuroku/01", "office/rusuroku/02", "office/naisen/200", "office/naisen/201"}) {
        QVERIFY(root.mkpath(QString::fromLatin1(box)));
    }
    t.doc.settings().folder = voxmg::text::utf16FromUtf8(t.root());
    t.doc.settings().folderName = u"office";
}

// Logged in, with the box folder above as the current one.
struct LoggedInAtBoxFolder {
    LoggedInAtBoxFolder() {
        makeBoxFolder(t);
        t.doc.setLoggedIn(true);
    }
    TestContext t;
    RecordingRunner runner;
};

}  // namespace

class DownloadTest : public QObject {
    Q_OBJECT

private slots:
    void downloadButtonsGoOffWithinASecondWhenLoggedOut() {
        LoggedInAtBoxFolder f;
        auto& t = f.t;
        auto& runner = f.runner;
        CSelDownDlg select(t.context, runner);
        CDownKindSetDlg kind(t.context, runner);
        select.show();
        kind.show();
        QTest::qWait(50);
        QVERIFY(select.fullButton()->isEnabled());
        t.doc.setLoggedIn(false);
        // The watches' own timers switch the buttons off (a generous wait: it ends as they do).
        QTRY_VERIFY_WITH_TIMEOUT(!select.fullButton()->isEnabled() && !select.infoOnlyButton()->isEnabled(),
                                 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!kind.fullButton()->isEnabled() && !kind.infoOnlyButton()->isEnabled(),
                                 10000);
        // Once off they stay off, even when the user logs in meanwhile: the next checks say so.
        t.doc.setLoggedIn(true);
        select.boxRadio()->click();
        select.loginWatch()->check();
        kind.loginWatch()->check();
        QVERIFY(!select.fullButton()->isEnabled());
        QVERIFY(!select.infoOnlyButton()->isEnabled());
        QVERIFY(!kind.fullButton()->isEnabled());
    }

    void emptyBoxFolderNameMakesTheButtonsDoNothing() {
        TestContext t;
        RecordingRunner runner;
        t.doc.setLoggedIn(true);
        CDownKindSetDlg kind(t.context, runner);
        kind.show();
        kind.fullButton()->click();
        kind.infoOnlyButton()->click();
        CSelDownDlg select(t.context, runner);
        select.show();
        select.fullButton()->click();
        QVERIFY(t.messages.shown.empty());
        QVERIFY(runner.calls.empty());
        QVERIFY(kind.isVisible());
        QVERIFY(select.isVisible());
    }

    void bulkDownloadRunsOnlyAfterYes() {
        LoggedInAtBoxFolder f;
        auto& t = f.t;
        auto& runner = f.runner;
        CDownKindSetDlg kind(t.context, runner);
        kind.show();
        t.messages.answers = {false, true};
        kind.infoOnlyButton()->click();
        QVERIFY(runner.calls.empty());
        QCOMPARE(t.messages.shown.back().text,
                 QStringLiteral("officeにダウンロードします。\nよろしいですか？"));
        QCOMPARE(t.messages.shown.back().caption, QStringLiteral("ダウンロード確認画面"));
        kind.infoOnlyButton()->click();
        QCOMPARE(runner.calls, std::vector<std::string>{"bulk-info"});
        QCOMPARE(kind.result(), int(QDialog::Accepted));
    }

    void boxSelectionNeedsARowAndHandsOverTheChosenBoxes() {
        LoggedInAtBoxFolder f;
        auto& t = f.t;
        auto& runner = f.runner;
        CSelDownDlg select(t.context, runner);
        select.show();
        QCOMPARE(select.rusurokuList()->topLevelItemCount(), 2);
        QCOMPARE(select.destination()->text(), QString::fromStdString(t.root() + "office"));
        select.fullButton()->click();
        QCOMPARE(t.messages.lastText(), QStringLiteral("選択されていません。"));
        QVERIFY(select.isVisible());

        select.naisenList()->toggle(1);
        select.fullButton()->click();
        QCOMPARE(runner.calls, std::vector<std::string>{"selected:0/1"});
        QCOMPARE(select.result(), int(QDialog::Accepted));
    }

    void responseChoiceDisablesTheInfoOnlyButton() {
        LoggedInAtBoxFolder f;
        auto& t = f.t;
        auto& runner = f.runner;
        CSelDownDlg select(t.context, runner);
        select.show();
        select.responseRadio()->click();
        QVERIFY(!select.infoOnlyButton()->isEnabled());
        QVERIFY(!select.rusurokuList()->isEnabled());
        select.fullButton()->click();
        QCOMPARE(runner.calls, std::vector<std::string>{"response"});
    }

    void autoDeleteSelectionIsWrittenForEveryBoxAtOnce() {
        TestContext t;
        makeBoxFolder(t);
        CSelAutoDelDlg dialog(t.context);
        QCOMPARE(dialog.rusurokuList()->topLevelItemCount(), 2);
        dialog.rusurokuList()->toggle(1);
        dialog.naisenList()->setAll(true);
        dialog.naisenList()->toggle(0);
        t.messages.answers = {false, true};
        dialog.okButton()->click();
        QVERIFY(!QFile::exists(QString::fromStdString(t.doc.settingsPath())));  // No: nothing written
        dialog.okButton()->click();
        QCOMPARE(t.messages.shown.back().caption, QStringLiteral("自動消去の確認"));
        const auto file = voxmg::ProfileFile::load(t.doc.settingsPath());
        QCOMPARE(file.readString(u"rusuroku", u"01", u""), std::u16string(u"0"));
        QCOMPARE(file.readString(u"rusuroku", u"02", u""), std::u16string(u"1"));
        QCOMPARE(file.readString(u"naisen", u"200", u""), std::u16string(u"0"));
        QCOMPARE(file.readString(u"naisen", u"201", u""), std::u16string(u"1"));

        // Opened again, the rows show what was stored.
        CSelAutoDelDlg again(t.context);
        QVERIFY(again.rusurokuList()->isChosen(1));
        QVERIFY(!again.naisenList()->isChosen(0));
    }

    void checkCellsShowThePictureAndKeepTheirValue() {
        LoggedInAtBoxFolder f;
        CSelDownDlg select(f.t.context, f.runner);
        CSelAutoDelDlg autoDelete(f.t.context);
        select.show();
        autoDelete.show();
        QVERIFY(QTest::qWaitForWindowExposed(&autoDelete));
        for (CCheckListCtrl* list : {select.rusurokuList(), autoDelete.naisenList()}) {
            auto cellPicture = [list](int row) {
                return list->viewport()->grab(list->visualRect(list->model()->index(row, 0))).toImage();
            };
            const QImage before = cellPicture(0);
            QCOMPARE(before, cellPicture(1));
            list->toggle(0);
            QCOMPARE(list->value(0), QStringLiteral("1"));
            QCOMPARE(list->value(1), QStringLiteral("0"));
            QVERIFY(cellPicture(0) != before);
            for (int row = 0; row < 2; ++row) {
                QVERIFY(list->model()->index(row, 0).data(Qt::DisplayRole).toString().isEmpty());
            }
        }
    }

    void autoDeleteWithoutBoxesSaysSoAndCloses() {
        TestContext t;
        CSelAutoDelDlg dialog(t.context);
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(t.messages.lastText(),
                 QStringLiteral("フォルダにボックス情報がありません。\n確認ください。"));
    }

    void progressCancelStopsEveryTransfer() {
        voxmg::Flags flags;
        CPrgFileDwnDlg progress(flags);
        progress.show();
        progress.setMessageCount(4);
        progress.setRange(10);  // a 10 KB voice file
        progress.setPosition(4);
        QCOMPARE(progress.bar()->value(), 4);
        progress.setPosition(-1);  // file done
        QCOMPARE(progress.bar()->value(), 10);
        progress.nextFile();
        QCOMPARE(progress.counter()->text(), QStringLiteral("1／4"));
        progress.cancelButton()->click();
        QCOMPARE(flags.cancelAll.load(), 1);
    }
};

VOXMG_GUI_TEST_MAIN(DownloadTest)
#include "download_test.moc"
