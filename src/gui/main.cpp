#include <QApplication>
#include <QFont>
#include <QLoggingCategory>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/app/version.h"
#include "core/base/paths.h"
#include "core/base/trace.h"
#include "core/settings/settings.h"
#include "gui/app/app_setup.h"
#include "gui/app/vox_app.h"

namespace {
// Diagnostic trace lines; off unless QT_LOGGING_RULES="voxmg.trace.debug=true".
Q_LOGGING_CATEGORY(lcTrace, "voxmg.trace", QtWarningMsg)

bool hasArgument(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return true;
        }
    }
    return false;
}

bool hasEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Answered before QApplication exists: it needs no display, so it works over ssh too.
void printUsage() {
    const std::string settings = voxmg::settingsFilePath(voxmg::paths::settingsFolder());
    std::printf(
        "usage: voxmg [--help] [--version] [Qt options, e.g. -platform offscreen]\n"
        "VOXMG " VOXMG_VERSION
        ": the voice messages of the main unit (主装置), Japanese interface.\n"
        "\n"
        "  --help     this text\n"
        "  --version  the version and the licence\n"
        "\n"
        "Settings file: %s\n"
        "  (beside the program when it may write there; an installed program uses\n"
        "  $XDG_CONFIG_HOME/voxmg/ or ~/.config/voxmg/). Messages deleted for the time\n"
        "  being go to the folder tmp beside it.\n"
        "voxmg needs a graphical session (DISPLAY or WAYLAND_DISPLAY); without one,\n"
        "run it as: xvfb-run voxmg. voxmgctl does the same work headless.\n",
        settings.c_str());
}

void printVersion() {
    std::printf("voxmg " VOXMG_VERSION
                "\n"
                "Copyright (C) 2026 VOXMG developers\n"
                "License GPLv3+: GNU GPL version 3 or later <https://www.gnu.org/licenses/gpl.html>.\n"
                "This is free software: you are free to change and redistribute it.\n"
                "There is NO WARRANTY, to the extent permitted by law.\n");
}

// Without a display Qt aborts with a hint to reinstall, which sends a user the wrong way.
// Only when nothing names a platform: -platform and QT_QPA_PLATFORM (offscreen, vnc, eglfs)
// need no display server.
bool displayMissing(int argc, char** argv) {
    return !hasEnvironment("DISPLAY") && !hasEnvironment("WAYLAND_DISPLAY") &&
           !hasEnvironment("QT_QPA_PLATFORM") && !hasArgument(argc, argv, "-platform") &&
           !hasArgument(argc, argv, "--platform");
}

}  // namespace

int main(int argc, char** argv) {
    if (hasArgument(argc, argv, "--help") || hasArgument(argc, argv, "-h")) {
        printUsage();
        return 0;
    }
    if (hasArgument(argc, argv, "--version")) {
        printVersion();
        return 0;
    }
    if (displayMissing(argc, argv)) {
        std::fprintf(stderr,
                     "voxmg: 画面がありません。デスクトップ（グラフィカルセッション）から起動するか、"
                     "xvfb-run voxmg で起動してください。\n"
                     "voxmg: no display. Start it in a graphical session (DISPLAY or WAYLAND_DISPLAY set), "
                     "or under xvfb-run.\n");
        return 1;
    }

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
