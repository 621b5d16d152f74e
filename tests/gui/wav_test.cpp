#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "fakes.h"
#include "gui/app/main_frame.h"
#include "gui/audio/conv_kind_set_dlg.h"
#include "gui/audio/wav_commands.h"
#include "gui/audio/wav_conv_dlg.h"
#include "gui/audio/wav_file_del_dlg.h"
#include "gui/audio/wav_save_dlg.h"
#include "gui/base/check_list_ctrl.h"
#include "gui/base/folder_name_guard.h"

namespace {

// Answers every folder choice from a list (empty = cancelled) and counts them.
struct QueuedChoosers : ScriptedChoosers {
    QString chooseFolder(QWidget*, const QString& caption, const QString& start) override {
        captions << caption;
        starts << start;
        return folders.isEmpty() ? QString() : folders.takeFirst();
    }
    QStringList folders;
    QStringList captions;
    QStringList starts;
};

struct WavContext {
    TestContext t;
    QueuedChoosers choosers;
    AppContext context{t.doc, t.flags, t.messages, choosers, Timings{}, ScheduleState{}, uiPump()};
    voxmg::Settings& settings() { return t.doc.settings(); }
};

const NetworkTest kLocal = [](const std::string&) { return false; };
const NetworkTest kNetwork = [](const std::string&) { return true; };

const QString kNetworkQuestion = QStringLiteral(
    "指定のフォルダは、ネットワークドライブのフォルダですが、\nよろしいですか？\n\nネットワークドライブのフォ"
    "ルダを"
    "指定した場合は、ネットワーク\n環境によって、指定したフォルダが見られなくなる場合があります。\nローカルド"
    "ライブ"
    "のフォルダ指定を推奨します。");

// Box folder "office" under the test's data root, holding the given files.
std::string makeBoxFolder(TestContext& t, std::initializer_list<const char*> files) {
    t.doc.settings().folder = voxmg::text::utf16FromUtf8(t.root());
    t.doc.settings().folderName = u"office";
    const std::string boxFolder = t.root() + "office";
    QDir(QString::fromStdString(boxFolder)).mkpath(QStringLiteral("rusuroku"));
    QDir(QString::fromStdString(boxFolder)).mkpath(QStringLiteral("naisen"));
    for (const char* name : files) {
        const QString path = QString::fromStdString(boxFolder + "/" + name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("x");
    }
    return boxFolder;
}

bool exists(const std::string& path) {
    return std::filesystem::symlink_status(path).type() != std::filesystem::file_type::not_found;
}

QStringList rowsOf(const CCheckListCtrl* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        rows << list->topLevelItem(i)->text(1).trimmed();
    }
    return rows;
}

}  // namespace

class WavTest : public QObject {
    Q_OBJECT

private slots:
    void saveDialogOpensAsTheSettingsSay_data() {
        QTest::addColumn<int>("enable");
        QTest::addColumn<bool>("on");
        QTest::newRow("off") << 0 << false;
        QTest::newRow("on") << 1 << true;
    }
    void saveDialogOpensAsTheSettingsSay() {
        QFETCH(int, enable);
        QFETCH(bool, on);
        WavContext w;
        w.settings().wavSaveEnable = enable;
        w.settings().wavSavePath = u"/srv/wav";
        CWavSaveDlg dialog(w.context, nullptr, kLocal);
        QCOMPARE(dialog.onRadio()->isChecked(), on);
        QCOMPARE(dialog.offRadio()->isChecked(), !on);
        QCOMPARE(dialog.chooseButton()->isEnabled(), on);
        QCOMPARE(dialog.folderField()->isEnabled(), on);
        QCOMPARE(dialog.folderField()->text(), QStringLiteral("/srv/wav"));
        (on ? dialog.offRadio() : dialog.onRadio())->click();
        QCOMPARE(dialog.chooseButton()->isEnabled(), !on);
    }

