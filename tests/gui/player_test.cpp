#include <QAction>
#include <QDockWidget>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>

#include "core/base/profile_file.h"
#include "core/store/file_mng.h"
#include "fakes.h"
#include "gui/app/main_frame.h"
#include "gui/app/vox_app.h"
#include "gui/audio/convert_command.h"
#include "gui/audio/player_commands.h"
#include "gui/audio/player_pane.h"
#include "gui/automation/new_message_notice.h"
#include "gui/lists/del_kind_set_dlg.h"
#include "gui/lists/info_edit_dlg.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_model.h"
#include "support/message_files.h"
#include "support/null_audio_sink.h"

using namespace voxmg::test;
using namespace std::chrono_literals;
using voxmg::player::PaneState;

namespace {

class FakeOpener : public WavOpener {
public:
    bool open(const QString&) override {
        ++opened;
        return true;
    }
    int opened = 0;
};

// The program with the player pane shown and list 1 on three 8-second messages of box 0101.
struct PlayerFixture {
    PlayerFixture() {
        for (int n = 1; n <= 3; ++n) {
            ListedMessage m;
            m.callerName = u"発信者" + std::u16string(1, static_cast<char16_t>(u'0' + n));
            const std::string path = t.root() + "本社/rusuroku/0101/" + boxMessageName("0101", n, n);
            writeFile(path, boxMessage(recordOf(m), {}, 8000));
        }
        options = listProgramOptions(t, log, u"本社", u"留守録BOX：0101");
        auto ini = voxmg::ProfileFile::load(t.doc.settingsPath());
        ini.writeInt(u"PLAYER", u"PANE", 1);
        ini.save(0600);
        options.audioSink = &sink;
        options.wavOpener = &opener;
        app = std::make_unique<CVOXMGApp>(options);
    }
    CListDispView* start() {
        if (!app->start()) {
            return nullptr;
        }
        auto* view = qobject_cast<CListDispView*>(app->frame()->activeList());
        if (view != nullptr) {
            view->table()->setFocus();
            view->table()->selectRow(0);
            QCoreApplication::processEvents();
        }
        return view;
    }
    PlayerPane& pane() { return *app->player()->pane(); }
    voxmg::player::PlayerSession& session() { return pane().session(); }
    std::string pathAt(CListDispView* view, int row) const {
        return view->rows().record(view->model()->recordAt(row)).pathUtf8();
    }
    void key(CListDispView* view, Qt::Key k) {
        QTest::keyClick(view->table(), k);
        QCoreApplication::processEvents();
    }

    TestContext t;
    SessionLog log;
    NullAudioSink sink;
    FakeOpener opener;
    CVOXMGApp::Options options;
    std::unique_ptr<CVOXMGApp> app;
};

}  // namespace

class PlayerTest : public QObject {
    Q_OBJECT
private slots:
    // At the smallest height the frame allows, with a list and the player pane open, nothing
    // lies over anything: the buttons and the list keep their room, the pane its own above the
    // status bar.
    void theSmallestFrameFitsTheListAndThePane() {
        PlayerFixture f;
        CListDispView* view = f.start();
        QVERIFY(view != nullptr);
        auto* frame = f.app->frame();
        frame->show();
        frame->resize(845, 100);  // below the minimum: the frame keeps its minimum
        QCoreApplication::processEvents();
        auto* dock = frame->findChild<QDockWidget*>(QStringLiteral("playerDock"));
        QVERIFY(dock != nullptr && dock->isVisible());
        QWidget* central = frame->centralWidget();
        QVERIFY2(
            central->height() >= central->minimumSizeHint().height(),
            qPrintable(
                QStringLiteral("%1 < %2").arg(central->height()).arg(central->minimumSizeHint().height())));
        QVERIFY(dock->height() >= dock->minimumSizeHint().height());
        QVERIFY(dock->geometry().bottom() < frame->statusBar()->geometry().top());
        QVERIFY(central->geometry().bottom() < dock->geometry().top());
        f.app->frame()->exitSequence();
    }

