#include <QDir>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/device/ftp_mng.h"
#include "fakes.h"
#include "gui/app/command_bar.h"
#include "gui/app/ip_address_ctrl.h"
#include "gui/app/login_dlg.h"
#include "gui/app/main_frame.h"
#include "gui/app/vox_app.h"
#include "gui/lists/del_kind_set_dlg.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_model.h"
#include "gui/lists/list_windows.h"
#include "sim/simulator.h"
#include "sim_app.h"

// "音声ﾃﾞｰﾀﾀﾞｳﾝﾛｰﾄﾞ" and "消去" from the command bar, with the real client against the main
// unit simulator.
class DeleteTest : public QObject {
    Q_OBJECT

private slots:
    void fetchVoiceThenDeleteOnThePcAndOnBoth() {
        SimulatedUnit unit(true);
        QVERIFY(unit.ok);
        TestContext t;
        CVOXMGApp app(optionsFor(t, unit.sim->port()));
        QVERIFY(app.start());
        CMainFrame* frame = app.frame();

        logInThroughDialog(app);
        QVERIFY(app.doc().loggedIn());

        // The recording info of extension box 201 only (two messages).
        const std::string root = t.root() + "data/";
        const std::string box = root + "office/naisen/201";
        QVERIFY(QDir().mkpath(QString::fromStdString(box)));
        app.doc().settings().folder = voxmg::text::utf16FromUtf8(root);
        app.doc().settings().folderName = u"office";
        frame->setFolderText();
        QCOMPARE(frame->session().acquire()->downloadBoxInfoOnly(box, "/naisen/201").handled, 2);
        app.doc().settings().disp[0] = u"内線BOX：201";
        app.doc().settings().folderNames[0] = u"office";
        QVERIFY(frame->openList(1));
        CListDispView* list = app.lists()->view(1);
        QCOMPARE(list->counts().listTotal, 2LL);

        auto selectAll = [list] { list->table()->selectAll(); };
        auto button = [frame](Command id) { return frame->commandBar()->button(id); };
        auto files = [&box](const char* pattern) {
            return QDir(QString::fromStdString(box)).entryList({QString::fromLatin1(pattern)}).size();
        };

        // Info-only messages in the list and logged in: enabled before anything is chosen.
        frame->updateCommandStates();
        QVERIFY(button(Command::VoiceDownload)->isEnabled());
        selectAll();
        t.messages.answers = {true};
        button(Command::VoiceDownload)->click();
        QCOMPARE(t.messages.shown.at(t.messages.shown.size() - 2).text,
                 QStringLiteral("officeにダウンロードします。\nよろしいですか？"));
        QCOMPARE(t.messages.lastText(), QStringLiteral("ファイルのダウンロードが正常に完了しました。"));
        QCOMPARE(files("*.vmdat"), 2);
        QVERIFY(frame->centralWidget()->isEnabled());
        frame->updateCommandStates();
        QVERIFY(!button(Command::VoiceDownload)->isEnabled());  // nothing info-only left

        // The first row on the PC only: the main unit keeps it.
        list->table()->clearSelection();
        list->table()->selectRow(0);
        frame->updateCommandStates();
        QVERIFY(button(Command::Delete)->isEnabled());
        whenModal<CDelKindSetDlg>([](CDelKindSetDlg* dialog) {
            QVERIFY(dialog->unitButton()->isEnabled());
            dialog->pcButton()->click();
        });
        t.messages.answers = {true};
        button(Command::Delete)->click();
        QCOMPARE(t.messages.lastText(), QStringLiteral("音声メッセージの消去が正常に完了しました。"));
        QCOMPARE(t.messages.shown.back().caption, QStringLiteral("消去完了"));
        QCOMPARE(files("*.vm*"), 2);
        QCOMPARE(list->counts().listTotal, 1LL);
        QVERIFY(list->table()->selectionModel()->selectedRows().isEmpty());
        const QDir remoteBox(unit.tree.path() + QStringLiteral("/naisen/201"));
        QCOMPARE(remoteBox.entryList({QStringLiteral("*.vmdat")}).size(), 2);

        // The other on both sides.
        list->table()->selectRow(0);
        whenModal<CDelKindSetDlg>([](CDelKindSetDlg* dialog) { dialog->bothButton()->click(); });
        t.messages.answers = {true};
        button(Command::Delete)->click();
        QCOMPARE(t.messages.lastText(), QStringLiteral("音声メッセージの消去が正常に完了しました。"));
        QCOMPARE(files("*.vm*"), 0);
        QCOMPARE(remoteBox.entryList({QStringLiteral("*.vmdat")}).size(), 1);
        QCOMPARE(list->counts().listTotal, 0LL);

        // The main unit gone during a deletion there: the session has ended by the time the
        // error box opens, so the always-download worker starts no box on the dead connection
        // meanwhile to tell the same fault again.
        QCOMPARE(frame->session().acquire()->downloadBox("/naisen/201", box, false, false).code,
                 voxmg::EngineResult::Done);
        list->refresh(false, true, false);
        list->table()->selectRow(0);
        unit.sim->stop();
        bool loggedInAtTheBox = true;
        t.messages.onShow = [&] { loggedInAtTheBox = app.doc().loggedIn(); };
        whenModal<CDelKindSetDlg>([](CDelKindSetDlg* dialog) { dialog->unitButton()->click(); });
        t.messages.answers = {true};
        button(Command::Delete)->click();
        t.messages.onShow = nullptr;
        QCOMPARE(t.messages.lastText(), QStringLiteral("通信エラーが発生しました。"));
        QVERIFY(!loggedInAtTheBox);

        // Logged out, the kinds that need the main unit are greyed out.
        frame->logout();
        CDelKindSetDlg dialog(app.context(), frame);
        QVERIFY(!dialog.unitButton()->isEnabled());
        QVERIFY(!dialog.bothButton()->isEnabled());
        QVERIFY(dialog.pcButton()->isEnabled());
    }
};

VOXMG_GUI_TEST_MAIN(DeleteTest)
#include "delete_test.moc"
