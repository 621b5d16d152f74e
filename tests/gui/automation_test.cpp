#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include "core/base/text.h"
#include "core/mail/mail_settings.h"
#include "core/settings/settings.h"
#include "fakes.h"
#include "gui/app/ip_address_ctrl.h"
#include "gui/app/login_dlg.h"
#include "gui/app/main_frame.h"
#include "gui/app/small_dialogs.h"
#include "gui/app/vox_app.h"
#include "gui/automation/backup_dialogs.h"
#include "gui/automation/frame_automation.h"
#include "gui/automation/mail_automation.h"
#include "gui/device/frame_download_runner.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_windows.h"
#include "sim/main_unit_header.h"
#include "sim_app.h"
#include "support/local_time.h"

namespace {

using namespace std::chrono_literals;
using voxmg::test::at;

// A recording on the main unit, as the simulator serves it.
void putMessage(const QString& tree, const char* kindBox, int serial) {
    voxmg::sim::HeaderFields h;
    h.recorded = at(2024, 12, 9, 10, serial);
    h.lengthTenths = 10;
    h.boxNumber = "001";
    auto header = voxmg::sim::encodeHeader(h);
    const std::string name = voxmg::sim::messageFileName(
        h.recorded, "R001", QStringLiteral("%1").arg(serial, 5, 10, QLatin1Char('0')).toStdString(), "");
    const std::string head(header.begin(), header.end());
    for (const char* ext : {".vmdat", ".vminf"}) {
        QFile file(tree + QLatin1Char('/') + QLatin1String(kindBox) + QLatin1Char('/') +
                   QString::fromStdString(name) + QLatin1String(ext));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(head.data(), static_cast<qint64>(head.size()));
        if (std::string_view(ext) == ".vmdat") {
            file.write(QByteArray(100, '\x11'));
        }
    }
}

struct Program {
    explicit Program(bool demo, std::tm now = at(2024, 12, 10, 12, 0)) : unit(demo) {
        CVOXMGApp::Options options = optionsFor(t, unit.sim->port());
        options.clock = [now] { return now; };
        options.workerTimings = {20ms, 0ms, 20ms, 20ms, 20ms, 20ms};
        options.timings.backupConfirmMs = 50;
        app = std::make_unique<CVOXMGApp>(options);
    }
    bool start() { return unit.ok && app->start(); }

    // A box folder laid out like the main unit's, current in the frame.
    void makeBoxFolder() {
        const std::string root = t.root() + "data/";
        for (const char* kind : {"rusuroku", "naisen"}) {
            const QDir remote(unit.tree.path() + QLatin1Char('/') + QLatin1String(kind));
            for (const QString& box : remote.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QDir().mkpath(QString::fromStdString(root + "office/" + kind + "/") + box);
            }
        }
        QDir().mkpath(QString::fromStdString(root + "office/outou"));
        auto& s = app->doc().settings();
        s.folder = voxmg::text::utf16FromUtf8(root);
        s.folderName = u"office";
        app->frame()->setFolderText();
        app->frame()->updateCommandStates();
    }

    void logIn() {
        CLoginDlg login(app->context(), app->frame()->session());
        login.address()->setText(QStringLiteral("127.0.0.1"));
        login.user()->setText(QStringLiteral("hozen"));
        login.password()->setText(QStringLiteral("hozen"));
        // Remembered: the backup logs in with the settings' copy, which is empty otherwise.
        login.remember()->setChecked(true);
        login.loginButton()->click();
    }

