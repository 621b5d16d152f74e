#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

#include "core/base/profile_file.h"
#include "fakes.h"
#include "gui/app/main_frame.h"
#include "gui/app/vox_app.h"
#include "gui/base/qt_text.h"
#include "gui/lists/info_edit_dlg.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_model.h"
#include "support/message_files.h"

using namespace voxmg::test;

namespace {

struct EditFixture : TestContext {
    EditFixture() {
        doc.settings().folder = voxmg::text::utf16FromUtf8(root());
        doc.settings().folderName = u"本社";
    }
    std::string boxFolder() const { return root() + "本社"; }
};

std::u16string utf16At(const Bytes& b, std::size_t at) {
    std::u16string out;
    for (std::size_t i = at; i + 1 < b.size(); i += 2) {
        const auto c = static_cast<char16_t>(b[i] | (b[i + 1] << 8));
        if (c == 0) {
            break;
        }
        out.push_back(c);
    }
    return out;
}

std::tm monday0905() {
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 11;
    tm.tm_mday = 7;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_wday = 1;
    return tm;
}

}  // namespace

class InfoEditTest : public QObject {
    Q_OBJECT
private slots:
    void boxDialogRefusesBadInputThenWrites() {
        EditFixture f;
        const std::string path = writeBoxMessage(f.boxFolder(), "rusuroku", "0101", 1, {.title = u"旧題"});
        const Bytes before = readBytes(path);
        CInfoEditDlg dialog(f.context, path);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("録音情報編集"));
        QCOMPARE(dialog.titleEdit()->text(), QStringLiteral("旧題"));
        QVERIFY(!dialog.flagOnButton()->isChecked());

        // 21 double-byte characters are 42 bytes; a comma is never accepted.
        for (const QString& title :
             {QStringLiteral("一二三四五六七八九十一二三四五六七八九十一"), QStringLiteral("a,b")}) {
            f.messages.shown.clear();
            dialog.titleEdit()->setText(title);
            QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
            QCOMPARE(f.messages.shown.size(), std::size_t{1});
            QCOMPARE(f.messages.shown[0].text, QStringLiteral("入力値エラーです。"));
            QCOMPARE(f.messages.shown[0].caption, QStringLiteral("エラー"));
            QVERIFY(dialog.isVisible());
        }
        // "No" to the question writes nothing and keeps the dialog.
        dialog.titleEdit()->setText(QStringLiteral("一二三四五六七八九十一二三四五六七八九十"));
        f.messages.answers = {false};
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        QCOMPARE(f.messages.lastText(), QStringLiteral("登録します。よろしいですか？"));
        QCOMPARE(f.messages.shown.back().caption, QStringLiteral("登録の確認"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(readBytes(path), before);

        dialog.callerNameEdit()->setText(QStringLiteral("山田"));
        dialog.memoEdit()->setPlainText(QStringLiteral("折り返し\n電話"));
        dialog.protectButton()->setChecked(true);
        dialog.flagOnButton()->setChecked(true);
        f.messages.shown.clear();
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.messages.shown.size(), std::size_t{1});  // the question only
        const Bytes after = readBytes(path);
        QCOMPARE(int(after[0]), 1);
        QCOMPARE(int(after[3]), 1);
        QCOMPARE(toQ(utf16At(after, 226)), QStringLiteral("一二三四五六七八九十一二三四五六七八九十"));
        QCOMPARE(toQ(utf16At(after, 102)), QStringLiteral("山田"));
        QCOMPARE(toQ(utf16At(after, 308)), QStringLiteral("折り返し\r\n電話"));
    }

    // Characters the record cannot keep are named before anything is stored.
    void charactersThatWouldTurnIntoQuestionMarksAreNamedFirst() {
        EditFixture f;
        const std::string path = writeBoxMessage(f.boxFolder(), "rusuroku", "0101", 1, {.title = u"旧題"});
        const Bytes before = readBytes(path);
        CInfoEditDlg dialog(f.context, path);
        dialog.titleEdit()->setText(QStringLiteral("髙橋様①한글"));
        dialog.memoEdit()->setPlainText(QStringLiteral("글자"));
        f.messages.answers = {false};
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        QCOMPARE(f.messages.lastText(), QStringLiteral("次の文字は保存できないため「?」として登録されます：\n"
                                                       "한글자\n\n登録します。よろしいですか？"));
        QCOMPARE(f.messages.shown.back().icon, UserMessages::Icon::Warning);
        QCOMPARE(readBytes(path), before);

        f.messages.answers = {true};
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(toQ(utf16At(readBytes(path), 226)), QStringLiteral("髙橋様①??"));
    }

    void responseEditStampsTheNameWithTheClock() {
        EditFixture f;
        const std::string path = writeResponse(f.boxFolder(), 7, {.callerName = u"旧名"});
        CInfoEditDlgS dialog(f.context, path);
        dialog.setClock(monday0905);
        dialog.show();
        QCOMPARE(dialog.nameEdit()->text(), QStringLiteral("旧名"));
        dialog.nameEdit()->setText(QStringLiteral("夜間案内"));
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.newPath() != path);
        QVERIFY(QString::fromStdString(dialog.newPath())
                    .endsWith(QStringLiteral("/202612070905_MON_A007_0000.vmdat")));
    }

    // The menu item and a double click reach the dialog of the active list.
    void responseListEditFromTheFrame() {
        TestContext t;
        SessionLog log;
        const std::string path = writeResponse(t.root() + "本社", 7, {.callerName = u"旧名"});
        CVOXMGApp app(listProgramOptions(t, log, u"本社", u"ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ"));
        QVERIFY(app.start());
        auto* view = qobject_cast<CListDispView*>(app.frame()->activeList());
        QVERIFY(view != nullptr);

        app.frame()->onMenuCommand(Command::EditRecordingInfo);
        QCOMPARE(t.messages.lastText(), QStringLiteral("選択されていません。"));

        // An empty slot has no file: nothing opens.
        t.messages.shown.clear();
        // A guard that closes any dialog that opens, stopped before the next step so that it
        // cannot catch the editor opened below on a slow machine.
        bool opened = false;
        QTimer guard;
        guard.setInterval(10);
        QObject::connect(&guard, &QTimer::timeout, [&opened] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened = true;
                dialog->reject();
            }
        });
        guard.start();
        view->table()->selectRow(0);
        app.frame()->onMenuCommand(Command::EditRecordingInfo);  // a dialog would be modal in here
        guard.stop();
        QVERIFY(!opened);
        QVERIFY(t.messages.shown.empty());

        using C = voxmg::list_columns::Column;
        const QModelIndex name = view->model()->index(6, view->model()->sectionOf(C::ResponseName));
        view->table()->scrollTo(name);
        whenModal<CInfoEditDlgS>([](CInfoEditDlgS* dialog) {
            dialog->nameEdit()->setText(QStringLiteral("夜間"));
            QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        });
        const QPoint at = view->table()->visualRect(name).center();
        QTest::mouseClick(view->table()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->table()->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(t.messages.lastText(), QStringLiteral("登録します。よろしいですか？"));
        QCOMPARE(name.data().toString(), QStringLiteral("夜間"));
        std::string selected;
        QCOMPARE(view->firstSelectedFile(&selected),
                 view->model()->index(6, 0).data(ListModel::kRecordRole).toInt());
        QVERIFY(selected != path);
        QVERIFY(std::filesystem::exists(selected));
        QVERIFY(!std::filesystem::exists(path));
    }
};

VOXMG_GUI_TEST_MAIN(InfoEditTest)
#include "info_edit_test.moc"
