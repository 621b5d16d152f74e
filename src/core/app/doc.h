#pragma once

#include <string>
#include <vector>

#include "core/app/placement.h"
#include "core/base/profile_file.h"
#include "core/lists/list_filter.h"
#include "core/settings/settings.h"

namespace voxmg {

// The program's single document: the settings block, the run-time login values, the
// logged-in flag and the paths derived from them. Plain C++ so the start-up and exit rules
// can be exercised without a window.
class CVOXMGDoc {
public:
    explicit CVOXMGDoc(std::string settingsPath) : m_settingsPath(std::move(settingsPath)) {}

    const std::string& settingsPath() const { return m_settingsPath; }
    // A fresh read of the settings file, for readers of the sections written at once
    // (auto-delete selections, placements).
    ProfileFile profile() const { return ProfileFile::load(m_settingsPath); }

    void load() {
        const ProfileFile file = profile();
        m_loadError = file.loadError();
        m_settings = loadSettings(file);
    }
    // Why the settings file could not be read (an errno, EISDIR for a folder); 0 when it was
    // read or there was none yet.
    int loadError() const { return m_loadError; }
    // The exit save: settings, then window placement, into the file as it is on disk now
    // (so selections written during the run are kept); a new file is created 0600.
    bool save(const Rect& frame, const std::vector<ListPlacement>& frontToBack) const;

    Settings& settings() { return m_settings; }
    const Settings& settings() const { return m_settings; }
    LoginValues& login() { return m_login; }
    const LoginValues& login() const { return m_login; }

    // The selection filters of this run, one per list kind: the filter dialogs' starting
    // values. Not written to the settings file.
    list_filter::ListFilter& boxFilter() { return m_boxFilter; }
    list_filter::ListFilter& responseFilter() { return m_responseFilter; }

    bool loggedIn() const { return m_loggedIn; }
    void setLoggedIn(bool on) { m_loggedIn = on; }

    // Data root folder and current box folder name as UTF-8 paths.
    std::string dataRoot() const;
    std::string boxFolderName() const;
    // Data root folder + current box folder name: the box folder in use.
    std::string boxFolderPath() const;

private:
    std::string m_settingsPath;
    int m_loadError = 0;
    Settings m_settings;
    LoginValues m_login;
    bool m_loggedIn = false;
    list_filter::ListFilter m_boxFilter;
    list_filter::ListFilter m_responseFilter;
};

}  // namespace voxmg