    // An empty response slot is said to be empty, not as if nothing were selected.
    void anEmptyResponseSlotIsSaidToBeEmpty() {
        TestContext t;
        SessionLog log;
        writeResponse(t.root() + "本社", 2);
        auto options = listProgramOptions(t, log, u"本社", u"ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ");
        auto ini = voxmg::ProfileFile::load(t.doc.settingsPath());
        ini.writeInt(u"PLAYER", u"PANE", 1);
        ini.save(0600);
        NullAudioSink sink;
        options.audioSink = &sink;
        CVOXMGApp app(options);
        QVERIFY(app.start());
        auto* view = qobject_cast<CListDispView*>(app.frame()->activeList());
        QVERIFY(view != nullptr);
        view->table()->setFocus();
        view->table()->selectRow(0);  // slot 001: empty
        QCoreApplication::processEvents();
        QTRY_COMPARE(app.player()->pane()->statusText(),
                     QStringLiteral("この番号にはメッセージがありません。"));
        view->table()->selectRow(1);  // slot 002: a message
        QCoreApplication::processEvents();
        QTRY_VERIFY(app.player()->pane()->statusText() !=
                    QStringLiteral("この番号にはメッセージがありません。"));
        app.frame()->exitSequence();
    }

    void keysTriageTheList() {
        PlayerFixture f;
        CListDispView* view = f.start();
        QVERIFY(view != nullptr);
        QVERIFY(!f.app->player()->dock()->isHidden());
        QCOMPARE(f.session().message().path, f.pathAt(view, 0));

        f.key(view, Qt::Key_Space);
        QCOMPARE(f.session().state(), PaneState::Playing);
        f.key(view, Qt::Key_Right);
        QCOMPARE(f.session().position(), 5000ms);
        f.key(view, Qt::Key_Left);
        QCOMPARE(f.session().position(), 0ms);

        // The pane follows the row and goes on playing.
        f.key(view, Qt::Key_Down);
        QCOMPARE(f.session().message().path, f.pathAt(view, 1));
        QCOMPARE(f.session().state(), PaneState::Playing);

        f.key(view, Qt::Key_F);
        voxmg::FILESTS_INFO record;
        std::atomic<int> cancel{0};
        QVERIFY(voxmg::CFileMng(cancel).readRecord(f.pathAt(view, 1), record));
        QCOMPARE(record.flags & voxmg::FILESTS_INFO::kUserFlag, 1);

        f.key(view, Qt::Key_N);
        QCOMPARE(view->table()->currentIndex().row(), 2);
        QCOMPARE(f.session().message().path, f.pathAt(view, 2));

        bool edited = false;
        whenModal<CInfoEditDlg>([&edited](CInfoEditDlg* d) {
            edited = true;
            d->reject();
        });
        f.key(view, Qt::Key_Return);
        QVERIFY(edited);

        bool askedToDelete = false;
        whenModal<CDelKindSetDlg>([&askedToDelete](CDelKindSetDlg* d) {
            askedToDelete = true;
            d->reject();
        });
        f.key(view, Qt::Key_Delete);
        QVERIFY(askedToDelete);
        QCOMPARE(view->model()->rowCount(), 3);
    }

    // Delete and F need a selection, as Enter does; a delete leaves nothing selected.
    void keysWithNothingSelectedSaySoAndADeleteLeavesNoSelection() {
        PlayerFixture f;
        CListDispView* view = f.start();
        QVERIFY(view != nullptr);
        view->table()->clearSelection();
        const std::string path = f.pathAt(view, 0);
        for (Qt::Key k : {Qt::Key_Delete, Qt::Key_F}) {
            f.t.messages.shown.clear();
            f.key(view, k);
            QCOMPARE(f.t.messages.lastText(), QStringLiteral("選択されていません。"));
            QVERIFY(view->table()->selectionModel()->selectedRows().isEmpty());
        }
        voxmg::FILESTS_INFO record;
        std::atomic<int> cancel{0};
        QVERIFY(voxmg::CFileMng(cancel).readRecord(path, record));
        QCOMPARE(record.flags & voxmg::FILESTS_INFO::kUserFlag, 0);

        view->table()->selectRow(0);
        whenModal<CDelKindSetDlg>([](CDelKindSetDlg* d) { d->pcButton()->click(); });
        f.t.messages.answers = {true};
        f.key(view, Qt::Key_Delete);
        QCOMPARE(view->model()->rowCount(), 2);
        QVERIFY(view->table()->selectionModel()->selectedRows().isEmpty());
    }