    TestContext t;
    SimulatedUnit unit;
    std::unique_ptr<CVOXMGApp> app;
};

// A program on scripted sessions, logged in through the dialog, its worker idle (always-download
// off): the tests play the worker's part on the worker host themselves.
struct ScriptedProgram {
    ScriptedProgram() : app(scriptedAppOptions(t, log)) {}
    bool start() {
        if (!app.start()) {
            return false;
        }
        logIn();
        return app.doc().loggedIn();
    }
    void logIn() {
        CLoginDlg login(app.context(), app.frame()->session());
        login.address()->setText(QStringLiteral("127.0.0.1"));
        login.user()->setText(QStringLiteral("hozen"));
        login.password()->setText(QStringLiteral("hozen"));
        login.loginButton()->click();
    }
    voxmg::always::WorkerHost& worker() { return app.automation()->workerHost(); }
    // What the worker reports after a communication error on the session it saw.
    void reportLost(std::uint64_t generation) {
        worker().connectionLost(
            generation, {u"通信エラーが発生しました。", u"エラー", voxmg::UserMessage::Icon::Exclamation});
    }

    TestContext t;
    SessionLog log;
    CVOXMGApp app;
};

}  // namespace

class AutomationTest : public QObject {
    Q_OBJECT

private slots:
    void alwaysDownloadBringsANewMessageIntoTheOpenList() {
        Program p(false);
        QVERIFY(QDir().mkpath(p.unit.tree.path() + QStringLiteral("/rusuroku/001")));
        QVERIFY(QDir().mkpath(p.unit.tree.path() + QStringLiteral("/naisen/201")));
        QVERIFY(QDir().mkpath(p.unit.tree.path() + QStringLiteral("/outou")));
        QVERIFY(p.start());
        p.makeBoxFolder();
        CMainFrame* frame = p.app->frame();
        p.app->doc().settings().disp[0] = u"留守録BOX：001";
        p.app->doc().settings().folderNames[0] = u"office";
        QVERIFY(frame->openList(1));
        p.logIn();
        QVERIFY(p.app->doc().loggedIn());

        QAction* item = frame->settingsAction(Command::AlwaysDownload);
        frame->onMenuCommand(Command::AlwaysDownload);
        QVERIFY(p.app->doc().settings().always);
        frame->updateSettingsMenu();
        QVERIFY(item->isChecked());

        putMessage(p.unit.tree.path(), "rusuroku/001", 1);
        CListDispView* list = p.app->lists()->view(1);
        QTRY_COMPARE_WITH_TIMEOUT(list->counts().listTotal, 1LL, 10000);

        // Logging out stops the fetching; a message arriving meanwhile waits for the next login.
        frame->logout();
        putMessage(p.unit.tree.path(), "rusuroku/001", 2);
        QTest::qWait(300);
        QCOMPARE(list->counts().listTotal, 1LL);
        frame->onMenuCommand(Command::AlwaysDownload);
        QVERIFY(!p.app->doc().settings().always);
    }

