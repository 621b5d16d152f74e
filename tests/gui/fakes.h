#pragma once

#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "gui/app/vox_app.h"
#include "gui/base/app_context.h"
#include "gui/base/choosers.h"
#include "gui/base/device_session.h"
#include "gui/base/user_messages.h"
#include "support/temp_folder.h"

// Records every message box and answers questions from a script (Yes when the script is
// empty).
class RecordingMessages : public UserMessages {
public:
    struct Shown {
        QString text;
        QString caption;
        Icon icon;
        bool question;
    };
    void show(QWidget*, const QString& text, const QString& caption, Icon icon) override {
        shown.push_back({text, caption, icon, false});
        if (onShow) {
            onShow();
        }
    }
    bool askYesNo(QWidget*, const QString& text, const QString& caption, Icon icon) override {
        shown.push_back({text, caption, icon, true});
        if (answers.empty()) {
            return true;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString lastText() const { return shown.empty() ? QString() : shown.back().text; }

    std::vector<Shown> shown;
    std::deque<bool> answers;
    std::function<void()> onShow;  // what the program's state is when a box opens
};

class ScriptedChoosers : public Choosers {
public:
    QString chooseFolder(QWidget*, const QString&, const QString&) override { return folder; }
    QString chooseOpenFile(QWidget*, const QString&, const QString&, const QString&) override { return file; }
    QString chooseSaveFile(QWidget*, const QString&, const QString&, const QString&,
                           const QString&) override {
        return saveFiles.empty() ? QString() : saveFiles.takeFirst();
    }
    QString folder;
    QString file;
    QStringList saveFiles;  // one answer per save dialog; none left: cancelled
};

// What the scripted sessions did, shared by every session a factory made.
struct SessionLog {
    std::deque<int> loginResults;  // 0 when empty
    bool probeOk = true;
    int sessionsMade = 0;
    int logins = 0;
    int probes = 0;
    int logouts = 0;
    voxmg::LoginValues lastLogin;
};

class ScriptedSession : public DeviceSession {
public:
    explicit ScriptedSession(SessionLog& log) : m_log(log) {}
    int connectAndLogin(const voxmg::LoginValues& login) override {
        ++m_log.logins;
        m_log.lastLogin = login;
        m_connected = true;
        if (m_log.loginResults.empty()) {
            return 0;
        }
        const int result = m_log.loginResults.front();
        m_log.loginResults.pop_front();
        return result;
    }
    bool hasControlConnection() override { return m_connected; }
    bool drainAndProbe() override {
        ++m_log.probes;
        return m_log.probeOk;
    }
    void logout() override {
        ++m_log.logouts;
        m_connected = false;
    }

private:
    SessionLog& m_log;
    bool m_connected = false;
};

inline DeviceSessionFactory scriptedSessions(SessionLog& log) {
    return [&log](voxmg::LivenessHooks) -> std::unique_ptr<DeviceSession> {
        ++log.sessionsMade;
        return std::make_unique<ScriptedSession>(log);
    };
}

// The test's folder, removed byte by byte when the test ends: QTemporaryDir cannot remove a name
// that is not UTF-8, such as a box folder copied from Windows under its CP932 name.
struct TestFolder {
    voxmg::test::TempFolder folder;
    QString path() const { return QString::fromStdString(folder.path()); }
};

// A document on a settings file in a temporary folder, with recording message boxes.
struct TestContext {
    TestFolder dir;
    voxmg::Flags flags;
    voxmg::CVOXMGDoc doc{(dir.path() + QStringLiteral("/VOXMG.ini")).toStdString()};
    RecordingMessages messages;
    ScriptedChoosers choosers;
    AppContext context{doc, flags, messages, choosers, Timings{}, ScheduleState{}, uiPump()};
    std::string root() const { return dir.path().toStdString() + "/"; }
};

// The options of a program on the test's settings file, its messages and choices from `t`, its
// sessions scripted on `log`.
inline CVOXMGApp::Options scriptedAppOptions(TestContext& t, SessionLog& log) {
    CVOXMGApp::Options options;
    options.settingsPath = t.doc.settingsPath();
    options.lockPath = t.root() + "VOXMG-Zu.lock";
    options.messages = &t.messages;
    options.choosers = &t.choosers;
    options.sessions = scriptedSessions(log);
    return options;
}

// The options of a program on box folder `folderName` in the test's root with list window 1
// showing `title`, its messages and choices from `t`, its sessions scripted on `log`. Further
// settings may be added to the settings file before the program starts.
inline CVOXMGApp::Options listProgramOptions(TestContext& t, SessionLog& log, std::u16string_view folderName,
                                             std::u16string_view title) {
    voxmg::ProfileFile ini(t.doc.settingsPath());
    ini.writeString(u"FOLDER", u"FOLDER", voxmg::text::utf16FromUtf8(t.root()));
    ini.writeString(u"DISP", u"FOLDERNAME", folderName);
    ini.writeInt(u"DISP", u"NUM", 1);
    ini.writeString(u"DISP", u"DISP1", title);
    ini.writeString(u"DISP", u"FOLDERNAME1", folderName);
    ini.save(0600);
    return scriptedAppOptions(t, log);
}

// Runs `action` on the next modal dialog of type T once it is up.
template <typename T>
void whenModal(std::function<void(T*)> action, int attempts = 200) {
    QTimer::singleShot(10, [action, attempts] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            action(dialog);
        } else if (attempts > 0) {
            whenModal<T>(action, attempts - 1);
        }
    });
}

#define VOXMG_GUI_TEST_MAIN(TestClass)           \
    int main(int argc, char** argv) {            \
        qputenv("QT_QPA_PLATFORM", "offscreen"); \
        QApplication app(argc, argv);            \
        TestClass test;                          \
        return QTest::qExec(&test, argc, argv);  \
    }
