#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <filesystem>

#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "fakes.h"
#include "gui/app/main_frame.h"
#include "gui/app/vox_app.h"
#include "gui/audio/conv_kind_set_dlg.h"
#include "gui/audio/convert_command.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_model.h"
#include "support/message_files.h"

using namespace voxmg::test;

namespace {

class FakeOpener : public WavOpener {
public:
    bool open(const QString& wavPath) override {
        opened.push_back(wavPath);
        return answer;
    }
    QStringList opened;
    bool answer = true;
};

std::string wavOf(const std::string& path) {
    return path.substr(0, path.size() - 6) + ".wav";
}

// The program on a box folder with three messages of box 0101 in list window 1.
struct ProgramFixture {
    ProgramFixture() {
        for (int n = 1; n <= 3; ++n) {
            paths.push_back(writeBoxMessage(t.root() + "本社", "rusuroku", "0101", n));
        }
        options = listProgramOptions(t, log, u"本社", u"留守録BOX：0101");
        auto ini = voxmg::ProfileFile::load(t.doc.settingsPath());
        ini.writeInt(u"CONVERT", u"CONVDEL", 1);
        ini.save(0600);
        options.wavOpener = &opener;
        app = std::make_unique<CVOXMGApp>(options);
    }
    CListDispView* start() {
        if (!app->start()) {
            return nullptr;
        }
        return qobject_cast<CListDispView*>(app->frame()->activeList());
    }
    QString playedCell(CListDispView* view, const std::string& path) const {
        using C = voxmg::list_columns::Column;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            if (view->rows().record(view->model()->recordAt(row)).pathUtf8() == path) {
                return view->model()->index(row, view->model()->sectionOf(C::Played)).data().toString();
            }
        }
        return {};
    }

    TestContext t;
    SessionLog log;
    FakeOpener opener;
    std::vector<std::string> paths;
    CVOXMGApp::Options options;
    std::unique_ptr<CVOXMGApp> app;
};

}  // namespace

class ConvertCommandTest : public QObject {
    Q_OBJECT
private slots:
    void convertsTheSelectionAndKeepsIt() {
        ProgramFixture f;
        CListDispView* view = f.start();
        QVERIFY(view != nullptr);
        view->table()->selectAll();
        whenModal<CConvKindSetDlg>(
            [](CConvKindSetDlg* d) { QTest::mouseClick(d->okButton(), Qt::LeftButton); });
        f.app->frame()->onCommand(Command::Convert);
        QCOMPARE(f.t.messages.shown.size(), std::size_t{1});
        QCOMPARE(f.t.messages.lastText(), QStringLiteral("ＷＡＶファイルへの変換が正常に完了しました。"));
        QCOMPARE(f.t.messages.shown.back().caption, QStringLiteral("変換完了"));
        QCOMPARE(f.t.messages.shown.back().icon, UserMessages::Icon::Information);
        for (const auto& path : f.paths) {
            QVERIFY(std::filesystem::file_size(wavOf(path)) > 44);
        }
        QCOMPARE(view->selectedRecords().size(), std::size_t{3});
        QVERIFY(f.app->frame()->isEnabled());
    }

    void cancelInTheConfirmationConvertsNothing() {
        ProgramFixture f;
        CListDispView* view = f.start();
        QVERIFY(view != nullptr);
        view->table()->selectRow(0);
        whenModal<CConvKindSetDlg>(
            [](CConvKindSetDlg* d) { QTest::mouseClick(d->cancelButton(), Qt::LeftButton); });
        f.app->frame()->onCommand(Command::Convert);
        QVERIFY(f.t.messages.shown.empty());
        for (const auto& path : f.paths) {
            QVERIFY(!std::filesystem::exists(wavOf(path)));
        }
    }

    void playOpensTheExistingWavAndShowsPlayed() {
        ProgramFixture f;
        CListDispView* view = f.start();
        QVERIFY(view != nullptr);
        view->table()->selectRow(1);
        std::string path;
        QVERIFY(view->firstSelectedFile(&path) >= 0);
        writeFile(wavOf(path), std::string("RIFF"));
        QCOMPARE(f.playedCell(view, path), QStringLiteral("未再生"));

        f.app->frame()->onCommand(Command::Play);
        QVERIFY(f.t.messages.shown.empty());
        QCOMPARE(f.opener.opened, QStringList{QString::fromStdString(wavOf(path))});
        QCOMPARE(readFile(wavOf(path)), std::string("RIFF"));  // nothing converted over it
        QCOMPARE(f.playedCell(view, path), QStringLiteral("再生済"));
        std::string selected;
        view->firstSelectedFile(&selected);
        QCOMPARE(selected, path);
        // Removed at exit, as "再生後にWAVファイルを自動消去する" asks.
        QCOMPARE(f.app->frame()->pendingWavDeletions(), std::vector<std::string>{wavOf(path)});
    }

    void playWithoutAPlayerSaysSo() {
        ProgramFixture f;
        f.opener.answer = false;
        CListDispView* view = f.start();
        QVERIFY(view != nullptr);
        view->table()->selectRow(0);
        std::string path;
        view->firstSelectedFile(&path);
        f.app->frame()->onCommand(Command::Play);
        QCOMPARE(f.opener.opened.size(), 1);
        QVERIFY(std::filesystem::exists(wavOf(path)));  // converted for the play
        QCOMPARE(f.t.messages.lastText(),
                 QStringLiteral("ＷＡＶファイルを再生できるアプリケーションがありません。"));
        QCOMPARE(f.t.messages.shown.back().caption, QStringLiteral("エラー"));
        QCOMPARE(f.playedCell(view, path), QStringLiteral("未再生"));
        QVERIFY(f.app->frame()->pendingWavDeletions().empty());
    }
};

VOXMG_GUI_TEST_MAIN(ConvertCommandTest)
#include "convert_test.moc"