    // Going back to a list through the ウィンドウ menu shows its selected message again, with
    // its waveform.
    void theWindowMenuBringsBackAListWithItsWaveform() {
        PlayerFixture f;
        for (int n = 1; n <= 2; ++n) {
            const std::string path = f.t.root() + "本社/rusuroku/0102/" + boxMessageName("0102", n, n);
            writeFile(path, boxMessage(recordOf(ListedMessage{}), {}, 4000));
        }
        auto ini = voxmg::ProfileFile::load(f.t.doc.settingsPath());
        ini.writeInt(u"DISP", u"NUM", 2);
        ini.writeString(u"DISP", u"DISP2", u"留守録BOX：0102");
        ini.writeString(u"DISP", u"FOLDERNAME2", u"本社");
        ini.save(0600);
        f.app = std::make_unique<CVOXMGApp>(f.options);
        QVERIFY(f.app->start());
        auto* frame = f.app->frame();
        auto choose = [frame](int n) {
            frame->rebuildWindowMenu();
            for (QAction* action : frame->windowMenu()->actions()) {
                if (action->data().toInt() == windowListItem(n)) {
                    action->trigger();
                }
            }
            QCoreApplication::processEvents();
            auto* view = qobject_cast<CListDispView*>(frame->activeList());
            if (view != nullptr && view->table()->selectionModel()->selectedRows().isEmpty()) {
                view->table()->selectRow(0);
                QCoreApplication::processEvents();
            }
            return view;
        };
        for (int n : {1, 2, 1, 2}) {
            CListDispView* view = choose(n);
            QVERIFY(view != nullptr);
            QTRY_COMPARE(f.session().message().path, f.pathAt(view, 0));
            QTRY_VERIFY_WITH_TIMEOUT(f.pane().waveformView()->hasPeaks(), 5000);
        }
        frame->exitSequence();
    }