    // A message the worker downloads into a box with recipients waits in the outbox, and the
    // status bar says so (no server set: nothing is sent).
    void anAlwaysDownloadedMessageWaitsForItsMail() {
        Program p(false);
        QVERIFY(QDir().mkpath(p.unit.tree.path() + QStringLiteral("/rusuroku/001")));
        QVERIFY(QDir().mkpath(p.unit.tree.path() + QStringLiteral("/naisen/201")));
        QVERIFY(QDir().mkpath(p.unit.tree.path() + QStringLiteral("/outou")));
        voxmg::mail::MailSettings mail;
        mail.recipients["office/rusuroku/001"] = "staff@example.com";
        QVERIFY(voxmg::mail::saveMailSettings(mail, voxmg::mail::mailSettingsPath(p.t.root())));
        QVERIFY(p.start());
        p.makeBoxFolder();
        p.app->doc().settings().disp[0] = u"留守録BOX：001";
        p.app->doc().settings().folderNames[0] = u"office";
        QVERIFY(p.app->frame()->openList(1));  // the worker fetches the boxes of open lists
        p.logIn();
        QVERIFY(p.app->doc().loggedIn());
        QCOMPARE(p.app->mail()->statusText(), QString());
        p.app->frame()->onMenuCommand(Command::AlwaysDownload);
        putMessage(p.unit.tree.path(), "rusuroku/001", 1);
        QTRY_COMPARE_WITH_TIMEOUT(p.app->lists()->view(1)->counts().listTotal, 1LL, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(p.app->mail()->statusText(), QStringLiteral("メール送信待ち 1"), 10000);
        p.app->frame()->onMenuCommand(Command::AlwaysDownload);
    }

    // The worker's copies: a loss it reported is not undone by a command-state update that reads
    // the frame before the queued logout has reached it.
    void aLossTheWorkerReportedOutlivesAStaleRead() {
        ScriptedProgram p;
        QVERIFY(p.start());
        const auto seen = p.app.frame()->workerConnection().generation;
        p.reportLost(seen);
        p.app.frame()->updateCommandStates();  // a box-folder watch event, before the queued call
        QVERIFY(!p.worker().loggedIn());
        QCoreApplication::processEvents();
        QVERIFY(!p.app.doc().loggedIn());
        QCOMPARE(p.log.logouts, 1);
        QCOMPARE(p.t.messages.lastText(), QStringLiteral("通信エラーが発生しました。"));

        // Switched off for lack of room: off until the frame has taken it in, then off for good.
        p.app.doc().settings().always = true;
        p.worker().switchOff();
        p.app.frame()->updateCommandStates();
        QVERIFY(!p.worker().enabled());
        QCoreApplication::processEvents();
        QVERIFY(!p.app.doc().settings().always);
        QVERIFY(!p.worker().enabled());
    }

    // The worker's report about a session that ended before it arrived leaves the new one alone.
    void aLossReportedForAnEndedSessionIsDropped() {
        ScriptedProgram p;
        QVERIFY(p.start());
        const auto seen = p.app.frame()->workerConnection().generation;
        p.reportLost(seen);
        // The user logs out and in again before the queued logout is delivered.
        p.app.frame()->logout();
        p.logIn();
        QVERIFY(p.app.doc().loggedIn());
        const int logouts = p.log.logouts;
        p.t.messages.shown.clear();
        QCoreApplication::processEvents();
        QVERIFY(p.app.doc().loggedIn());
        QCOMPARE(p.log.logouts, logouts);
        QVERIFY(p.t.messages.shown.empty());
        p.app.frame()->updateCommandStates();
        QVERIFY(p.worker().loggedIn());
    }

    // What the events of an operation's wait let through (the worker's loss report, a logout,
    // the liveness tick) runs after the operation, never inside it with the connection in use.
    void whatArrivesDuringAnOperationRunsAfterIt() {
        ScriptedProgram p;
        QVERIFY(p.start());
        const auto seen = p.app.frame()->workerConnection().generation;
        const int probes = p.log.probes;
        {
            FtpLease operation = p.app.frame()->session().acquire();
            p.reportLost(seen);
            QCoreApplication::processEvents();  // as the client's pump does while it waits
            p.app.frame()->livenessTick();
            p.app.frame()->logout();
            QCoreApplication::processEvents();
            QCOMPARE(p.log.logouts, 0);
            QCOMPARE(p.log.probes, probes);
            QVERIFY(p.app.doc().loggedIn());
            QVERIFY(p.t.messages.shown.empty());
        }
        QTRY_COMPARE(p.log.logouts, 1);
        QVERIFY(!p.app.doc().loggedIn());
        QCOMPARE(p.t.messages.lastText(), QStringLiteral("通信エラーが発生しました。"));
        QCoreApplication::processEvents();
        QCOMPARE(p.log.logouts, 1);  // the deferred logout found the session ended
    }

    // A real bulk download from a main unit that answers slowly, with the worker's loss report,
    // a logout and liveness ticks arriving while it runs: the download ends as it would have,
    // the logout and the loss report come after it, and nothing crashes.
    void aLossReportALogoutAndTicksDuringADownloadComeAfterIt() {
        Program p(true);
        QVERIFY(p.start());
        p.makeBoxFolder();
        p.logIn();
        QVERIFY(p.app->doc().loggedIn());
        voxmg::sim::Faults slow;
        slow.replyDelay = 30ms;
        p.unit.sim->setFaults(slow);
        CMainFrame* frame = p.app->frame();
        const auto seen = frame->workerConnection().generation;
        bool fired = false;
        bool loggedInWhenDone = false;
        QTimer::singleShot(100, [&] {
            fired = true;
            p.app->automation()->workerHost().connectionLost(
                seen, {u"通信エラーが発生しました。", u"エラー", voxmg::UserMessage::Icon::Exclamation});
            frame->livenessTick();
            frame->logout();
            frame->livenessTick();
        });
        const int result = p.app->downloads()->bulkDownload(false);
        loggedInWhenDone = p.app->doc().loggedIn();
        QVERIFY(fired);  // it came while the download ran
        QCOMPARE(result, 0);
        QVERIFY(loggedInWhenDone);
        QTRY_VERIFY(!p.app->doc().loggedIn());
    }

    // What the worker reports while a command runs (its dialog open, its waits pumping events)
    // is shown once the command has ended, not inside it.
    void theWorkersReportsWaitForTheRunningCommand() {
        ScriptedProgram p;
        QVERIFY(p.start());
        std::size_t shownInside = 0;
        p.app.frame()->setCommand(Command::BackupSettings, {[&] {
                                      p.worker().showMessage({u"メモリが不足しています。", u"エラー",
                                                              voxmg::UserMessage::Icon::Exclamation});
                                      QCoreApplication::processEvents();  // as a dialog's loop does
                                      QCoreApplication::processEvents();
                                      shownInside = p.t.messages.shown.size();
                                  }});
        p.t.messages.shown.clear();
        p.app.frame()->onMenuCommand(Command::BackupSettings);
        QCOMPARE(shownInside, std::size_t(0));
        QTRY_COMPARE(p.t.messages.lastText(), QStringLiteral("メモリが不足しています。"));
        QCOMPARE(p.t.messages.shown.size(), std::size_t(1));
    }

    void backupSettingsEnableByFrequencyAndScheduleTheNextRun() {
        TestContext t;
        CABakUpSetDlg dialog(t.context, [] { return at(2026, 12, 7, 12, 0); });  // a Monday
        auto radio = [&](int id) { dialog.frequency()->button(id)->click(); };
        radio(0);
        QVERIFY(!dialog.time()->isEnabled() && !dialog.weekday()->isEnabled() && !dialog.day()->isEnabled());
        radio(1);
        QVERIFY(dialog.time()->isEnabled() && !dialog.weekday()->isEnabled() && !dialog.day()->isEnabled());
        radio(3);
        QVERIFY(dialog.time()->isEnabled() && !dialog.weekday()->isEnabled() && dialog.day()->isEnabled());
        radio(2);
        QVERIFY(dialog.time()->isEnabled() && dialog.weekday()->isEnabled() && !dialog.day()->isEnabled());
        dialog.weekday()->setCurrentIndex(3);  // 水曜日
        dialog.time()->setTime(QTime(22, 15));
        QCOMPARE(dialog.nextRun()->text(), QStringLiteral("次回のバックアップ: 2026/12/09 22:15"));
        dialog.okButton()->click();
        const auto& s = t.doc.settings();
        QCOMPARE(s.hindo, 2);
        QCOMPARE(s.youbi, 3);
        QCOMPARE(s.jikokuHH * 100 + s.jikokuMM, 2215);
        QCOMPARE(s.yoteiBi.str(), std::u16string(u"202612092215"));
    }

    void backupHourTakesTypedDigitsAfterAClick() {
        TestContext t;
        CABakUpSetDlg dialog(t.context, [] { return at(2026, 12, 7, 12, 0); });
        dialog.frequency()->button(1)->click();
        dialog.time()->setTime(QTime(0, 30));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* text = dialog.time()->findChild<QLineEdit*>();
        QVERIFY(text != nullptr);
        const QPoint inHour(3, text->height() / 2);
        for (const QString& typed : {QStringLiteral("9"), QStringLiteral("07")}) {
            QTest::mouseClick(text, Qt::LeftButton, {}, inHour);
            QTRY_VERIFY(text->hasSelectedText());
            QTest::keyClicks(dialog.time(), typed);
            QCOMPARE(dialog.time()->time(), QTime(typed.toInt(), 30));
        }
    }

    void anUnansweredConfirmationRunsTheBackupQuietly() {
        Program p(true);
        QVERIFY(p.start());
        p.makeBoxFolder();
        auto& s = p.app->doc().settings();
        s.ip = u"127.0.0.1";
        s.user = u"hozen";
        s.pass = u"hozen";
        s.hindo = 1;
        s.jikokuHH = 3;
        s.yoteiBi = u"202412100300";
        // Nobody answers: after the countdown the backup runs, and ends logged out.
        p.app->frame()->scheduleTick();
        QCOMPARE(s.zenkaiKa, 1);
        QCOMPARE(s.zenkaiBi.str(), std::u16string(u"202412101200"));
        QCOMPARE(s.yoteiBi.str(), std::u16string(u"202412110300"));
        QVERIFY(QDir(QString::fromStdString(p.t.root() + "data/BU_202412/rusuroku/001")).exists());
        QVERIFY(!p.app->doc().loggedIn());
        QVERIFY(p.t.messages.shown.empty());
    }

    void aConfirmedBackupSaysItIsDoneAndADeclinedOneMovesOn() {
        Program p(true);
        QVERIFY(p.start());
        p.makeBoxFolder();
        auto& s = p.app->doc().settings();
        s.ip = u"127.0.0.1";
        s.user = u"hozen";
        s.pass = u"hozen";
        s.hindo = 1;
        s.yoteiBi = u"202412100000";

        // Logged in, nothing is offered; after the logout the schedule check comes within 5 s.
        p.logIn();
        QVERIFY(p.app->doc().loggedIn());
        p.app->frame()->scheduleTick();
        QCOMPARE(s.zenkaiKa, 0);
        QCOMPARE(s.yoteiBi.str(), std::u16string(u"202412100000"));
        p.app->frame()->logout();
        QVERIFY(p.app->frame()->scheduleTimer().isActive());
        QVERIFY(p.app->frame()->scheduleTimer().interval() <= 5000);

        whenModal<CABakUpChk1Dlg>([](CABakUpChk1Dlg* d) { d->noButton()->click(); });
        p.app->frame()->scheduleTick();
        QCOMPARE(s.yoteiBi.str(), std::u16string(u"202412110000"));
        QCOMPARE(s.zenkaiKa, 0);

        s.yoteiBi = u"202412100000";
        whenModal<CABakUpChk1Dlg>([](CABakUpChk1Dlg* d) { d->yesButton()->click(); });
        p.app->frame()->scheduleTick();
        QCOMPARE(s.zenkaiKa, 1);
        QCOMPARE(p.t.messages.lastText(), QStringLiteral("バックアップが完了しました。"));
    }

    void aBackupDueAtStartIsOfferedAndDecliningStopsTheSchedule() {
        Program p(false);
        voxmg::ProfileFile ini = voxmg::ProfileFile::load(p.t.doc.settingsPath());
        ini.writeString(u"FOLDER", u"FOLDER", voxmg::text::utf16FromUtf8(p.t.root()));
        ini.writeInt(u"BACKUP", u"HINDO", 1);
        ini.writeString(u"BACKUP", u"YOTEIBI", u"202412090300");
        QVERIFY(ini.save(0600));
        bool offered = false;
        whenModal<CABakUpChk2Dlg>([&](CABakUpChk2Dlg* d) {
            offered = true;
            d->noButton()->click();
        });
        QVERIFY(p.start());
        QVERIFY(offered);
        QVERIFY(!p.app->context().schedule.checkEnabled);
        QVERIFY(!p.app->frame()->scheduleTimer().isActive());

        CEndChkDlg exit(p.app->context(), true);
        QVERIFY(!exit.backupButton()->isHidden());
        p.app->doc().settings().hindo = 0;
        CEndChkDlg none(p.app->context(), true);
        QVERIFY(none.backupButton()->isHidden());
    }
};

VOXMG_GUI_TEST_MAIN(AutomationTest)
#include "automation_test.moc"
