#include "gui/app/app_setup.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QTranslator* setUpApplication(QApplication& app) {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/voxmg-48.png"), QSize(48, 48));
    icon.addFile(QStringLiteral(":/icons/voxmg-256.png"), QSize(256, 256));
    QApplication::setWindowIcon(icon);
    QApplication::setDesktopFileName(QStringLiteral("voxmg"));

    // The interface is Japanese whatever the system's language, so Qt's widgets follow Japanese
    // conventions too: date pickers name the month 2026年12月 and start the week on Sunday.
    // Only presentation: file names stay UTF-8 bytes whatever the locale (Qt 6 on Linux).
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));

    // Qt's own texts (file choosers, standard buttons) in Japanese as well.
    auto* qtTexts = new QTranslator(&app);
    if (!qtTexts->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(qtTexts)) {
        delete qtTexts;
        return nullptr;
    }
    return qtTexts;
}
