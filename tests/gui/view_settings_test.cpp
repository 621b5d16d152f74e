#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "fakes.h"
#include "gui/app/command_bar.h"
#include "gui/app/main_frame.h"
#include "gui/app/vox_app.h"
#include "gui/base/choosers.h"
#include "gui/exchange/export_set_dlg.h"
#include "gui/lists/find_set_dlg.h"
#include "gui/lists/find_set_dlg_s.h"
#include "gui/lists/list_disp_select_dlg.h"
#include "gui/lists/list_disp_view.h"
#include "gui/lists/list_model.h"
#include "gui/lists/list_windows.h"
#include "support/message_files.h"

using namespace voxmg::test;
using voxmg::list_filter::StateCriterion;

namespace {

// The program over box folder "本社" with box 0101 holding three callers, list 1 open on it.
struct ListApp {
    ListApp() {
        for (const auto* name : {u"山田", u"佐藤", u"山本"}) {
            writeBoxMessage(boxFolder(), "rusuroku", "0101", ++written, {.callerName = name});
        }
        CVOXMGApp::Options options;
        options.settingsPath = t.doc.settingsPath();
        options.lockPath = t.root() + "lock";
        options.messages = &t.messages;
        options.choosers = &t.choosers;
        app = std::make_unique<CVOXMGApp>(options);
        ok = app->start();
        auto& s = app->doc().settings();
        s.folder = voxmg::text::utf16FromUtf8(t.root());
        s.folderName = u"本社";
        s.disp[0] = u"留守録BOX：0101";
        s.folderNames[0] = u"本社";
        ok = ok && app->frame()->openList(1);
    }
    std::string boxFolder() const { return t.root() + "本社"; }
    CListDispView* view() const { return app->lists()->view(1); }
    AppContext& context() { return app->context(); }
    // The export of the caller-name column of this list.
    voxmg::csv_export::ExportRequest callerExport() const {
        voxmg::csv_export::ExportRequest source;
        source.columns = voxmg::list_columns::boxListColumns({u"相手名称"});
        source.rows = &view()->rows();
        return source;
    }
    // A folder "出力" to export into.
    QString outputFolder() const {
        const QString out = QString::fromStdString(t.root()) + QStringLiteral("出力");
        QDir().mkpath(out);
        return out;
    }
    QString callerAt(int row) const {
        const int section = view()->model()->sectionOf(voxmg::list_columns::Column::CallerName);
        return view()->model()->index(row, section).data().toString();
    }

    TestContext t;
    int written = 0;
    std::unique_ptr<CVOXMGApp> app;
    bool ok = false;
};

}  // namespace

class ViewSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void filterDialogChecksStoresAndFilters() {
        ListApp a;
        QVERIFY(a.ok);
        CMainFrame* frame = a.app->frame();
        frame->updateCommandStates();
        QVERIFY(frame->commandBar()->button(Command::Filter)->isEnabled());
        QVERIFY(frame->commandBar()->button(Command::ShowAll)->isEnabled());

        CFindSetDlg dialog(a.context());
        // Nothing ticked, then a date range the wrong way round: refused, the dialog stays.
        dialog.onOk();
        QCOMPARE(a.t.messages.lastText(), QStringLiteral("選択されていません。"));
        dialog.dateOn()->setChecked(true);
        dialog.dateFrom()->setDate(QDate(2026, 12, 7));
        dialog.dateTo()->setDate(QDate(2026, 12, 6));
        dialog.onOk();
        QCOMPARE(a.t.messages.lastText(), QStringLiteral("日付範囲指定に異常があります。"));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        dialog.dateOn()->setChecked(false);
        // 32 bytes at most: 17 kanji are refused.
        dialog.callerName().on->setChecked(true);
        dialog.callerName().edit->setText(QString(17, QChar(u'名')));
        dialog.onOk();
        QCOMPARE(a.t.messages.lastText(), QStringLiteral("入力値エラーです。"));
        // "取込" ticks exclude each other; with none left it means "録音情報のみ".
        dialog.stateOn()->setChecked(true);
        dialog.statePlayed()->click();
        dialog.stateInfoOnly()->click();
        QVERIFY(!dialog.statePlayed()->isChecked());
        dialog.stateUnplayed()->click();
        QVERIFY(!dialog.stateInfoOnly()->isChecked());
        dialog.stateUnplayed()->click();
        dialog.callerName().edit->setText(QStringLiteral("山%"));
        dialog.onOk();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(a.context().doc.boxFilter().state, StateCriterion::InfoOnly);

