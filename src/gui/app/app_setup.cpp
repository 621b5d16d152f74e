#include "gui/app/app_setup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator* setUpApplication(QApplication& app) {
    // The interface is Japanese whatever the system's language, so Qt's own texts are too.
    auto* qtTexts = new QTranslator(&app);
    if (!qtTexts->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(qtTexts)) {
        delete qtTexts;
        return nullptr;
    }
    return qtTexts;
}
