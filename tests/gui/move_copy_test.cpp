#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <filesystem>

#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "fakes.h"
#include "gui/app/command_bar.h"
#include "gui/app/main_frame.h"
#include "gui/app/vox_app.h"
#include "gui/base/check_list_ctrl.h"
#include "gui/base/owr_msg_dlg.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_model.h"
#include "gui/lists/msg_copy_dlg.h"
#include "support/message_files.h"

using namespace voxmg::test;
namespace fs = std::filesystem;

namespace {

void click(CCheckListCtrl* list, int row) {
    emit list->itemClicked(list->topLevelItem(row), 0);
}

std::size_t count(const std::string& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) {
        ++n;
    }
    return n;
}

// Adds the row of the message at `path` to the list's selection.
void select(CListDispView* view, const std::string& path) {
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        if (view->rows().record(view->model()->recordAt(row)).pathUtf8() == path) {
            view->table()->selectionModel()->select(view->model()->index(row, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
}

}  // namespace

// "移動・コピー" from the command bar on a box folder with answering-machine boxes 0101 and
// 0102 and extension box 0201; the dialogs are answered the way a user would.
class MoveCopyTest : public QObject {
    Q_OBJECT

private slots:
    void moveTwoWithAClashThenCopyOne() {
        TestContext t;
        SessionLog log;
        const std::string office = t.root() + "本社";
        std::vector<std::string> paths;
        for (int n = 1; n <= 3; ++n) {
            paths.push_back(writeBoxMessage(office, "rusuroku", "0101", n));
            writeBoxMessage(office, "rusuroku", "0101", n, {}, 0, false);
        }
        writeFile(paths[0].substr(0, paths[0].size() - 6) + ".wav", std::string("RIFF"));
        // Box 0102 holds message 2 already, from another day.
        const std::string other = office + "/rusuroku/0102/" + fs::path(paths[1]).filename().string();
        writeFile(other, boxMessage(recordOf({.callerName = u"old"})));
        fs::create_directories(office + "/naisen/0201");
        CVOXMGApp app(listProgramOptions(t, log, u"本社", u"留守録BOX：0101"));
        QVERIFY(app.start());
        CMainFrame* frame = app.frame();
        auto* view = qobject_cast<CListDispView*>(frame->activeList());
        QVERIFY(view != nullptr);
        QCOMPARE(view->counts().listTotal, 3LL);
        QPushButton* button = frame->commandBar()->button(Command::MoveCopy);
        const std::string source = office + "/rusuroku/0101";
        const std::string dest = office + "/rusuroku/0102";
        const std::string original = readFile(paths[1]);

        view->table()->clearSelection();
        frame->updateCommandStates();
        QVERIFY(!button->isEnabled());
        select(view, paths[0]);
        select(view, paths[1]);
        frame->updateCommandStates();
        QVERIFY(button->isEnabled());

        QString overwriteText;
        whenModal<CMsgCopyDlg>([&](CMsgCopyDlg* dialog) {
            QVERIFY(dialog->folderEdit()->text().endsWith(QStringLiteral("本社")));
            QCOMPARE(dialog->answerBoxes()->topLevelItemCount(), 2);
            QCOMPARE(dialog->extensionBoxes()->topLevelItemCount(), 1);
            // No box ticked: refused, the dialog stays.
            dialog->moveButton()->click();
            QCOMPARE(t.messages.lastText(), QStringLiteral("BOXが選択されていません。"));
            QVERIFY(dialog->isVisible());
            // One tick across both lists.
            click(dialog->extensionBoxes(), 0);
            click(dialog->answerBoxes(), 1);
            QVERIFY(!dialog->extensionBoxes()->isChosen(0));
            QVERIFY(dialog->answerBoxes()->isChosen(1));
            whenModal<COwrMsgDlg>([&](COwrMsgDlg* ask) {
                overwriteText = ask->textLabel()->text();
                ask->button(COwrMsgDlg::Answer::All)->click();
            });
            dialog->moveButton()->click();
        });
        t.messages.answers = {true, true};
        button->click();

        QCOMPARE(overwriteText, QStringLiteral("このﾌｫﾙﾀﾞには既に %1 ﾌｧｲﾙが存在します。")
                                    .arg(QString::fromStdString(fs::path(other).filename().string())));
        QCOMPARE(t.messages.shown.at(t.messages.shown.size() - 2).text,
                 QStringLiteral("移動します。よろしいですか？"));
        QCOMPARE(t.messages.lastText(), QStringLiteral("音声メッセージの移動が正常に完了しました。"));
        QCOMPARE(t.messages.shown.back().caption, QStringLiteral("移動完了"));
        QCOMPARE(count(source), 2u);  // message 3
        QCOMPARE(count(dest), 5u);
        QCOMPARE(readFile(other), original);
        QCOMPARE(view->counts().listTotal, 1LL);  // the list was read again
        QVERIFY(frame->centralWidget()->isEnabled());

        // Copy the one left to the extension box; the list stays as it is.
        view->table()->selectRow(0);
        frame->updateCommandStates();
        whenModal<CMsgCopyDlg>([](CMsgCopyDlg* dialog) {
            click(dialog->extensionBoxes(), 0);
            dialog->copyButton()->click();
        });
        t.messages.answers = {true};
        button->click();
        QCOMPARE(t.messages.lastText(), QStringLiteral("音声メッセージのコピーが正常に完了しました。"));
        QCOMPARE(t.messages.shown.back().caption, QStringLiteral("コピー完了"));
        QCOMPARE(count(office + "/naisen/0201"), 2u);
        QCOMPARE(count(source), 2u);
        QCOMPARE(view->counts().listTotal, 1LL);
    }
};

VOXMG_GUI_TEST_MAIN(MoveCopyTest)
#include "move_copy_test.moc"