        // The voice messages are no info-only ones: nothing passes, the full list stays.
        a.t.messages.shown.clear();
        a.view()->applyFilter(a.context().doc.boxFilter());
        QCOMPARE(a.t.messages.lastText(), QStringLiteral("該当するメッセージがありません。"));
        QCOMPARE(a.view()->mode(), CListDispView::Mode::All);
        QCOMPARE(a.view()->model()->rowCount(), 3);

        // The stored filter is where the dialog starts next time.
        CFindSetDlg again(a.context());
        QVERIFY(again.callerName().on->isChecked());
        QCOMPARE(again.callerName().edit->text(), QStringLiteral("山%"));
        QVERIFY(again.stateInfoOnly()->isChecked());
        again.stateOn()->setChecked(false);
        again.onOk();
        a.view()->applyFilter(a.context().doc.boxFilter());
        QCOMPARE(a.view()->mode(), CListDispView::Mode::Filter);
        QCOMPARE(a.view()->counts().listTotal, 2LL);
        QCOMPARE(a.view()->counts().boxTotal, 3LL);

        // A refresh after an operation applies the filter again, to the files as they are now.
        writeBoxMessage(a.boxFolder(), "rusuroku", "0101", ++a.written, {.callerName = u"山口"});
        a.view()->refresh(false, true, true);
        QCOMPARE(a.view()->model()->rowCount(), 3);
        QCOMPARE(a.callerAt(2).left(1), QStringLiteral("山"));
        // While an export reads the rows a refresh waits, and runs when the export is done.
        a.view()->holdRebuilds(true);
        writeBoxMessage(a.boxFolder(), "rusuroku", "0101", ++a.written, {.callerName = u"山下"});
        a.view()->refresh(false, true, true);
        QCOMPARE(a.view()->model()->rowCount(), 3);
        a.view()->holdRebuilds(false);
        QCOMPARE(a.view()->model()->rowCount(), 4);
        frame->commandBar()->button(Command::ShowAll)->click();
        QCOMPARE(a.view()->model()->rowCount(), 5);
        QCOMPARE(a.view()->mode(), CListDispView::Mode::All);
        // A refresh asked for while a build lets events through (a message the worker has just
        // stored) is not dropped: it runs once that build ends.
        QTimer::singleShot(0, [&a] {
            writeBoxMessage(a.boxFolder(), "rusuroku", "0101", ++a.written, {.callerName = u"山田"});
            a.view()->refresh(false, true, true);
        });
        a.view()->refresh(false, true, true);
        QCOMPARE(a.view()->model()->rowCount(), 6);
    }

    void responseFilterDialog() {
        TestContext t;
        CFindSetDlgS dialog(t.context);
        dialog.onOk();
        QCOMPARE(t.messages.lastText(), QStringLiteral("選択されていません。"));
        dialog.name().on->setChecked(true);
        dialog.name().edit->setText(QString(11, QChar(u'名')));
        dialog.onOk();
        QCOMPARE(t.messages.lastText(), QStringLiteral("入力値エラーです。"));
        dialog.name().edit->setText(QStringLiteral("夜%"));
        dialog.uploaded().on->setChecked(true);
        dialog.uploaded().second->setChecked(true);
        dialog.onOk();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(t.doc.responseFilter().callerName, std::u16string(u"夜%"));
        QCOMPARE(t.doc.responseFilter().played, voxmg::list_filter::Choice::No);
    }

    void columnDialogEditsResetsAndRebuildsTheLists() {
        ListApp a;
        QVERIFY(a.ok);
        CMainFrame* frame = a.app->frame();
        frame->updateSettingsMenu();
        QVERIFY(frame->settingsAction(Command::ListColumns)->isEnabled());
        QVERIFY(frame->settingsAction(Command::ExportList)->isEnabled());

        CListDispSelectDlg dialog(a.context());
        QCOMPARE(dialog.shownList()->count(), 10);
        QCOMPARE(dialog.hiddenList()->count(), 3);
        dialog.hiddenList()->setCurrentRow(2);  // メモ
        dialog.addButton()->click();
        QCOMPARE(dialog.shownList()->item(10)->text(), QStringLiteral("メモ"));
        dialog.upButton()->click();
        QCOMPARE(dialog.shownList()->item(9)->text(), QStringLiteral("メモ"));
        QCOMPARE(dialog.shownList()->currentRow(), 9);
        while (dialog.shownList()->count() > 0) {
            dialog.shownList()->setCurrentRow(0);
            dialog.removeButton()->click();
        }
        dialog.onOk();
        QCOMPARE(a.t.messages.lastText(), QStringLiteral("表示項目が選択されていません。"));
        dialog.hiddenList()->setCurrentRow(11);
        QCOMPARE(dialog.hiddenList()->currentItem()->text(), QStringLiteral("メモ"));
        dialog.addButton()->click();
        dialog.onOk();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        voxmg::ProfileFile ini = voxmg::ProfileFile::load(a.t.doc.settingsPath());
        QCOMPARE(ini.readString(u"DISP", u"COLUM1", u"?"), std::u16string(u"メモ"));
        QCOMPARE(ini.readString(u"DISP", u"COLUM2", u"?"), std::u16string());
        QCOMPARE(ini.readString(u"DISP", u"DELCOLUM12", u"?"), std::u16string(u"ファイル名"));

        // Through the menu item: "リセット" brings back ten columns, and the open list follows.
        a.t.messages.answers = {true};
        whenModal<CListDispSelectDlg>([](CListDispSelectDlg* d) { d->resetButton()->click(); });
        frame->onMenuCommand(Command::ListColumns);
        QCOMPARE(a.t.messages.shown.back().text, QStringLiteral("リセットします。よろしいですか？"));
        QCOMPARE(a.t.messages.shown.back().caption, QStringLiteral("リセットの確認"));
        QCOMPARE(a.view()->model()->columnCount(), 10);
        ini = voxmg::ProfileFile::load(a.t.doc.settingsPath());
        QCOMPARE(ini.readString(u"DISP", u"COLUM10", u"?"), std::u16string(u"ファイル名"));
        QCOMPARE(ini.readString(u"DISP", u"DELCOLUM3", u"?"), std::u16string(u"メモ"));
        QCOMPARE(ini.readString(u"DISP", u"DELCOLUM4", u"?"), std::u16string());
    }

    void exportDialogWritesAsksAndRemembers() {
        ListApp a;
        QVERIFY(a.ok);
        const QString out = a.outputFolder();
        const voxmg::csv_export::ExportRequest source = a.callerExport();
        {
            CExportSetDlg dialog(a.context(), source);
            QVERIFY(!dialog.okButton()->isEnabled());
            a.t.choosers.saveFiles = {out + QStringLiteral("/一覧.csv")};
            dialog.chooseButton()->click();
            QCOMPARE(dialog.folderField()->text(), out);
            QCOMPARE(dialog.fileField()->text(), QStringLiteral("一覧.csv"));
            QVERIFY(dialog.okButton()->isEnabled());
            dialog.okButton()->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QFile file(out + QStringLiteral("/一覧.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(voxmg::text::utf8FromCp932(file.readAll().toStdString()),
                 std::string("相手名称\n山本\n佐藤\n山田\n"));
        QCOMPARE(a.context().doc.settings().exportName.str(), std::u16string(u"一覧.csv"));

        // Opened again: the remembered place; No to the overwrite question changes nothing.
        CExportSetDlg again(a.context(), source);
        QCOMPARE(again.fileField()->text(), QStringLiteral("一覧.csv"));
        a.t.messages.answers = {false};
        again.okButton()->click();
        QVERIFY(a.t.messages.lastText().startsWith(QStringLiteral("ファイル\"")));
        QVERIFY(a.t.messages.lastText().endsWith(QStringLiteral("\"は\n既に存在します。上書きしますか？")));
        QCOMPARE(again.result(), int(QDialog::Rejected));
        QVERIFY(again.isEnabled() && again.okButton()->isEnabled());
        // Cancelling the file choice closes the dialog.
        again.chooseButton()->click();
        QCOMPARE(again.result(), int(QDialog::Rejected));
    }

    void exportRefusesANameWithoutLowerCaseCsvBeforeStoringIt() {
        ListApp a;
        QVERIFY(a.ok);
        const QString out = a.outputFolder();
        const voxmg::csv_export::ExportRequest source = a.callerExport();
        const QString refusal = QStringLiteral("ファイル名の拡張子は「.csv」にしてください。");
        {
            // Refused, and with the chooser cancelled next the dialog closes remembering nothing.
            CExportSetDlg dialog(a.context(), source);
            a.t.choosers.saveFiles = {out + QStringLiteral("/UP.CSV")};
            dialog.chooseButton()->click();
            QCOMPARE(a.t.messages.shown.size(), std::size_t(1));
            QCOMPARE(a.t.messages.lastText(), refusal);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QCOMPARE(a.context().doc.settings().exportName.str(), std::u16string());
            QCOMPARE(a.context().doc.settings().exportPath.str(), std::u16string());
        }
        {
            // The chooser opens again on the refused name; the corrected one is taken.
            CExportSetDlg dialog(a.context(), source);
            a.t.choosers.saveFiles = {out + QStringLiteral("/UP.CSV"), out + QStringLiteral("/up.csv")};
            dialog.chooseButton()->click();
            QCOMPARE(a.t.messages.lastText(), refusal);
            QCOMPARE(dialog.fileField()->text(), QStringLiteral("up.csv"));
            QCOMPARE(a.context().doc.settings().exportName.str(), std::u16string(u"up.csv"));
        }
        {
            // A bad name stored earlier: OK says why and writes nothing.
            a.context().doc.settings().exportName = u"OLD.CSV";
            CExportSetDlg dialog(a.context(), source);
            a.t.messages.shown.clear();
            dialog.okButton()->click();
            QCOMPARE(a.t.messages.lastText(), refusal);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QVERIFY(!QFileInfo::exists(out + QStringLiteral("/OLD.CSV")));
        }
    }

    void exportDialogShrinksBackWhenItsBarHides() {
        ListApp a;
        QVERIFY(a.ok);
        const voxmg::csv_export::ExportRequest source = a.callerExport();
        auto& s = a.context().doc.settings();
        s.exportPath = voxmg::text::utf16FromUtf8(a.t.root() + "無い");  // fails: no such folder
        s.exportName = u"a.csv";
        CExportSetDlg dialog(a.context(), source);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const int idle = dialog.height();
        dialog.progressBar()->show();  // as while a long export runs
        QTRY_VERIFY(dialog.height() > idle);
        dialog.okButton()->click();
        QCOMPARE(a.t.messages.lastText(), QStringLiteral("エクスポートエラー"));
        QVERIFY(dialog.progressBar()->isHidden());
        QCOMPARE(dialog.height(), idle);
    }

    void fileNameColumnKeepsItsTextWhenColumnsAreAdded() {
        ListApp a;
        QVERIFY(a.ok);
        auto& columns = a.context().doc.settings().columns;
        const char16_t* names[] = {u"ﾌﾗｸﾞ",     u"取込",     u"再生/未再生", u"保護/非保護",
                                   u"BOX番号",  u"相手番号", u"相手名称",    u"日時",
                                   u"録音時間", u"BOX名称",  u"タイトル",    u"ファイル名"};
        for (std::size_t i = 0; i < columns.size(); ++i) {
            columns[i] = i < std::size(names) ? names[i] : u"";
        }
        CListDispView* view = a.view();
        view->refresh(true, false, false);
        view->window()->resize(820, 490);
        view->window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        const int section = view->model()->sectionOf(voxmg::list_columns::Column::FileName);
        QCOMPARE(section, 11);
        const QFontMetrics metrics(view->table()->font());
        int widest = 0;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            widest = std::max(
                widest, metrics.horizontalAdvance(view->model()->index(row, section).data().toString()));
        }
        QVERIFY(widest > 0);
        QTRY_VERIFY(view->table()->horizontalHeader()->sectionSize(section) >= widest);
        // Once the others are narrowed the last one takes the rest, so no gap is left.
        QHeaderView* header = view->table()->horizontalHeader();
        for (int i = 0; i < section; ++i) {
            header->resizeSection(i, 20);
        }
        QTRY_VERIFY(header->length() >= view->table()->viewport()->width());
    }

    void fileDialogsOpenWhereTheyWereLastUsed_data() {
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("expected");
        QTest::newRow("last used wins over the stored start") << "一覧"
                                                              << "設定"
                                                              << "一覧";
        QTest::newRow("last used removed: the stored folder") << "消えた"
                                                              << "設定"
                                                              << "設定";
        QTest::newRow("stored start names a file") << ""
                                                   << "設定/名称.csv"
                                                   << "設定";
        QTest::newRow("stored folder gone: home") << ""
                                                  << "消えた/名称.csv"
                                                  << "HOME";
        QTest::newRow("nothing stored: home, not the working folder") << ""
                                                                      << ""
                                                                      << "HOME";
    }
    void fileDialogsOpenWhereTheyWereLastUsed() {
        QFETCH(QString, remembered);
        QFETCH(QString, start);
        QFETCH(QString, expected);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QVERIFY(QDir(root.path()).mkdir(QStringLiteral("一覧")) &&
                QDir(root.path()).mkdir(QStringLiteral("設定")));
        auto in = [&](const QString& name) {
            return name.isEmpty() ? name : root.path() + QLatin1Char('/') + name;
        };
        const QString home = root.path() + QStringLiteral("/home");
        QCOMPARE(fileDialogFolder(in(remembered), in(start), home), expected == "HOME" ? home : in(expected));
    }

    void qtFileDialogShowsJapaneseTypesWholeDatesAndReopensWhereLastUsed() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QVERIFY(QDir(root.path()).mkdir(QStringLiteral("書類")));
        const QString csv = root.path() + QStringLiteral("/一覧.csv");
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(883912, 'x'));
        QVERIFY(
            file.setFileTime(QDateTime(QDate(2026, 1, 23), QTime(4, 5)), QFileDevice::FileModificationTime));
        file.close();

        // Qt's file dialog reads the folder and its icons first: on a busy machine that takes seconds.
        constexpr int kSlowDialog = 3000;
        std::map<QString, QStringList> rows;  // name: size, type, date as shown
        std::map<int, int> widths;            // column: section size
        whenModal<QFileDialog>(
            [&](QFileDialog* dialog) {
                // Checked after the dialog is closed, so a failure cannot leave it waiting.
                auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
                QAbstractItemModel* model = tree != nullptr ? tree->model() : nullptr;
                if (model == nullptr ||
                    !QTest::qWaitFor([&] { return model->rowCount(tree->rootIndex()) == 2; }, 5000)) {
                    dialog->reject();
                    return;
                }
                for (int row = 0; row < 2; ++row) {
                    auto cell = [&](int column) {
                        return model->index(row, column, tree->rootIndex()).data().toString();
                    };
                    rows[cell(0)] = {cell(1), cell(2), cell(3)};
                }
                for (int column = 1; column <= 3; ++column) {
                    widths[column] = tree->header()->sectionSize(column);
                }
                // The file name is typed: selectFile() leaves the name field alone once it has the
                // focus, which the dialog gives it when its window comes up, and an empty field
                // would keep the dialog open.
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (name == nullptr) {
                    dialog->reject();
                    return;
                }
                name->setText(QFileInfo(csv).fileName());
                static_cast<QDialog*>(dialog)->accept();  // Qt makes it protected in QFileDialog
                if (dialog->isVisible()) {
                    dialog->reject();  // not taken: the comparison below tells, the test goes on
                }
            },
            kSlowDialog);
        QtChoosers choosers;
        const QString filter = QStringLiteral("csvﾌｧｲﾙ(*.csv)");
        QCOMPARE(choosers.chooseOpenFile(nullptr, QStringLiteral("インポート"), root.path(), filter), csv);
        QCOMPARE(rows[QStringLiteral("書類")].value(1), QStringLiteral("ファイル フォルダー"));
        const QStringList shown = rows[QStringLiteral("一覧.csv")];
        QCOMPARE(shown.value(1), QStringLiteral("CSV ファイル"));
        QCOMPARE(shown.value(2), QStringLiteral("2026/01/23 04:05"));
        const QFontMetrics metrics(QApplication::font());
        for (int column : {1, 2, 3}) {
            QVERIFY2(widths[column] > metrics.horizontalAdvance(shown.value(column - 1)),
                     qPrintable(shown.value(column - 1)));
        }

        // The same purpose again without a stored folder: where the file came from.
        QString opened;
        whenModal<QFileDialog>(
            [&](QFileDialog* dialog) {
                opened = dialog->directory().absolutePath();
                dialog->reject();
            },
            kSlowDialog);
        QVERIFY(choosers.chooseOpenFile(nullptr, QStringLiteral("インポート"), QString(), filter).isEmpty());
        QCOMPARE(opened, QDir(root.path()).absolutePath());
    }

    void filterDatesTakeDigitsAfterASingleClick() {
        ListApp a;
        QVERIFY(a.ok);
        CFindSetDlg dialog(a.context());
        dialog.dateOn()->setChecked(true);
        dialog.dateFrom()->setDate(QDate(2026, 12, 7));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* text = dialog.dateFrom()->findChild<QLineEdit*>();
        QVERIFY(text != nullptr);
        QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(6, text->height() / 2));  // in the year
        QTRY_VERIFY(text->hasSelectedText());
        QTest::keyClicks(dialog.dateFrom(), QStringLiteral("2025"));
        QCOMPARE(dialog.dateFrom()->date(), QDate(2025, 12, 7));
    }
};

VOXMG_GUI_TEST_MAIN(ViewSettingsTest)
#include "view_settings_test.moc"
