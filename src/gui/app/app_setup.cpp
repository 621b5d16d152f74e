#include "gui/app/app_setup.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator* setUpApplication(QApplication& app) {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/voxmg-48.png"), QSize(48, 48));
    icon.addFile(QStringLiteral(":/icons/voxmg-256.png"), QSize(256, 256));
    QApplication::setWindowIcon(icon);
    QApplication::setDesktopFileName(QStringLiteral("voxmg"));

    // The interface is Japanese whatever the system's language, so Qt's own texts are too.
    auto* qtTexts = new QTranslator(&app);
    if (!qtTexts->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(qtTexts)) {
        delete qtTexts;
        return nullptr;
    }
    return qtTexts;
}