    // The pane shows what the active list selects, or nothing; reopened, it draws again.
    void thePaneShowsTheSelectionOrNothing() {
        PlayerFixture f;
        CListDispView* view = f.start();
        QVERIFY(view != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(f.pane().waveformView()->hasPeaks(), 5000);

        f.app->player()->dock()->close();
        QCoreApplication::processEvents();
        QCOMPARE(f.session().state(), PaneState::Empty);
        f.key(view, Qt::Key_Space);
        QVERIFY(!f.app->player()->dock()->isHidden());
        QCOMPARE(f.session().message().path, f.pathAt(view, 0));
        QTRY_VERIFY_WITH_TIMEOUT(f.pane().waveformView()->hasPeaks(), 5000);

        view->table()->clearSelection();
        QCoreApplication::processEvents();
        QCOMPARE(f.session().state(), PaneState::Empty);
        QVERIFY(!f.pane().waveformView()->hasPeaks());
    }

    // A message that leaves the list on a refresh (deleted by another run) leaves the pane too;
    // one that stays keeps it.
    void aMessageGoneFromTheListLeavesThePane() {
        PlayerFixture f;
        CListDispView* view = f.start();
        QVERIFY(view != nullptr);
        const std::string shown = f.pathAt(view, 0);
        QCOMPARE(f.session().message().path, shown);
        view->refresh(false, true, true);
        QCoreApplication::processEvents();
        QCOMPARE(f.session().message().path, shown);

        QVERIFY(QFile::remove(QString::fromStdString(shown)));
        view->refresh(false, true, true);
        QCoreApplication::processEvents();
        QCOMPARE(view->model()->rowCount(), 2);
        QCOMPARE(f.session().state(), PaneState::Empty);
    }

    // A message the mail sender found silent says so in the pane; the others do not.
    void aSilentMessageIsMarkedInThePane() {
        PlayerFixture f;
        CListDispView* view = f.start();
        QVERIFY(view != nullptr);
        const std::string silent = f.pathAt(view, 1);
        const std::string name = silent.substr(silent.rfind('/') + 1);
        QVERIFY(QDir().mkpath(QString::fromStdString(f.t.root() + "mail-outbox")));
        writeFile(f.t.root() + "mail-outbox/silent-marks", name.substr(0, name.size() - 6) + "\n");
        view->table()->selectRow(1);
        QCoreApplication::processEvents();
        QVERIFY2(f.pane().caption().endsWith(QStringLiteral("  ［無音］")), qPrintable(f.pane().caption()));
        view->table()->selectRow(0);
        QCoreApplication::processEvents();
        QVERIFY(f.pane().caption().startsWith(QStringLiteral("0101")));
        QVERIFY(!f.pane().caption().contains(QStringLiteral("無音")));
    }

    void listeningMarksTheRowPlayedOnce() {
        PlayerFixture f;
        CListDispView* view = f.start();
        QVERIFY(view != nullptr);
        const std::string path = f.pathAt(view, 0);
        using C = voxmg::list_columns::Column;
        const int played = view->model()->sectionOf(C::Played);
        QCOMPARE(view->model()->index(0, played).data().toString(), QStringLiteral("未再生"));

        // "再生ボタンで内蔵プレーヤーを使う": the button plays in the pane, not the desktop player.
        f.app->doc().settings().playerButton = true;
        f.app->frame()->onCommand(Command::Play);
        QCOMPARE(f.session().state(), PaneState::Playing);
        QCOMPARE(f.opener.opened, 0);

        QSignalSpy marked(&f.pane(), &PlayerPane::marked);
        QVERIFY(f.session().waitForWaveform(5s));
        f.sink.pull(3100ms);
        f.pane().tick();
        f.sink.pull(3000ms);
        f.pane().tick();
        QCOMPARE(marked.count(), 1);
        QCOMPARE(f.pane().statusText(), QStringLiteral("再生済"));
        int row = 0;
        while (f.pathAt(view, row) != path) {
            ++row;
        }
        QCOMPARE(view->model()->index(row, played).data().toString(), QStringLiteral("再生済"));
        // The list's refresh kept the row and the playback.
        QCOMPARE(f.session().state(), PaneState::Playing);
    }

    void noticeOnlyWhenTheWindowIsNotActive() {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString() + "/本社";
        writeBoxMessage(folder, "rusuroku", "0101", 1);
        const std::vector<std::u16string> titles{u"留守録BOX：0101"};
        QWidget window;
        bool active = true;
        NewMessageNotice notice(&window, [&active] { return active; });
        QSignalSpy announced(&notice, &NewMessageNotice::announced);
        notice.watch(folder, titles);
        struct Case {
            const char* what;
            bool active;
            bool enabled;
            int notices;
        };
        const Case cases[] = {
            {"window active", true, true, 0},
            {"setting off", false, false, 0},
            {"in the background", false, true, 1},
        };
        int n = 2;
        for (const auto& c : cases) {
            ListedMessage m;
            m.callerName = u"山田";
            writeBoxMessage(folder, "rusuroku", "0101", n, m, n);
            ++n;
            active = c.active;
            announced.clear();
            notice.arrived(folder, "/rusuroku/0101", titles, c.enabled);
            QVERIFY2(announced.count() == c.notices, c.what);
        }
        QCOMPARE(announced.front().at(0).toString(), QStringLiteral("新着メッセージ 1件"));
        QCOMPARE(announced.front().at(1).toString(), QStringLiteral("ボックス: 0101\n発信者: 山田"));
    }
};

VOXMG_GUI_TEST_MAIN(PlayerTest)
#include "player_test.moc"