    void saveDialogKeepsAChosenFolderEvenWhenCancelled() {
        WavContext w;
        w.settings().wavSavePath = u"/srv/old";
        w.choosers.folders = {QStringLiteral("/srv/new")};
        CWavSaveDlg dialog(w.context, nullptr, kLocal);
        dialog.onRadio()->click();
        dialog.chooseButton()->click();
        QCOMPARE(w.choosers.captions, QStringList{QStringLiteral("\n保存するフォルダを指定してください。")});
        QCOMPARE(w.choosers.starts, QStringList{QStringLiteral("/srv/old")});
        QCOMPARE(dialog.folderField()->text(), QStringLiteral("/srv/new"));
        dialog.reject();
        QCOMPARE(w.settings().wavSavePath.str(), std::u16string(u"/srv/new"));
        QVERIFY(!w.settings().wavSaveEnable);
    }

    void saveDialogAsksAboutANetworkFolderAndNoKeepsItOpen() {
        WavContext w;
        w.settings().wavSavePath = u"/mnt/share/wav";
        CWavSaveDlg dialog(w.context, nullptr, kNetwork);
        dialog.show();
        dialog.onRadio()->click();
        w.t.messages.answers = {false, true};
        dialog.okButton()->click();
        QVERIFY(dialog.isVisible());
        QVERIFY(!w.settings().wavSaveEnable);
        QCOMPARE(w.t.messages.shown.back().text, kNetworkQuestion);
        QCOMPARE(w.t.messages.shown.back().caption, QStringLiteral("ドライブの確認"));
        dialog.okButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(w.settings().wavSaveEnable);

        // Switching off asks nothing.
        CWavSaveDlg again(w.context, nullptr, kNetwork);
        again.offRadio()->click();
        again.okButton()->click();
        QVERIFY(!w.settings().wavSaveEnable);
        QCOMPARE(w.t.messages.shown.size(), std::size_t(2));
    }

    void aFolderPathTooLongForTheSettingsIsRefused() {
        WavContext w;
        w.settings().wavSavePath = u"/srv/old";
        const QString longPath = QStringLiteral("/") + QString(300, QLatin1Char('a'));
        w.choosers.folders = {longPath, longPath};
        CWavSaveDlg dialog(w.context, nullptr, kLocal);
        dialog.onRadio()->click();
        dialog.chooseButton()->click();
        QCOMPARE(w.t.messages.lastText(), QStringLiteral("入力値エラーです。"));
        QCOMPARE(w.settings().wavSavePath.str(), std::u16string(u"/srv/old"));

        CConvKindSetDlg confirm(w.context, nullptr, kLocal);
        confirm.folderButton()->click();  // refused, then the browser again, cancelled
        QCOMPARE(confirm.outcome(), CConvKindSetDlg::Outcome::Cancel);
        QCOMPARE(w.settings().wavSavePath.str(), std::u16string(u"/srv/old"));
    }

