// The progress dialogs built on StepProgressDlg: what キャンセル, Escape and the title bar close
// do in each, and how the bar follows an engine's range and position.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

#include "fakes.h"
#include "gui/audio/wav_conv_dlg.h"
#include "gui/automation/backup_dialogs.h"
#include "gui/base/prg_file_dwn_dlg.h"
#include "gui/base/step_progress_dlg.h"
#include "gui/lists/prg_add_msg_dlg.h"
#include "gui/lists/prg_open_dlg.h"
#include "gui/store/folder_del_prg_dlg.h"

using Make = std::function<StepProgressDlg*(TestContext&)>;
enum class Act { Button, Escape, Close };

Q_DECLARE_METATYPE(Make)
Q_DECLARE_METATYPE(Act)

class ProgressTest : public QObject {
    Q_OBJECT
private slots:
    void stopRequests_data() {
        QTest::addColumn<Make>("make");
        QTest::addColumn<Act>("act");
        QTest::addColumn<int>("cancelAll");
        QTest::addColumn<bool>("stillShown");
        QTest::addColumn<bool>("buttonLeftEnabled");
        const Make step = [](TestContext& t) {
            return new StepProgressDlg(t.flags, QStringLiteral("消去中"), QStringLiteral("x"));
        };
        const Make download = [](TestContext& t) { return new CPrgFileDwnDlg(t.flags); };
        const Make import = [](TestContext& t) { return new CPrgAddMsgDlg(t.flags); };
        const Make convert = [](TestContext& t) { return new CWavConvDlg(t.flags, 2); };
        const Make backup = [](TestContext& t) { return new CPrgAbackUpDlg(t.context); };
        const Make folderDelete = [](TestContext&) { return new CFolderDelPrgDlg; };
        const Make listOpen = [](TestContext&) { return new CPrgOpenDlg; };
        // Pressed once, キャンセル goes grey: the request is made and seen to be made.
        QTest::newRow("step button") << step << Act::Button << 1 << true << false;
        QTest::newRow("step escape") << step << Act::Escape << 1 << true << false;
        QTest::newRow("step close") << step << Act::Close << 1 << true << false;
        QTest::newRow("download button") << download << Act::Button << 1 << true << false;
        QTest::newRow("download escape") << download << Act::Escape << 1 << true << false;
        // A key pressed by habit must not throw away a long conversion of an import.
        QTest::newRow("import button") << import << Act::Button << 1 << true << false;
        QTest::newRow("import escape") << import << Act::Escape << 0 << true << true;
        QTest::newRow("import close") << import << Act::Close << 0 << true << true;
        // The conversion's dialog goes at once; the conversion stops when it sees the flag.
        QTest::newRow("convert button") << convert << Act::Button << 1 << false << true;
        QTest::newRow("convert escape") << convert << Act::Escape << 1 << false << true;
        // Only キャンセル stops a backup, and it can be pressed again.
        QTest::newRow("backup button") << backup << Act::Button << 1 << true << true;
        QTest::newRow("backup escape") << backup << Act::Escape << 0 << true << true;
        QTest::newRow("backup close") << backup << Act::Close << 0 << true << true;
        // No キャンセル: the work runs to its end with its dialog up.
        QTest::newRow("folder delete escape") << folderDelete << Act::Escape << 0 << true << true;
        QTest::newRow("folder delete close") << folderDelete << Act::Close << 0 << true << true;
        QTest::newRow("list open escape") << listOpen << Act::Escape << 0 << true << true;
        QTest::newRow("list open close") << listOpen << Act::Close << 0 << true << true;
    }
    void stopRequests() {
        QFETCH(Make, make);
        QFETCH(Act, act);
        QFETCH(int, cancelAll);
        QFETCH(bool, stillShown);
        QFETCH(bool, buttonLeftEnabled);
        TestContext t;
        std::unique_ptr<StepProgressDlg> dialog(make(t));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        if (act == Act::Button) {
            QVERIFY(dialog->cancelButton() != nullptr);
            dialog->cancelButton()->click();
        } else if (act == Act::Escape) {
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        } else {
            dialog->close();
        }
        QCOMPARE(t.flags.cancelAll.load(), cancelAll);
        QCOMPARE(dialog->isVisible(), stillShown);
        if (dialog->cancelButton() != nullptr) {
            QCOMPARE(dialog->cancelButton()->isEnabled(), buttonLeftEnabled);
            QCOMPARE(dialog->cancelButton()->text(), QStringLiteral("キャンセル"));
        }
    }

    void aDialogWithoutCancelHasNoButton() {
        for (StepProgressDlg* dialog : {static_cast<StepProgressDlg*>(new CFolderDelPrgDlg),
                                        static_cast<StepProgressDlg*>(new CPrgOpenDlg)}) {
            std::unique_ptr<StepProgressDlg> owned(dialog);
            QCOMPARE(owned->cancelButton(), nullptr);
            QCOMPARE(owned->findChildren<QPushButton*>().size(), 0);
        }
    }

    void theBarFollowsRangeAndPosition_data() {
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::newRow("inside") << 10 << 4 << 10 << 4;
        QTest::newRow("past the end") << 10 << 15 << 10 << 10;
        QTest::newRow("below zero") << 10 << -3 << 10 << 0;
        // An empty range still draws a bar, with room for one step.
        QTest::newRow("empty range") << 0 << 3 << 1 << 1;
        QTest::newRow("negative range") << -5 << 0 << 1 << 0;
    }
    void theBarFollowsRangeAndPosition() {
        QFETCH(int, range);
        QFETCH(int, position);
        QFETCH(int, maximum);
        QFETCH(int, value);
        voxmg::Flags flags;
        StepProgressDlg dialog(flags, QStringLiteral("移動中"), QStringLiteral("x"));
        dialog.setRange(range);
        dialog.setPosition(position);
        QCOMPARE(dialog.bar()->maximum(), maximum);
        QCOMPARE(dialog.bar()->value(), value);
    }

    void aNewRangeStartsTheBarFromEmpty() {
        voxmg::Flags flags;
        StepProgressDlg dialog(flags, QStringLiteral("移動中"), QStringLiteral("x"));
        dialog.setRange(10);
        dialog.setPosition(7);
        dialog.setRange(20);
        QCOMPARE(dialog.bar()->value(), 0);
    }

    // The download counts messages under the bar; the count stops at the expected number even
    // when the engine reports more files than it announced.
    void theDownloadCounterStopsAtTheExpectedCount() {
        voxmg::Flags flags;
        CPrgFileDwnDlg dialog(flags);
        QVERIFY(dialog.counter() != nullptr);
        QVERIFY(dialog.counter()->text().isEmpty());
        dialog.setMessageCount(2);
        QCOMPARE(dialog.counter()->text(), QStringLiteral("0／2"));
        for (int i = 0; i < 3; ++i) {
            dialog.nextFile();
        }
        QCOMPARE(dialog.counter()->text(), QStringLiteral("2／2"));
        // -1 marks the file done whatever its size; other negatives leave the bar be.
        dialog.setRange(50);
        dialog.setPosition(20);
        dialog.setPosition(-2);
        QCOMPARE(dialog.bar()->value(), 20);
        dialog.setPosition(-1);
        QCOMPARE(dialog.bar()->value(), 50);
    }
};

VOXMG_GUI_TEST_MAIN(ProgressTest)
#include "progress_test.moc"
