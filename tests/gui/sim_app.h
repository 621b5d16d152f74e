#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>

#include "core/base/profile_file.h"
#include "fakes.h"
#include "gui/app/ip_address_ctrl.h"
#include "gui/app/login_dlg.h"
#include "gui/app/main_frame.h"
#include "gui/app/vox_app.h"
#include "sim/simulator.h"

// The main unit simulator over a temporary tree (with demo content or empty), and the options
// of a program whose settings reach it: the real dialogs and client against a real server.
struct SimulatedUnit {
    explicit SimulatedUnit(bool demo) {
        ok = !demo || voxmg::sim::writeDemoContent(tree.path().toStdString());
        voxmg::sim::Config config;
        config.root = tree.path().toStdString();
        sim = std::make_unique<voxmg::sim::Simulator>(config);
        ok = ok && sim->start();
    }

    QTemporaryDir tree;
    std::unique_ptr<voxmg::sim::Simulator> sim;
    bool ok = false;
};

inline CVOXMGApp::Options optionsFor(TestContext& t, std::uint16_t port) {
    voxmg::ProfileFile ini(t.doc.settingsPath());
    ini.writeInt(u"LOGIN", u"PORT", port);
    ini.save(0600);
    CVOXMGApp::Options options;
    options.settingsPath = t.doc.settingsPath();
    options.lockPath = t.root() + "lock";
    options.messages = &t.messages;
    options.choosers = &t.choosers;
    return options;
}

// Logs in to the simulator through the login dialog, as the user does.
inline void logInThroughDialog(CVOXMGApp& app) {
    CLoginDlg login(app.context(), app.frame()->session());
    login.address()->setText(QStringLiteral("127.0.0.1"));
    login.user()->setText(QStringLiteral("hozen"));
    login.password()->setText(QStringLiteral("hozen"));
    login.loginButton()->click();
}
