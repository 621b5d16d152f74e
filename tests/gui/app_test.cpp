#include <sys/stat.h>
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "fakes.h"
#include "gui/app/app_setup.h"
#include "gui/app/command_bar.h"
#include "gui/app/ip_address_ctrl.h"
#include "gui/app/login_dlg.h"
#include "gui/app/main_frame.h"
#include "gui/app/small_dialogs.h"
#include "gui/app/vox_app.h"
#include "gui/base/choosers.h"
#include "gui/base/dialog_schedule.h"
#include "gui/device/download_commands.h"
#include "gui/device/download_runner.h"

namespace {

const QString kInputError = QStringLiteral("入力値エラーです。");

void fillLogin(CLoginDlg& dialog, const QString& ip, const QString& user, const QString& pass) {
    dialog.address()->setText(ip);
    dialog.user()->setText(user);
    dialog.password()->setText(pass);
}

void logIn(CMainFrame& frame, TestContext& t) {
    frame.session().connectAndLogin(t.doc.login());
    t.doc.setLoggedIn(true);
    frame.restartLiveness();
}

struct NoDownloads : DownloadRunner {
    int bulkDownload(bool) override { return 0; }
    int selectedDownload(const BoxChoice&, bool) override { return 0; }
    int responseDownload() override { return 0; }
};

}  // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void loginRefusesBadInputBeforeConnecting_data() {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("message");
        QTest::newRow("case differs") << "192.168.1.10"
                                      << "HOZEN" << kInputError;
        // U+3082: its low byte 0x82 is a CP932 lead byte.
        QTest::newRow("lead byte") << "192.168.1.10" << QStringLiteral("hoも") << kInputError;
        QTest::newRow("blank address") << ""
                                       << "hozen" << QStringLiteral("ＩＰアドレスを入力してください。");
    }
    void loginRefusesBadInputBeforeConnecting() {
        QFETCH(QString, ip);
        QFETCH(QString, user);
        QFETCH(QString, message);
        TestContext t;
        SessionLog log;
        auto session = scriptedSessions(log)({});
        CLoginDlg dialog(t.context, *session);
        fillLogin(dialog, ip, user, QStringLiteral("pw"));
        dialog.show();
        dialog.loginButton()->click();
        QCOMPARE(t.messages.lastText(), message);
        QCOMPARE(t.messages.shown.back().caption, QStringLiteral("エラー"));
        QCOMPARE(log.logins, 0);
        QVERIFY(dialog.isVisible());
        QVERIFY(!t.doc.loggedIn());
    }

    void unsupportedModelKeepsTheDialogOpen() {
        TestContext t;
        SessionLog log;
        log.loginResults = {3, 0};
        auto session = scriptedSessions(log)({});
        CLoginDlg dialog(t.context, *session);
        fillLogin(dialog, QStringLiteral("10.0.0.5"), QStringLiteral("kansei"), QStringLiteral("pw"));
        dialog.show();
        dialog.loginButton()->click();
        QCOMPARE(t.messages.lastText(),
                 QStringLiteral(
                     "この主装置には対応しておりません。\r\n対応しているアプリケーションをご使用ください。"));
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.scheduleCheck()->active());
        // Another press tries again with a new attempt.
        dialog.loginButton()->click();
        QCOMPARE(log.logins, 2);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(t.doc.loggedIn());
    }

    void unrememberedLoginUsesTypedValuesButSavesThemEmpty() {
        TestContext t;
        SessionLog log;
        CVOXMGApp app(scriptedAppOptions(t, log));
        QVERIFY(app.start());
        CMainFrame* frame = app.frame();
        CLoginDlg dialog(app.context(), frame->session());
        fillLogin(dialog, QStringLiteral("10.1.2.3"), QStringLiteral("hozen"), QStringLiteral("secret"));
        dialog.remember()->setChecked(false);
        dialog.loginButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(log.lastLogin.ip.str(), std::u16string(u"10.1.2.3"));
        QCOMPARE(log.lastLogin.user.str(), std::u16string(u"hozen"));
        QCOMPARE(log.lastLogin.pass.str(), std::u16string(u"secret"));

        frame->exitSequence();
        const auto saved = voxmg::ProfileFile::load(t.doc.settingsPath());
        QVERIFY(saved.hasKey(u"LOGIN", u"IP"));
        QVERIFY(saved.readString(u"LOGIN", u"IP", u"x").empty());
        QVERIFY(saved.readString(u"LOGIN", u"USER", u"x").empty());
        QVERIFY(saved.readString(u"LOGIN", u"PASS", u"x").empty());
        QCOMPARE(saved.readInt(u"LOGIN", u"CHECK", -1), 0);
        struct stat info {};
        QCOMPARE(::stat(t.doc.settingsPath().c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }

    void wavFilesPlayedForDeletionGoAtExitAndNothingElse() {
        TestContext t;
        SessionLog log;
        CVOXMGApp app(scriptedAppOptions(t, log));
        QVERIFY(app.start());
        const std::string played = t.root() + "played.wav";
        const std::string kept = t.root() + "kept.wav";
        for (const auto& path : {played, kept}) {
            std::ofstream(path) << "RIFF";
        }
        app.frame()->pendingWavDeletions().push_back(played);
        app.frame()->exitSequence();
        QVERIFY(!std::filesystem::exists(played));
        QVERIFY(std::filesystem::exists(kept));
    }

    // A folder where the settings file belongs is told, naming it, and the program ends:
    // nothing aborts and no defaults run in the user's name.
    void aSettingsFileThatIsAFolderIsToldAndTheProgramEnds() {
        TestContext t;
        SessionLog log;
        std::filesystem::create_directories(t.root() + "VOXMG.ini");
        CVOXMGApp app(scriptedAppOptions(t, log));
        QVERIFY(!app.start());
        QVERIFY(app.frame() == nullptr);
        QVERIFY(t.messages.lastText().startsWith(QStringLiteral("設定ファイルを読み込めません。\n") +
                                                 QString::fromStdString(t.root() + "VOXMG.ini")));
    }

    void secondInstanceIsRefusedWithoutAWindow() {
        TestContext t;
        SessionLog log;
        CVOXMGApp first(scriptedAppOptions(t, log));
        QVERIFY(first.start());
        RecordingMessages secondMessages;
        auto options = scriptedAppOptions(t, log);
        options.messages = &secondMessages;
        CVOXMGApp second(options);
        QVERIFY(!second.start());
        QVERIFY(second.frame() == nullptr);
        QCOMPARE(secondMessages.shown.size(), std::size_t(1));
        QCOMPARE(secondMessages.lastText(),
                 QStringLiteral("Zuシリーズ音声ファイル管理は既に起動しています。"));
        QCOMPARE(secondMessages.shown.back().caption, QStringLiteral("エラー"));
        QVERIFY(first.frame()->isVisible());
    }

    void hundredQuietTicksLogOutAndAnOperationRestartsTheCount() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        logIn(frame, t);
        for (int i = 0; i < 60; ++i) {
            frame.livenessTick();
        }
        frame.restartLiveness();  // an operation talked to the main unit
        for (int i = 0; i < 99; ++i) {
            frame.livenessTick();
        }
        QVERIFY(t.doc.loggedIn());
        frame.livenessTick();
        QVERIFY(!t.doc.loggedIn());
        QCOMPARE(log.logouts, 1);
        QVERIFY(!frame.livenessTimer().isActive());
        QCOMPARE(log.probes, 160);
    }

    void failedProbeWaitsForAnOpenErrorBox() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        logIn(frame, t);
        log.probeOk = false;

        QWidget errorBox;
        errorBox.setWindowTitle(QStringLiteral("エラー"));
        errorBox.show();
        frame.livenessTick();
        QVERIFY(!t.doc.loggedIn());
        QVERIFY(frame.livenessTimer().isActive());
        QCOMPARE(log.sessionsMade, 1);

        errorBox.close();
        bool offered = false;
        whenModal<CRecomDlg>([&offered](CRecomDlg* dialog) {
            offered = true;
            dialog->reconnectButton()->click();
        });
        frame.livenessTick();
        QVERIFY(offered);
        QCOMPARE(log.sessionsMade, 2);  // the reconnect builds a new connection object
        QVERIFY(t.doc.loggedIn());
        QVERIFY(frame.livenessTimer().isActive());
    }

    void failedReconnectStaysLoggedOutWithNoFurtherProbes() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        logIn(frame, t);
        log.probeOk = false;
        log.loginResults = {1};
        whenModal<CRecomDlg>([](CRecomDlg* dialog) { dialog->reconnectButton()->click(); });
        frame.livenessTick();
        QCOMPARE(t.messages.lastText(), QStringLiteral("接続に失敗しました。"));
        QVERIFY(!t.doc.loggedIn());
        QVERIFY(!frame.livenessTimer().isActive());
        QVERIFY(frame.scheduleTimer().isActive());
    }

    void exitAskedFirstAndSavedOnlyOnYes() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        frame.show();
        t.doc.settings().folder = u"/data/";
        whenModal<CEndChkDlg>([](CEndChkDlg* dialog) {
            QVERIFY(!dialog->backupButton()->isVisibleTo(dialog));  // no automatic backup set up
            dialog->noButton()->click();
        });
        QVERIFY(!frame.close());
        QVERIFY(frame.isVisible());
        QVERIFY(frame.scheduleTimer().isActive());
        QVERIFY(!QFile::exists(QString::fromStdString(t.doc.settingsPath())));

        const QString wav = QString::fromStdString(t.root() + "played.wav");
        QFile(wav).open(QIODevice::WriteOnly);
        frame.pendingWavDeletions().push_back(wav.toStdString());
        whenModal<CEndChkDlg>([](CEndChkDlg* dialog) { dialog->yesButton()->click(); });
        QVERIFY(frame.close());
        QVERIFY(!QFile::exists(wav));
        const auto saved = voxmg::ProfileFile::load(t.doc.settingsPath());
        QCOMPARE(saved.readString(u"FOLDER", u"FOLDER", u""), std::u16string(u"/data/"));
        QVERIFY(saved.readInt(u"Window", u"Right", -9999) != -9999);
        QCOMPARE(saved.readInt(u"Window1", u"ZOrder", 0), 1);
    }

    void startupRestoresSavedListsFrontOneLast() {
        TestContext t;
        SessionLog log;
        QVERIFY(QDir().mkpath(QString::fromStdString(t.root() + "office")));
        voxmg::ProfileFile ini(t.doc.settingsPath());
        ini.writeString(u"FOLDER", u"FOLDER", voxmg::text::utf16FromUtf8(t.root()));
        ini.writeString(u"DISP", u"FOLDERNAME", u"office");
        ini.writeInt(u"DISP", u"NUM", 2);
        ini.writeInt(u"Window1", u"ZOrder", 2);
        ini.writeInt(u"Window2", u"ZOrder", 1);
        QVERIFY(ini.save(0600));
        auto options = scriptedAppOptions(t, log);
        options.listWindows = [](int n) {
            auto* view = new QWidget;
            view->setWindowTitle(QStringLiteral("list %1").arg(n));
            return view;
        };
        CVOXMGApp app(options);
        QVERIFY(app.start());
        QCOMPARE(app.frame()->openListCount(), 2);
        QCOMPARE(app.frame()->mdiArea()->activeSubWindow()->windowTitle(), QStringLiteral("list 2"));
        QCOMPARE(app.frame()->commandBar()->folderField()->fieldText(),
                 QStringLiteral(" ") + QString::fromStdString(t.root()) + QStringLiteral("office"));
    }

    void startupWithAVanishedFolderClearsBothFields() {
        TestContext t;
        SessionLog log;
        voxmg::ProfileFile ini(t.doc.settingsPath());
        ini.writeString(u"FOLDER", u"FOLDER", voxmg::text::utf16FromUtf8(t.root()));
        ini.writeString(u"DISP", u"FOLDERNAME", u"gone");
        ini.writeInt(u"DISP", u"NUM", 1);
        QVERIFY(ini.save(0600));
        CVOXMGApp app(scriptedAppOptions(t, log));
        QVERIFY(app.start());
        QVERIFY(t.messages.shown.empty());
        QVERIFY(app.doc().settings().folder.empty());
        QCOMPARE(app.frame()->openListCount(), 0);
        app.frame()->refreshBoxFolderName();
        QVERIFY(app.doc().boxFolderName().empty());
    }

    void networkFolderChoiceNeedsAYes() {
        RecordingMessages messages;
        auto network = [](const std::string&) { return true; };
        auto local = [](const std::string&) { return false; };
        QVERIFY(confirmNetworkFolder(messages, nullptr, QStringLiteral("/home/u"), local));
        QVERIFY(messages.shown.empty());
        messages.answers = {false};
        QVERIFY(!confirmNetworkFile(messages, nullptr, QStringLiteral("/mnt/nas/a.csv"), network));
        QCOMPARE(messages.shown.back().caption, QStringLiteral("ドライブの確認"));
        QVERIFY(messages.shown.back().text.startsWith(QStringLiteral("指定のファイルは、")));
        QVERIFY(messages.shown.back().icon == UserMessages::Icon::Warning);
        QVERIFY(confirmNetworkFolder(messages, nullptr, QStringLiteral("/mnt/nas"), network));
        QVERIFY(messages.shown.back().text.startsWith(QStringLiteral("指定のフォルダは、")));
    }

    void dueBackupClosesAWaitingDialog() {
        TestContext t;
        t.context.timings.dialogScheduleMs = 20;
        int offers = 0;
        t.context.backupDue = [] { return true; };
        t.context.offerBackup = [&] {
            t.context.schedule.backupRequest = ++offers == 2;  // declined once, then accepted
            return true;
        };
        CAboutDlg about(t.context);
        QTimer::singleShot(2000, &about, &QDialog::accept);  // in case it never closes
        QCOMPARE(about.exec(), int(QDialog::Rejected));
        QCOMPARE(offers, 2);
        QVERIFY(t.context.schedule.backupRequest);  // the frame runs it after the command
    }

    void endingFromTheReconnectOfferCanStillBeDeclined() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        frame.show();
        logIn(frame, t);
        log.probeOk = false;
        bool asked = false;
        whenModal<CRecomDlg>([&asked](CRecomDlg* dialog) {
            whenModal<CEndChkDlg>([&asked](CEndChkDlg* confirm) {
                asked = true;
                confirm->noButton()->click();
            });
            dialog->endButton()->click();
        });
        frame.livenessTick();
        QVERIFY(asked);
        QVERIFY(frame.isVisible());
        QVERIFY(!t.doc.loggedIn());
        QVERIFY(!frame.livenessTimer().isActive());
        QVERIFY(frame.scheduleTimer().isActive());
    }

    // A dialog disables the frame; if the program lost and regained the focus meanwhile, the list
    // area lost its active list and could not take it back while disabled. Enabled again, the
    // list is active as before, with its commands and counts.
    void theActiveListComesBackAfterADialog() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        frame.setListWindowFactory([](int) {
            auto* view = new QWidget;
            view->setWindowTitle(QStringLiteral("留守録BOX:01"));
            return view;
        });
        frame.setListCountsSource([](QWidget*) { return ListCounts{false, 5, 5, 5, 3, 2}; });
        QVERIFY(frame.openList(1));
        frame.activateList(1);
        QWidget* list = frame.activeList();
        QVERIFY(list != nullptr);
        frame.setFrameEnabled(false);
        frame.mdiArea()->setActiveSubWindow(nullptr);  // what another program's activation does
        QVERIFY(frame.activeList() == nullptr);
        frame.setFrameEnabled(true);
        QCOMPARE(frame.activeList(), list);
        QVERIFY(!frame.statusPane()->text().isEmpty());
    }

    void windowMenuCutsLongListTitles() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        const QString title31 = QStringLiteral("留守録BOX：01?02?03?04?05?06?07?089");
        QCOMPARE(title31.size(), 31);
        frame.setListWindowFactory([&](int n) {
            auto* view = new QWidget;
            view->setWindowTitle(n == 1 ? title31 : QStringLiteral("ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ"));
            return view;
        });
        QVERIFY(frame.openList(1));
        QVERIFY(frame.openList(2));
        frame.activateList(1);
        frame.rebuildWindowMenu();
        QStringList items;
        QAction* checked = nullptr;
        for (QAction* action : frame.windowMenu()->actions()) {
            if (action->data().toInt() >= windowListItem(1) && action->data().toInt() <= windowListItem(4)) {
                items << action->text();
                if (action->isChecked()) {
                    checked = action;
                }
            }
        }
        QCOMPARE(items, QStringList({QStringLiteral("留守録BOX：01,02,03,04,05,06,07,08..."),
                                     QStringLiteral("ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ")}));
        QVERIFY(checked != nullptr && checked->data().toInt() == windowListItem(1));
        QCOMPARE(frame.minimumHeight(), 260);
    }

    void statusLineShowsTheActiveListsCounts() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        frame.refreshStatus();
        QVERIFY(frame.statusPane()->text().isEmpty());
        frame.setListWindowFactory([](int) {
            auto* view = new QWidget;
            view->setWindowTitle(QStringLiteral("留守録BOX:01内線BOX:200"));
            return view;
        });
        frame.setListCountsSource([](QWidget*) { return ListCounts{false, 99999, 100000, 5, 3, 2}; });
        QVERIFY(frame.openList(1));
        frame.activateList(1);
        frame.refreshStatus();
        QCOMPARE(frame.statusPane()->text(),
                 QStringLiteral("件数: ﾌｫﾙﾀﾞﾄｰﾀﾙ 99999  ﾎﾞｯｸｽﾄｰﾀﾙ +++++  一覧表ﾄｰﾀﾙ 5  未再生 3  再生済 2"));
        // The played counts are the main unit's, which a user cannot tell from the rows' column.
        QVERIFY(frame.statusPane()->toolTip().contains(QStringLiteral("主装置側で未再生 / 再生済")));
        QCOMPARE(frame.commandBar()->boxField()->fieldText(),
                 QStringLiteral(" 留守録BOX：01\r\n 内線BOX：200"));
    }

    void laterCommandsStayOffUntilTheirFeatureIsSet() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        frame.updateCommandStates();
        frame.updateSettingsMenu();
        QVERIFY(!frame.commandBar()->button(Command::OpenList)->isEnabled());
        QVERIFY(!frame.settingsAction(Command::ExportList)->isEnabled());
        frame.onCommand(Command::OpenList);  // a disabled command does nothing

        int opened = 0;
        bool timerStoppedWhileRunning = false;
        frame.setCommand(Command::OpenList, {[&] {
                                                 ++opened;
                                                 timerStoppedWhileRunning = !frame.scheduleTimer().isActive();
                                             },
                                             [] { return true; }});
        frame.setCommand(Command::ExportList, {[&] { ++opened; }, [] { return false; }});
        frame.scheduleTimer().start();
        frame.updateCommandStates();
        frame.updateSettingsMenu();
        QVERIFY(frame.commandBar()->button(Command::OpenList)->isEnabled());
        QVERIFY(!frame.settingsAction(Command::ExportList)->isEnabled());
        frame.commandBar()->button(Command::OpenList)->click();
        QCOMPARE(opened, 1);
        QVERIFY(timerStoppedWhileRunning);
        QVERIFY(frame.scheduleTimer().isActive());
    }

    void settingsMenuFollowsTheLoginState() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        frame.updateSettingsMenu();
        QVERIFY(frame.settingsAction(Command::Login)->isEnabled());
        QVERIFY(!frame.settingsAction(Command::Logout)->isEnabled());
        t.doc.setLoggedIn(true);
        t.doc.settings().downConv = true;
        frame.updateSettingsMenu();
        QVERIFY(!frame.settingsAction(Command::Login)->isEnabled());
        QVERIFY(frame.settingsAction(Command::Logout)->isEnabled());
        QVERIFY(frame.settingsAction(Command::ConvertOnDownload)->isChecked());
        frame.onMenuCommand(Command::ConvertOnDownload);
        QVERIFY(!t.doc.settings().downConv);
    }

    void downloadButtonsFollowTheLoginAndTheBoxFolderOnDisk() {
        TestContext t;
        SessionLog log;
        QDir root(t.dir.path());
        QVERIFY(root.mkpath(QStringLiteral("office/rusuroku/01")));
        QVERIFY(root.mkpath(QStringLiteral("office/naisen/200")));
        t.doc.settings().folder = voxmg::text::utf16FromUtf8(t.root());
        t.doc.settings().folderName = u"office";
        CMainFrame frame(t.context, scriptedSessions(log));
        NoDownloads downloads;
        installDownloadCommands(frame, downloads);
        frame.setFolderText();
        frame.updateCommandStates();
        QPushButton* bulk = frame.commandBar()->button(Command::BulkDownload);
        QPushButton* selected = frame.commandBar()->button(Command::SelectedDownload);
        QVERIFY(!bulk->isEnabled());
        QCOMPARE(frame.loginStatePane()->text(), QStringLiteral("未ログイン"));

        whenModal<CLoginDlg>([](CLoginDlg* dialog) {
            fillLogin(*dialog, QStringLiteral("10.0.0.5"), QStringLiteral("hozen"), QStringLiteral("pw"));
            dialog->loginButton()->click();
        });
        frame.onMenuCommand(Command::Login);
        QVERIFY(bulk->isEnabled() && selected->isEnabled());
        QCOMPARE(frame.loginStatePane()->text(), QStringLiteral("ログイン中 10.0.0.5"));

        // Changed on disk behind the program's back: no command runs, the frame still notices.
        QVERIFY(QDir(t.dir.path() + QStringLiteral("/office/naisen")).removeRecursively());
        QTRY_VERIFY(!bulk->isEnabled() && !selected->isEnabled());
        QVERIFY(root.mkpath(QStringLiteral("office/naisen")));
        QTRY_VERIFY(bulk->isEnabled());
        QVERIFY(QDir(t.dir.path() + QStringLiteral("/office")).removeRecursively());
        QTRY_VERIFY(!bulk->isEnabled());
        QVERIFY(root.mkpath(QStringLiteral("office/rusuroku")));
        QVERIFY(root.mkpath(QStringLiteral("office/naisen")));
        QTRY_VERIFY(bulk->isEnabled());

        frame.onMenuCommand(Command::Logout);
        QVERIFY(!bulk->isEnabled());
        QCOMPARE(frame.loginStatePane()->text(), QStringLiteral("未ログイン"));
    }

    void rightHandButtonsKeepTheirPlaceAtTheMinimumSize() {
        TestContext t;
        SessionLog log;
        CMainFrame frame(t.context, scriptedSessions(log));
        frame.show();
        frame.resize(frame.minimumSize());
        QApplication::processEvents();
        CommandBar* bar = frame.commandBar();
        const int right = bar->width();
        QCOMPARE(bar->button(Command::About)->geometry(), QRect(right - 105, 5, 100, 26));
        QCOMPARE(bar->button(Command::WindowMenu)->geometry().left(), right - 208);
        QCOMPARE(bar->button(Command::SettingsMenu)->geometry().left(), right - 311);
        QCOMPARE(bar->folderField()->geometry().right() + 1, right - 5);
        // The left-hand buttons of the top row never run under the right-hand ones.
        QVERIFY(bar->button(Command::VoiceDownload)->geometry().right() <
                bar->button(Command::SettingsMenu)->geometry().left());
        QVERIFY(bar->button(Command::AddResponse)->geometry().right() < right);
    }

    void addressTypesStraightThroughTheFourBoxes_data() {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("typed");  // '*' is Ctrl+A, '\b' Backspace
        QTest::addColumn<QString>("expected");
        QTest::newRow("fresh field") << ""
                                     << "10.255.255.1"
                                     << "10.255.255.1";
        QTest::newRow("three digit first box") << ""
                                               << "127.0.0.1"
                                               << "127.0.0.1";
        QTest::newRow("one-digit boxes") << ""
                                         << "1.2.3.4"
                                         << "1.2.3.4";
        QTest::newRow("short boxes") << ""
                                     << "10.1.20.3"
                                     << "10.1.20.3";
        QTest::newRow("three digits, no dots") << ""
                                               << "192168100200"
                                               << "192.168.100.200";
        QTest::newRow("three digits, then dots") << ""
                                                 << "192.168.100.200"
                                                 << "192.168.100.200";
        QTest::newRow("select all, retype") << "127.0.0.2"
                                            << "*10.255.255.1"
                                            << "10.255.255.1";
        QTest::newRow("select all, three-digit boxes") << "1.2.3.4"
                                                       << "*192.168.100.200"
                                                       << "192.168.100.200";
        QTest::newRow("select all, part typed") << "127.0.0.2"
                                                << "*10.1"
                                                << "10.1.0.0";
        QTest::newRow("backspace into the box before") << ""
                                                       << "10.20.30.40\b\b\b\b9.7"
                                                       << "10.20.39.7";
        QTest::newRow("no box above 255") << ""
                                          << "256.1.2.3"
                                          << "25.1.2.3";
    }
    void addressTypesStraightThroughTheFourBoxes() {
        QFETCH(QString, shown);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        IpAddressCtrl address;
        address.setText(shown);
        address.show();
        QVERIFY(QTest::qWaitForWindowExposed(&address));
        address.octet(0)->setFocus();
        for (QChar c : typed) {
            if (c == QLatin1Char('*')) {
                QTest::keyClick(&address, Qt::Key_A, Qt::ControlModifier);
            } else if (c == QLatin1Char('\b')) {
                QTest::keyClick(&address, Qt::Key_Backspace);
            } else {
                QTest::keyClicks(&address, QString(c));
            }
        }
        QCOMPARE(address.text(), expected);
        address.setText(QStringLiteral("1.2.3.4"));
        QCOMPARE(address.text(), QStringLiteral("1.2.3.4"));
        address.setText(QString());
        QVERIFY(address.isBlank());
    }

    void selectAllThenBackspaceBlanksTheAddress() {
        IpAddressCtrl address;
        address.setText(QStringLiteral("127.0.0.2"));
        address.show();
        QVERIFY(QTest::qWaitForWindowExposed(&address));
        QTest::keyClick(&address, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&address, Qt::Key_Backspace);
        QVERIFY(address.isBlank());
    }

    void qtOwnTextsAreJapaneseAndWindowsCarryTheProgramIcon() {
        QTranslator* qtTexts = setUpApplication(*qApp);
        QVERIFY(qtTexts != nullptr);
        QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
        QWidget window;
        QCOMPARE(window.windowIcon().pixmap(QSize(256, 256)).size(), QSize(256, 256));
        QCoreApplication::removeTranslator(qtTexts);
    }

    void boxFieldScrollsOnlyPastOneLine() {
        CommandField field;
        field.resize(400, 44);
        field.show();
        field.setFieldText(QStringLiteral(" 留守録BOX：01"));
        QCOMPARE(field.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        field.setFieldText(QStringLiteral(" 留守録BOX：01\r\n 内線BOX：200"));
        QCOMPARE(field.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
};

VOXMG_GUI_TEST_MAIN(AppTest)
#include "app_test.moc"
