#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>

#include "fakes.h"
#include "gui/base/check_list_ctrl.h"
#include "gui/base/qt_text.h"
#include "gui/lists/box_open_dlg.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_model.h"
#include "gui/lists/list_windows.h"
#include "support/message_files.h"

using namespace voxmg::test;

namespace {

// A data root with box folder "本社" set as the current one.
struct ListFixture : TestContext {
    ListFixture() {
        auto& s = doc.settings();
        s.folder = voxmg::text::utf16FromUtf8(root());
        s.folderName = u"本社";
    }
    std::string boxFolder() const { return root() + "本社"; }
    void setSlot(int n, const std::u16string& title, const std::u16string& folder = u"本社") {
        doc.settings().disp[static_cast<std::size_t>(n - 1)] = title;
        doc.settings().folderNames[static_cast<std::size_t>(n - 1)] = folder;
    }
};

QString cell(const CListDispView& view, int row, voxmg::list_columns::Column column) {
    const int section = view.model()->sectionOf(column);
    return view.model()->index(row, section).data().toString();
}

}  // namespace

class ListsTest : public QObject {
    Q_OBJECT
private slots:
    void emptyBoxGivesNoRowsAndNoError() {
        ListFixture f;
        std::filesystem::create_directories(f.boxFolder() + "/rusuroku/0101");
        f.setSlot(1, u"留守録BOX：0101");
        CListDispView view(f.context, 1);
        QVERIFY(view.open());
        QCOMPARE(view.model()->rowCount(), 0);
        QVERIFY(f.messages.shown.empty());
        QCOMPARE(view.windowTitle(), QStringLiteral("留守録BOX：0101"));
        QCOMPARE(view.counts().listTotal, 0LL);
    }

    // The file name column opens as wide as its widest name, laid out as the table shows it,
    // whichever row holds it (names of other lengths, other letters, other boxes around it).
    void fileNameColumnFitsTheWidestName() {
        ListFixture f;
        for (int i = 1; i <= 30; ++i) {
            writeBoxMessage(f.boxFolder(), "rusuroku", "0101", i, {}, i);
        }
        const Bytes message = boxMessage();
        writeFile(f.boxFolder() + "/naisen/0201/202612061301_WED_0201_00001.vmdat", message);
        writeFile(f.boxFolder() + "/naisen/0201/202612061302_MON_0201_00002.vmdat", message);
        writeFile(f.boxFolder() + "/rusuroku/0101/202612061359_WED_0101_00099.vmdat", message);
        f.doc.settings().columns[0] = u"ファイル名";
        f.doc.settings().columns[1] = u"相手名称";
        f.setSlot(1, u"留守録BOX：0101  内線BOX：0201");
        CListDispView view(f.context, 1);
        view.resize(600, 300);
        view.show();
        QVERIFY(view.open());
        using C = voxmg::list_columns::Column;
        QCOMPARE(view.model()->rowCount(), 33);
        const QFontMetrics metrics(view.table()->font());
        int widest = 0;
        for (int row = 0; row < view.model()->rowCount(); ++row) {
            widest = std::max(widest, metrics.horizontalAdvance(cell(view, row, C::FileName)));
        }
        QCOMPARE(view.table()->horizontalHeader()->sectionSize(view.model()->sectionOf(C::FileName)),
                 widest + 16);
    }

    void responseListHas300NumberedSlots() {
        ListFixture f;
        writeResponse(f.boxFolder(), 7, {.callerName = u"夜間"});
        f.setSlot(1, u"ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ");
        CListDispView view(f.context, 1);
        QVERIFY(view.open());
        QVERIFY(view.isResponseList());
        QCOMPARE(view.model()->rowCount(), 300);
        using C = voxmg::list_columns::Column;
        QCOMPARE(cell(view, 0, C::MessageNumber), QStringLiteral("001"));
        QCOMPARE(cell(view, 299, C::MessageNumber), QStringLiteral("300"));
        QCOMPARE(cell(view, 0, C::Length), QStringLiteral("--:--:--"));
        QCOMPARE(cell(view, 6, C::Length), QStringLiteral("00:00:05"));
        QCOMPARE(cell(view, 6, C::ResponseName), QStringLiteral("夜間"));
        QCOMPARE(view.counts().listTotal, 1LL);
        QVERIFY(view.counts().responseList);
        // Header clicks leave the slots in number order.
        view.sortBySection(view.model()->sectionOf(C::MessageNumber));
        QCOMPARE(cell(view, 0, C::MessageNumber), QStringLiteral("001"));
    }