    void plainOkConvertsBesideTheVoiceData() {
        WavContext w;
        w.settings().wavSaveEnable = true;
        w.settings().wavSavePath = u"/srv/wav";
        CConvKindSetDlg dialog(w.context, nullptr, kLocal);
        QVERIFY(dialog.cancelButton()->isDefault());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("変換の確認"));
        dialog.okButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.outcome(), CConvKindSetDlg::Outcome::Beside);
        QVERIFY(!w.settings().wavSaveEnable);
        QCOMPARE(w.settings().wavSavePath.str(), std::u16string(u"/srv/wav"));
    }

    void aChosenFolderHoldsThisConversionOnly() {
        WavContext w;
        QTemporaryDir target;
        w.choosers.folders = {target.path()};
        CConvKindSetDlg first(w.context, nullptr, kLocal);
        first.folderButton()->click();
        QCOMPARE(first.result(), CConvKindSetDlg::kIntoFolderCode);
        QCOMPARE(first.outcome(), CConvKindSetDlg::Outcome::IntoFolder);
        QCOMPARE(first.folder(), target.path());
        QVERIFY(w.settings().wavSaveEnable);
        QCOMPARE(w.settings().wavSavePath.str(), target.path().toStdU16String());

        CConvKindSetDlg next(w.context, nullptr, kLocal);
        next.okButton()->click();
        QVERIFY(!w.settings().wavSaveEnable);
    }

    void cancellingTheBrowserConvertsNothing() {
        WavContext w;
        w.settings().wavSavePath = u"/srv/wav";
        CConvKindSetDlg dialog(w.context, nullptr, kLocal);
        dialog.folderButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.outcome(), CConvKindSetDlg::Outcome::Cancel);
        QVERIFY(!w.settings().wavSaveEnable);
        QCOMPARE(w.settings().wavSavePath.str(), std::u16string(u"/srv/wav"));
    }

    void aNetworkFolderRefusedShowsTheBrowserAgain() {
        WavContext w;
        w.choosers.folders = {QStringLiteral("/mnt/a"), QStringLiteral("/mnt/b")};
        w.t.messages.answers = {false, true};
        CConvKindSetDlg dialog(w.context, nullptr, kNetwork);
        dialog.folderButton()->click();
        QCOMPARE(w.choosers.captions.size(), 2);
        QCOMPARE(dialog.folder(), QStringLiteral("/mnt/b"));
        QCOMPARE(w.t.messages.shown.front().text, kNetworkQuestion);
    }

    void theBrowserStartsInTheWavFolderWhileItExists_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("fromPath");
        QTest::newRow("exists") << QDir::tempPath() << true;
        QTest::newRow("gone") << QDir::tempPath() + QStringLiteral("/voxmg-no-such-folder") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void theBrowserStartsInTheWavFolderWhileItExists() {
        QFETCH(QString, path);
        QFETCH(bool, fromPath);
        QCOMPARE(CConvKindSetDlg::browserStart(path, QStringLiteral("/home/u/Documents")),
                 fromPath ? path : QStringLiteral("/home/u/Documents"));
    }

    void progressCountsFilesAndCancelStopsAll() {
        voxmg::Flags flags;
        CWavConvDlg dialog(flags, 3);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("変換中"));
        QCOMPARE(dialog.counter()->text(), QStringLiteral("0／3"));
        QCOMPARE(dialog.bar()->value(), 0);
        QStringList seen;
        for (int i = 0; i < 3; ++i) {
            dialog.nextFile();
            seen << dialog.counter()->text();
        }
        QCOMPARE(seen, (QStringList{QStringLiteral("1／3"), QStringLiteral("2／3"), QStringLiteral("3／3")}));
        dialog.setRange(40);
        dialog.setPosition(55);
        QCOMPARE(dialog.bar()->value(), 40);
        dialog.nextFile();
        QCOMPARE(dialog.bar()->value(), 0);
        QCOMPARE(dialog.counter()->text(), QStringLiteral("3／3"));
        dialog.setCounter(5, 9);
        QCOMPARE(dialog.counter()->text(), QStringLiteral("5／9"));

        dialog.cancelButton()->click();
        QCOMPARE(flags.cancelAll.load(), 1);
        QVERIFY(dialog.cancelled());
        QVERIFY(!dialog.isVisible());
    }

    void theFolderNameStopsGrowingPast20Bytes_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("blocked");
        const QString twenty(20, QLatin1Char('a'));
        const QString kanji10 = QString(10, QChar(0x672C));  // "本", 2 bytes each
        QTest::newRow("20 bytes") << twenty << int(Qt::Key_B) << QStringLiteral("b") << false;
        QTest::newRow("21 bytes") << twenty + QLatin1Char('a') << int(Qt::Key_B) << QStringLiteral("b")
                                  << true;
        QTest::newRow("kanji 20 bytes") << kanji10 << int(Qt::Key_B) << QStringLiteral("b") << false;
        QTest::newRow("kanji 22 bytes")
            << kanji10 + QChar(0x672C) << int(Qt::Key_B) << QStringLiteral("b") << true;
        QTest::newRow("enter") << twenty + QLatin1Char('a') << int(Qt::Key_Return) << QStringLiteral("\r")
                               << false;
        QTest::newRow("escape") << twenty + QLatin1Char('a') << int(Qt::Key_Escape) << QStringLiteral("\x1b")
                                << false;
        QTest::newRow("backspace") << twenty + QLatin1Char('a') << int(Qt::Key_Backspace)
                                   << QStringLiteral("\b") << false;
    }
    void theFolderNameStopsGrowingPast20Bytes() {
        QFETCH(QString, field);
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(bool, blocked);
        const QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCOMPARE(FolderNameGuard::blocks(field, event), blocked);
    }

    void deleteDialogListsOnlyBoxesWithWavFiles() {
        WavContext w;
        const std::string boxFolder = makeBoxFolder(
            w.t, {"rusuroku/102/a.WAV", "rusuroku/101/b.wma", "rusuroku/103/c.vmdat", "naisen/200/inf.ini"});
        CWavFileDelDlg dialog(w.context);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("ＷＡＶファイル消去"));
        QCOMPARE(dialog.folderField()->text(), QString::fromStdString(boxFolder));
        QVERIFY(dialog.folderField()->isReadOnly());
        QVERIFY(dialog.boxRadio()->isChecked());
        QCOMPARE(rowsOf(dialog.rusurokuList()), (QStringList{QStringLiteral("101"), QStringLiteral("102")}));
        QCOMPARE(dialog.naisenList()->topLevelItemCount(), 0);
        QCOMPARE(dialog.rusurokuList()->value(0), QStringLiteral("0"));
    }

    void deleteDialogWithNothingToDeleteClosesWithTheError_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("opens");
        QTest::newRow("voice only") << QStringLiteral("rusuroku/101/a.vmdat") << false;
        QTest::newRow("response wav") << QStringLiteral("outou/A001.WAV") << true;
    }
    void deleteDialogWithNothingToDeleteClosesWithTheError() {
        QFETCH(QString, file);
        QFETCH(bool, opens);
        WavContext w;
        makeBoxFolder(w.t, {file.toUtf8().constData()});
        CWavFileDelDlg dialog(w.context);
        QCOMPARE(dialog.hasWavFiles(), opens);
        if (!opens) {
            QCOMPARE(dialog.exec(), int(QDialog::Rejected));
            QCOMPARE(w.t.messages.lastText(), QStringLiteral("フォルダにＷＡＶファイルがありません。"));
            QCOMPARE(w.t.messages.shown.back().caption, QStringLiteral("エラー"));
        }
    }

    void deletesTheWavFilesOfTheCheckedBoxesOnly() {
        WavContext w;
        const std::string b =
            makeBoxFolder(w.t, {"rusuroku/101/a.wav", "rusuroku/101/A.WAV", "rusuroku/101/a.vmdat",
                                "rusuroku/102/b.wav", "naisen/200/c.wma", "outou/d.wav"});
        CWavFileDelDlg dialog(w.context);
        dialog.show();
        w.t.messages.answers = {false};
        dialog.rusurokuList()->toggle(0);
        dialog.deleteButton()->click();
        QCOMPARE(w.t.messages.shown.back().text,
                 QStringLiteral("指定ボックスのＷＡＶファイルを消去します。\nよろしいですか？"));
        QCOMPARE(w.t.messages.shown.back().caption, QStringLiteral("ＷＡＶファイル消去確認"));
        QVERIFY(dialog.isVisible());
        QVERIFY(exists(b + "/rusuroku/101/a.wav"));

        dialog.naisenList()->setAll(true);
        dialog.deleteButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(w.t.messages.shown.back().text,
                 QStringLiteral("ＷＡＶファイルの消去が正常に完了しました。"));
        QCOMPARE(w.t.messages.shown.back().caption, QStringLiteral("消去完了"));
        QCOMPARE(w.t.messages.shown.back().icon, UserMessages::Icon::Information);
        QVERIFY(!exists(b + "/rusuroku/101/a.wav"));
        QVERIFY(!exists(b + "/rusuroku/101/A.WAV"));
        QVERIFY(!exists(b + "/naisen/200/c.wma"));
        QVERIFY(exists(b + "/rusuroku/101/a.vmdat"));
        QVERIFY(exists(b + "/rusuroku/102/b.wav"));
        QVERIFY(exists(b + "/outou/d.wav"));
    }

    void noCheckedBoxDeletesNothing() {
        WavContext w;
        const std::string b = makeBoxFolder(w.t, {"rusuroku/101/a.wav"});
        CWavFileDelDlg dialog(w.context);
        dialog.show();
        dialog.deleteButton()->click();
        QCOMPARE(w.t.messages.lastText(), QStringLiteral("BOXが選択されていません。"));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(exists(b + "/rusuroku/101/a.wav"));
    }

    void responseChoiceDeletesTheResponseFolderOnly() {
        WavContext w;
        const std::string b = makeBoxFolder(
            w.t, {"outou/A001.WAV", "outou/A001.WMA", "outou/A001.vmdat", "rusuroku/101/a.wav"});
        CWavFileDelDlg dialog(w.context);
        dialog.show();
        dialog.rusurokuList()->toggle(0);
        dialog.responseRadio()->click();
        QVERIFY(!dialog.rusurokuList()->isEnabled());
        dialog.deleteButton()->click();
        QCOMPARE(w.t.messages.lastText(), QStringLiteral("ＷＡＶファイルの消去が正常に完了しました。"));
        QVERIFY(!exists(b + "/outou/A001.WAV"));
        QVERIFY(!exists(b + "/outou/A001.WMA"));
        QVERIFY(exists(b + "/outou/A001.vmdat"));
        QVERIFY(exists(b + "/rusuroku/101/a.wav"));
    }

    void aBoxNameThatIsNoUtf8IsDeletedUnderItsOwnName() {
        WavContext w;
        const std::string b = makeBoxFolder(w.t, {});
        const std::string box = b + "/naisen/\x93\xe0\x90\xfc";  // CP932 bytes, as copied from Windows
        std::filesystem::create_directories(box);
        std::ofstream(box + "/a.wav") << "x";
        CWavFileDelDlg dialog(w.context);
        dialog.show();
        QCOMPARE(dialog.naisenList()->topLevelItemCount(), 1);
        dialog.naisenList()->toggle(0);
        dialog.deleteButton()->click();
        QCOMPARE(w.t.messages.lastText(), QStringLiteral("ＷＡＶファイルの消去が正常に完了しました。"));
        QVERIFY(!exists(box + "/a.wav"));
    }

    void aBoxThatBecameALinkIsRefusedAndToldNotPassedOver() {
        WavContext w;
        const std::string b = makeBoxFolder(w.t, {"rusuroku/101/a.wav", "elsewhere/keep.wav"});
        CWavFileDelDlg dialog(w.context);
        dialog.show();
        std::filesystem::remove_all(b + "/rusuroku/101");
        std::filesystem::create_directory_symlink(b + "/elsewhere", b + "/rusuroku/101");
        dialog.rusurokuList()->toggle(0);
        dialog.deleteButton()->click();
        QCOMPARE(w.t.messages.lastText(), QStringLiteral("消去できなかったＷＡＶファイルがあります。"));
        QCOMPARE(w.t.messages.shown.back().caption, QStringLiteral("エラー"));
        QVERIFY(exists(b + "/elsewhere/keep.wav"));
    }

    void theSettingsMenuOpensTheWavDialogs() {
        WavContext w;
        makeBoxFolder(w.t, {"naisen/200/a.wav"});
        SessionLog log;
        CMainFrame frame(w.context, scriptedSessions(log));
        installWavCommands(frame);
        frame.updateSettingsMenu();
        QVERIFY(frame.settingsAction(Command::DeleteWavFiles)->isEnabled());
        QVERIFY(frame.settingsAction(Command::WavSaveFolder)->isEnabled());
        QCOMPARE(frame.settingsAction(Command::WavSaveFolder)->text(),
                 QStringLiteral("WAVファイルの保存先を設定する..."));

        w.settings().wavSavePath = u"/srv/wav";
        whenModal<CWavSaveDlg>([](CWavSaveDlg* dialog) {
            dialog->onRadio()->click();
            dialog->okButton()->click();
        });
        frame.onMenuCommand(Command::WavSaveFolder);
        QVERIFY(w.settings().wavSaveEnable);

        int rows = -1;
        whenModal<CWavFileDelDlg>([&rows](CWavFileDelDlg* dialog) {
            rows = dialog->naisenList()->topLevelItemCount();
            dialog->reject();
        });
        frame.onMenuCommand(Command::DeleteWavFiles);
        QCOMPARE(rows, 1);
    }
};

VOXMG_GUI_TEST_MAIN(WavTest)
#include "wav_test.moc"
