#include <QCalendarWidget>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTranslator>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "fakes.h"
#include "gui/app/app_setup.h"
#include "gui/app/small_dialogs.h"
#include "gui/lists/find_set_dlg.h"

// The program as a minimal environment starts it (cron, a container, `env -i`): the C locale,
// whose month and day names are English and whose week starts on Monday.
class LocaleTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(QLocale::system().language() != QLocale::Japanese);
        m_qtTexts = setUpApplication(*qApp);
    }
    void cleanupTestCase() {
        if (m_qtTexts) {
            QCoreApplication::removeTranslator(m_qtTexts);
        }
    }

    void filterDatePickersAreJapaneseWhateverTheEnvironment() {
        TestContext t;
        CFindSetDlg dialog(t.context);
        for (QDateEdit* edit : {dialog.dateFrom(), dialog.dateTo()}) {
            QCOMPARE(edit->locale().language(), QLocale::Japanese);
            edit->setDate(QDate(2026, 12, 15));
            QCalendarWidget* calendar = edit->calendarWidget();
            QVERIFY(calendar != nullptr);
            QCOMPARE(calendar->firstDayOfWeek(), Qt::Sunday);
            calendar->setCurrentPage(2026, 12);
            auto* month = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
            auto* year = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_yearbutton"));
            QVERIFY(month != nullptr && year != nullptr);
            QCOMPARE(month->text(), QStringLiteral("12月"));
            QVERIFY2(year->text().startsWith(QStringLiteral("2026")), qPrintable(year->text()));
            // Row 0 of the calendar's table holds the weekday names.
            auto* days = calendar->findChild<QTableView*>(QStringLiteral("qt_calendar_calendarview"));
            QVERIFY(days != nullptr);
            QCOMPARE(days->model()->index(0, 0).data().toString(), QStringLiteral("日"));
            QCOMPARE(days->model()->index(0, 6).data().toString(), QStringLiteral("土"));
        }
    }

    // Qt 6 keeps local file names in UTF-8 even when the locale says ASCII, so a data folder
    // with Japanese names made by the core (plain bytes) is the same folder to the gui.
    void japaneseFolderNamesSurviveTheCLocale() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string box = dir.path().toStdString() + "/本社/rusuroku/留守録";
        std::filesystem::create_directories(box);
        std::ofstream(box + "/メモ.txt") << "x";

        const QString path = dir.path() + QStringLiteral("/本社/rusuroku/留守録");
        QCOMPARE(QFile::encodeName(path), QByteArray::fromStdString(box));
        QCOMPARE(QFile::decodeName(QByteArray::fromStdString(box)), path);
        QCOMPARE(QDir(path).entryList(QDir::Files), QStringList{QStringLiteral("メモ.txt")});
        QFile made(path + QStringLiteral("/名前.ini"));
        QVERIFY(made.open(QIODevice::WriteOnly));
        made.close();
        QVERIFY(std::filesystem::exists(box + "/名前.ini"));
    }

    void aboutBoxShowsTheLicenceUnclipped() {
        TestContext t;
        CAboutDlg about(t.context);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto* licence = about.findChild<QLabel*>(QStringLiteral("licence"));
        QVERIFY(licence != nullptr);
        QVERIFY(licence->text().contains(QStringLiteral("GPL")));
        for (QLabel* label : about.findChildren<QLabel*>()) {
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
            QVERIFY2(label->height() >= label->sizeHint().height(), qPrintable(label->text()));
        }
    }

private:
    QTranslator* m_qtTexts = nullptr;
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "C");
    qputenv("LANG", "C");
    qunsetenv("LANGUAGE");
    QApplication app(argc, argv);
    LocaleTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "locale_test.moc"
