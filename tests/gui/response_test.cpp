#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <fstream>

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
#include "gui/lists/prg_add_msg_dlg.h"
#include "sim_app.h"

namespace {

// `seconds` of a tone as a mono 16-bit 8000 Hz WAV file.
void writeToneWav(const std::string& path, double seconds = 1.5) {
    const auto samples = static_cast<std::uint32_t>(seconds * 8000);
    std::string b = "RIFF";
    auto le = [&b](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) {
            b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
    };
    le(36 + samples * 2, 4);
    b += "WAVEfmt ";
    le(16, 4), le(1, 2), le(1, 2), le(8000, 4), le(16000, 4), le(2, 2), le(16, 2);
    b += "data";
    le(samples * 2, 4);
    for (std::uint32_t i = 0; i < samples; ++i) {
        le(static_cast<std::uint16_t>(static_cast<std::int16_t>(5000 * std::sin(i * 0.2))), 2);
    }
    std::ofstream(path, std::ios::binary) << b;
}

}  // namespace

// "追加" and "アップロード" from the command bar: a WAV file into slot 005 of the response list,
// then up to the main unit simulator.
class ResponseTest : public QObject {
    Q_OBJECT

private slots:
    void importIntoSlotThenUpload() {
        SimulatedUnit unit(false);
        QVERIFY(unit.ok);
        QVERIFY(QDir().mkpath(unit.tree.path() + QStringLiteral("/outou")));
        TestContext t;
        CVOXMGApp app(optionsFor(t, unit.sim->port()));
        QVERIFY(app.start());
        CMainFrame* frame = app.frame();

        const std::string root = t.root() + "data/";
        const std::string outou = root + "office/outou";
        QVERIFY(QDir().mkpath(QString::fromStdString(outou)));
        app.doc().settings().folder = voxmg::text::utf16FromUtf8(root);
        app.doc().settings().folderName = u"office";
        frame->setFolderText();
        app.doc().settings().disp[0] = u"ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ";
        app.doc().settings().folderNames[0] = u"office";
        QVERIFY(frame->openList(1));
        CListDispView* list = app.lists()->view(1);
        auto button = [frame](Command id) { return frame->commandBar()->button(id); };
        auto cell = [list](int row, const QString& header) {
            for (int c = 0; c < list->model()->columnCount(); ++c) {
                if (list->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == header) {
                    return list->model()->index(row, c).data().toString();
                }
            }
            return QString();
        };

        // An empty slot: no question, straight to the file.
        list->table()->selectRow(4);
        frame->updateCommandStates();
        QVERIFY(button(Command::AddResponse)->isEnabled());
        QVERIFY(!button(Command::Upload)->isEnabled());
        // The user's file keeps its case as the audio kept beside the message.
        t.choosers.file = QString::fromStdString(t.root() + "GREETING.WAV");
        writeToneWav(t.choosers.file.toStdString());
        button(Command::AddResponse)->click();
        QCOMPARE(t.messages.shown.size(), std::size_t{1});
        QCOMPARE(t.messages.lastText(), QStringLiteral("音声ファイルの読み込みが完了しました。"));
        QCOMPARE(t.messages.shown.back().caption, QStringLiteral("取り込み完了"));
        QCOMPARE(cell(4, QStringLiteral("録音時間")), QStringLiteral("00:00:01"));
        QCOMPARE(QDir(QString::fromStdString(outou)).entryList({QStringLiteral("*A005_0000.vmdat")}).size(),
                 1);
        QVERIFY(frame->centralWidget()->isEnabled());
        // The rebuilt list keeps the one slot selected, not every other empty one.
        QCOMPARE(list->table()->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(list->table()->selectionModel()->selectedRows().front().row(), 4);

        // The slot is taken now: "No" leaves it alone.
        list->table()->selectRow(4);
        t.messages.answers = {false};
        button(Command::AddResponse)->click();
        QCOMPARE(t.messages.lastText(), QStringLiteral("メッセージ005は既に存在します。\n上書きしますか？"));
        QCOMPARE(t.messages.shown.back().caption, QStringLiteral("取り込みの確認"));

        // キャンセル of a re-import into the same slot (the same minute gives the same names):
        // the message and the audio kept beside it stay as they were.
        const QDir outouDir(QString::fromStdString(outou));
        const QStringList before = outouDir.entryList(QDir::Files);
        QFile kept(outouDir.filePath(outouDir.entryList({QStringLiteral("*.WAV")}).value(0)));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        const QByteArray keptBytes = kept.readAll();
        kept.close();
        t.choosers.file = QString::fromStdString(t.root() + "AGAIN.WAV");
        writeToneWav(t.choosers.file.toStdString(), 120);  // long enough to be cancelled while it converts
        // キャンセル once the conversion runs (a cancel before it would be cleared at its start).
        QTimer canceller;
        QObject::connect(&canceller, &QTimer::timeout, [&canceller] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* progress = qobject_cast<CPrgAddMsgDlg*>(w);
                if (progress != nullptr && progress->isVisible() &&
                    progress->label()->text() == QStringLiteral("音声ファイルを変換しています。")) {
                    progress->cancelButton()->click();
                    canceller.stop();
                }
            }
        });
        canceller.start(0);
        list->table()->selectRow(4);
        t.messages.answers = {true};
        button(Command::AddResponse)->click();
        // Cancelled: the overwrite question is the last word, no "読み込みが完了しました".
        QCOMPARE(t.messages.lastText(), QStringLiteral("メッセージ005は既に存在します。\n上書きしますか？"));
        QCOMPARE(outouDir.entryList(QDir::Files), before);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), keptBytes);
        kept.close();

        // Logged in, the slot goes up and shows "済み".
        logInThroughDialog(app);
        QVERIFY(app.doc().loggedIn());
        list->table()->selectRow(4);
        frame->updateCommandStates();
        QVERIFY(button(Command::Upload)->isEnabled());
        t.messages.answers = {true};
        button(Command::Upload)->click();
        QCOMPARE(t.messages.shown.at(t.messages.shown.size() - 2).text,
                 QStringLiteral("アップロードを開始します。\nよろしいですか？"));
        QCOMPARE(t.messages.lastText(), QStringLiteral("アップロードが完了しました。"));
        QCOMPARE(
            QDir(unit.tree.path() + QStringLiteral("/outou")).entryList({QStringLiteral("*.vmdat")}).size(),
            1);
        QCOMPARE(cell(4, QStringLiteral("アップロード")), QStringLiteral("済み"));
        QVERIFY(app.doc().loggedIn());

        // 消去 on the PC only takes the audio kept beside the message too, whatever its case.
        QCOMPARE(QDir(QString::fromStdString(outou)).entryList({QStringLiteral("*A005_0000.WAV")}).size(), 1);
        list->table()->selectRow(4);
        frame->updateCommandStates();
        whenModal<CDelKindSetDlg>([](CDelKindSetDlg* dialog) { dialog->pcButton()->click(); });
        t.messages.answers = {true};
        button(Command::Delete)->click();
        QCOMPARE(t.messages.lastText(), QStringLiteral("音声メッセージの消去が正常に完了しました。"));
        QCOMPARE(QDir(QString::fromStdString(outou)).entryList(QDir::Files), QStringList());
        QVERIFY(list->table()->selectionModel()->selectedRows().isEmpty());
    }

    void escapeDoesNotStopAnImport() {
        voxmg::Flags flags;
        CPrgAddMsgDlg dialog(flags);
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QCOMPARE(flags.cancelAll.load(), 0);
        dialog.beforeConversion();
        QCOMPARE(dialog.label()->text(), QStringLiteral("音声ファイルを変換しています。"));
        dialog.cancelButton()->click();
        QCOMPARE(flags.cancelAll.load(), 1);
    }
};

VOXMG_GUI_TEST_MAIN(ResponseTest)
#include "response_test.moc"
