#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "fakes.h"
#include "gui/app/command_bar.h"
#include "gui/app/ip_address_ctrl.h"
#include "gui/app/login_dlg.h"
#include "gui/app/main_frame.h"
#include "gui/app/vox_app.h"
#include "gui/device/down_kind_set_dlg.h"
#include "gui/device/frame_download_runner.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_windows.h"
#include "sim/simulator.h"
#include "sim_app.h"

// The real dialogs and the real client against the main unit simulator.
class SimTest : public QObject {
    Q_OBJECT

private slots:
    void logInAndOutThroughTheDialogs() {
        SimulatedUnit unit(true);
        QVERIFY(unit.ok);
        TestContext t;
        CVOXMGApp app(optionsFor(t, unit.sim->port()));
        QVERIFY(app.start());
        CMainFrame* frame = app.frame();

        {
            CLoginDlg wrong(app.context(), frame->session());
            wrong.address()->setText(QStringLiteral("127.0.0.1"));
            wrong.user()->setText(QStringLiteral("hozen"));
            wrong.password()->setText(QStringLiteral("nope"));
            wrong.show();
            wrong.loginButton()->click();
            QCOMPARE(t.messages.lastText(), QStringLiteral("ログインに失敗しました。"));
            QVERIFY(wrong.isVisible());
        }

        CLoginDlg dialog(app.context(), frame->session());
        dialog.address()->setText(QStringLiteral("127.0.0.1"));
        dialog.user()->setText(QStringLiteral("hozen"));
        dialog.password()->setText(QStringLiteral("hozen"));
        dialog.loginButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(app.doc().loggedIn());
        QVERIFY(frame->session().drainAndProbe());

        // Bulk download of every box into a box folder laid out like the main unit's.
        const std::string root = t.root() + "data/";
        for (const char* kind : {"rusuroku", "naisen"}) {
            const QDir remote(unit.tree.path() + QLatin1Char('/') + QLatin1String(kind));
            for (const QString& box : remote.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QVERIFY(QDir().mkpath(QString::fromStdString(root + "office/" + kind + "/") + box));
            }
        }
        QVERIFY(QDir().mkpath(QString::fromStdString(root + "office/outou")));
        app.doc().settings().folder = voxmg::text::utf16FromUtf8(root);
        app.doc().settings().folderName = u"office";
        frame->setFolderText();
        frame->updateCommandStates();
        QVERIFY(frame->commandBar()->button(Command::BulkDownload)->isEnabled());

        // A list already open shows the downloaded messages once the lists rebuild.
        app.doc().settings().disp[0] = u"留守録BOX：001,002,003";
        app.doc().settings().folderNames[0] = u"office";
        QVERIFY(frame->openList(1));
        CListDispView* list = app.lists()->view(1);
        QVERIFY(list != nullptr);
        QCOMPARE(list->counts().listTotal, 0LL);
        CDownKindSetDlg kind(app.context(), *app.downloads(), frame);
        kind.show();
        t.messages.answers = {true};
        kind.fullButton()->click();
        QCOMPARE(kind.result(), int(QDialog::Accepted));
        QCOMPARE(t.messages.lastText(), QStringLiteral("ファイルのダウンロードが正常に完了しました。"));
        QCOMPARE(t.messages.shown.back().caption, QStringLiteral("ダウンロード完了"));
        QVERIFY(app.downloads()->progress() == nullptr);
        QVERIFY(frame->centralWidget()->isEnabled());
        const QDir firstBox(QString::fromStdString(root + "office/rusuroku/") +
                            QDir(unit.tree.path() + QStringLiteral("/rusuroku"))
                                .entryList(QDir::Dirs | QDir::NoDotAndDotDot)[0]);
        QVERIFY(!firstBox.entryList({QStringLiteral("*.vmdat")}).isEmpty());
        QCOMPARE(firstBox.entryList({QStringLiteral("*.vmdat")}).size(),
                 firstBox.entryList({QStringLiteral("*.vminf")}).size());
        frame->refreshAllLists();
        QVERIFY(list->counts().listTotal > 0);

        frame->logout();
        QVERIFY(!app.doc().loggedIn());
        const auto log = unit.sim->commandLog();
        QVERIFY(std::any_of(log.begin(), log.end(),
                            [](const std::string& line) { return line.rfind("QUIT", 0) == 0; }));
    }

    void statusLineShowsWhetherLoggedIn() {
        SimulatedUnit unit(false);
        QVERIFY(unit.ok);
        TestContext t;
        CVOXMGApp app(optionsFor(t, unit.sim->port()));
        QVERIFY(app.start());
        CMainFrame* frame = app.frame();
        QCOMPARE(frame->loginStatePane()->text(), QStringLiteral("未ログイン"));

        auto logIn = [frame] {
            whenModal<CLoginDlg>([](CLoginDlg* dialog) {
                dialog->address()->setText(QStringLiteral("127.0.0.1"));
                dialog->user()->setText(QStringLiteral("kansei"));
                dialog->password()->setText(QStringLiteral("kansei"));
                dialog->loginButton()->click();
            });
            frame->onMenuCommand(Command::Login);
        };
        logIn();
        QCOMPARE(frame->loginStatePane()->text(), QStringLiteral("ログイン中 127.0.0.1"));
        frame->logout();
        QCOMPARE(frame->loginStatePane()->text(), QStringLiteral("未ログイン"));

        // The main unit goes away; the next liveness probe finds out. (An open error box
        // holds the reconnect offer back.)
        logIn();
        QCOMPARE(frame->loginStatePane()->text(), QStringLiteral("ログイン中 127.0.0.1"));
        unit.sim->stop();
        frame->setErrorWindowCheck([] { return true; });
        frame->livenessTick();
        QCOMPARE(frame->loginStatePane()->text(), QStringLiteral("未ログイン"));
    }
};

VOXMG_GUI_TEST_MAIN(SimTest)
#include "sim_test.moc"
