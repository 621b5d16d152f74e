#include <QApplication>
#include <QFont>
#include <QLoggingCategory>

#include "core/base/trace.h"
#include "gui/app/app_setup.h"
#include "gui/app/vox_app.h"

namespace {
// Diagnostic trace lines; off unless QT_LOGGING_RULES="voxmg.trace.debug=true".
Q_LOGGING_CATEGORY(lcTrace, "voxmg.trace", QtWarningMsg)
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setUpApplication(app);
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(13);
    QApplication::setFont(font);
    voxmg::setTraceSink([](std::string_view line) {
        qCDebug(lcTrace).noquote() << QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    });

    CVOXMGApp program(CVOXMGApp::Options{});
    if (!program.start()) {
        return 1;
    }
    return QApplication::exec();
}