    void refreshAfterDeleteKeepsSortAndScroll() {
        ListFixture f;
        for (int i = 1; i <= 80; ++i) {
            writeBoxMessage(f.boxFolder(), "rusuroku", "0101", i);
        }
        f.setSlot(1, u"留守録BOX：0101");
        CListDispView view(f.context, 1);
        view.resize(600, 300);
        view.show();
        QVERIFY(view.open());
        using C = voxmg::list_columns::Column;
        const int fileSection = view.model()->sectionOf(C::FileName);
        view.sortBySection(fileSection);  // ascending
        view.sortBySection(fileSection);  // descending
        const QString top = cell(view, 0, C::FileName);
        QVERIFY(top.contains(QStringLiteral("_00080.vmdat")));
        QApplication::processEvents();
        view.table()->verticalScrollBar()->setValue(20);
        QCOMPARE(view.table()->verticalScrollBar()->value(), 20);
        view.table()->selectRow(25);

        // An operation removed a message file, then asks for a refresh as deletes do.
        std::filesystem::remove(f.boxFolder() + "/rusuroku/0101/" + boxMessageName("0101", 80));
        view.refresh(false, true, false);
        QCOMPARE(view.model()->rowCount(), 79);
        QHeaderView* header = view.table()->horizontalHeader();
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), fileSection);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QVERIFY(cell(view, 0, C::FileName).contains(QStringLiteral("_00079.vmdat")));
        QCOMPARE(view.table()->verticalScrollBar()->value(), 20);
        QVERIFY(view.selectedRecords().empty());
        QCOMPARE(view.firstSelectedFile(), -1);
    }

    void toggledFlagSurvivesReopening() {
        ListFixture f;
        const std::string path = writeBoxMessage(f.boxFolder(), "naisen", "0201", 1);
        f.setSlot(1, u"内線BOX：0201");
        using C = voxmg::list_columns::Column;
        {
            CListDispView view(f.context, 1);
            view.resize(700, 300);
            view.show();
            QVERIFY(view.open());
            QCOMPARE(cell(view, 0, C::Flag), QStringLiteral(" 0 "));
            const QModelIndex flag = view.model()->index(0, view.model()->sectionOf(C::Flag));
            const QRect rect = view.table()->visualRect(flag);
            QTest::mouseClick(view.table()->viewport(), Qt::LeftButton, {}, rect.center());
            QCOMPARE(cell(view, 0, C::Flag), QStringLiteral(" 1 "));
            QCOMPARE(int(readBytes(path).at(0)), 1);
            // The click selected the row: a voice message can be played.
            QVERIFY(view.commandState().play);
        }
        CListDispView again(f.context, 1);
        QVERIFY(again.open());
        QCOMPARE(cell(again, 0, C::Flag), QStringLiteral(" 1 "));
    }

    void allAfterNotDownloadedShowsEveryRow() {
        ListFixture f;
        writeBoxMessage(f.boxFolder(), "rusuroku", "0101", 1);
        writeBoxMessage(f.boxFolder(), "rusuroku", "0101", 2, {}, 0, false);
        writeBoxMessage(f.boxFolder(), "rusuroku", "0102", 1, {}, 0, false);
        f.setSlot(1, u"留守録BOX：0101,0102");
        CListDispView view(f.context, 1);
        QVERIFY(view.open());
        QVERIFY(view.hasUndownloaded());
        view.showNotDownloaded();
        QCOMPARE(view.model()->rowCount(), 2);
        QCOMPARE(view.counts().listTotal, 2LL);
        QCOMPARE(view.counts().boxTotal, 3LL);
        view.showAll();
        QCOMPARE(view.model()->rowCount(), 3);
        QCOMPARE(int(view.mode()), int(CListDispView::Mode::All));
    }

    void fifthListIsRefused() {
        ListFixture f;
        std::filesystem::create_directories(f.boxFolder() + "/rusuroku/0105");
        for (int n = 1; n <= 4; ++n) {
            f.setSlot(n, u"内線BOX：20" + std::u16string(1, static_cast<char16_t>(u'0' + n)));
        }
        CBoxOpenDlg dialog(f.context, 4);
        dialog.answerList()->toggle(0);
        dialog.openChosen();
        QCOMPARE(f.messages.lastText(), QStringLiteral("開ける一覧表が上限に達しています。"));
        QCOMPARE(dialog.slot(), 0);
        QVERIFY(dialog.result() != QDialog::Accepted);
    }

    void secondResponseListCannotBeChosen() {
        ListFixture f;
        std::filesystem::create_directories(f.boxFolder() + "/rusuroku/0101");
        f.setSlot(1, u"ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ", u"支店");
        CBoxOpenDlg dialog(f.context, 1);
        QVERIFY(!dialog.responseChoice()->isEnabled());
        CBoxOpenDlg none(f.context, 0);
        QVERIFY(none.responseChoice()->isEnabled());
    }

    void shownBoxesAreGreyedAndCommaNamesSurvive() {
        ListFixture f;
        for (const char* box : {"0101", "a,b"}) {
            std::filesystem::create_directories(f.boxFolder() + "/rusuroku/" + box);
        }
        std::filesystem::create_directories(f.boxFolder() + "/naisen/201");
        f.setSlot(1, u"留守録BOX：0101");
        f.setSlot(2, u"内線BOX：201", u"支店");  // the same box name in another folder
        CBoxOpenDlg dialog(f.context, 2);
        CCheckListCtrl* answers = dialog.answerList();
        QCOMPARE(answers->value(0), QStringLiteral("2"));
        answers->toggle(0);
        QCOMPARE(answers->value(0), QStringLiteral("2"));
        answers->setAll(true);
        QCOMPARE(answers->value(0), QStringLiteral("2"));
        QCOMPARE(answers->value(1), QStringLiteral("1"));
        QCOMPARE(dialog.extensionList()->value(0), QStringLiteral("0"));
        dialog.openChosen();
        QCOMPARE(dialog.slot(), 3);
        QCOMPARE(toQ(f.doc.settings().disp[2].str()), QStringLiteral("留守録BOX：a?b"));
        QCOMPARE(toQ(f.doc.settings().folderNames[2].str()), QStringLiteral("本社"));

        writeFile(f.boxFolder() + "/rusuroku/a,b/" + boxMessageName("0101", 1),
                  boxMessage(recordOf(ListedMessage{})));
        CListDispView view(f.context, 3);
        QVERIFY(view.open());
        QCOMPARE(view.model()->rowCount(), 1);
    }

    void boxListsNeedNoHorizontalScrollBar() {
        ListFixture f;
        for (int n = 1; n <= 4; ++n) {
            std::filesystem::create_directories(f.boxFolder() + "/rusuroku/010" + std::to_string(n));
        }
        for (int n = 200; n < 240; ++n) {
            std::filesystem::create_directories(f.boxFolder() + "/naisen/" + std::to_string(n));
        }
        CBoxOpenDlg dialog(f.context, 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.extensionList()->verticalScrollBar()->isVisible());
        QVERIFY(!dialog.extensionList()->horizontalScrollBar()->isVisible());
        QVERIFY(!dialog.answerList()->horizontalScrollBar()->isVisible());
    }

    void nothingChosenAndNoBoxesAreRefused() {
        ListFixture f;
        std::filesystem::create_directories(f.boxFolder() + "/rusuroku");
        CBoxOpenDlg empty(f.context, 0);
        QCOMPARE(empty.exec(), int(QDialog::Rejected));
        QCOMPARE(f.messages.lastText(),
                 QStringLiteral("フォルダにボックス情報がありません。\n確認ください。"));
        std::filesystem::create_directories(f.boxFolder() + "/rusuroku/0101");
        CBoxOpenDlg dialog(f.context, 0);
        dialog.openChosen();
        QCOMPARE(f.messages.lastText(), QStringLiteral("BOXが選択されていません。"));
        QCOMPARE(dialog.slot(), 0);
    }

    void closingTheSecondOfThreeListsMovesTheThird() {
        ListFixture f;
        writeBoxMessage(f.boxFolder(), "rusuroku", "0101", 1);
        writeBoxMessage(f.boxFolder(), "rusuroku", "0102", 1);
        writeBoxMessage(f.boxFolder(), "naisen", "0201", 1);
        writeBoxMessage(f.boxFolder(), "naisen", "0201", 2);
        f.setSlot(1, u"留守録BOX：0101");
        f.setSlot(2, u"留守録BOX：0102");
        f.setSlot(3, u"内線BOX：0201");
        ListWindows windows(f.context);
        QList<int> renumbered;
        connect(&windows, &ListWindows::renumbered, this,
                [&renumbered](CListDispView*, int n) { renumbered << n; });
        for (int n = 1; n <= 3; ++n) {
            QVERIFY(windows.create(n) != nullptr);
        }
        QCOMPARE(windows.openCount(), 3);
        CListDispView* third = windows.view(3);
        windows.view(2)->close();
        QCOMPARE(windows.openCount(), 2);
        QCOMPARE(renumbered, QList<int>{2});
        QCOMPARE(third->listNumber(), 2);
        QCOMPARE(windows.view(2), third);
        QCOMPARE(toQ(f.doc.settings().disp[1].str()), QStringLiteral("内線BOX：0201"));
        QVERIFY(f.doc.settings().disp[2].empty());
        // Still reads its own boxes from its new slot.
        third->refresh(false, true, false);
        QCOMPARE(third->model()->rowCount(), 2);
        QCOMPARE(third->listTitle(), QStringLiteral("内線BOX：0201"));
        for (CListDispView* view : windows.views()) {
            view->close();
        }
        QCOMPARE(windows.openCount(), 0);
        QVERIFY(f.doc.settings().disp[0].empty());
    }
};

VOXMG_GUI_TEST_MAIN(ListsTest)
#include "lists_test.moc"
