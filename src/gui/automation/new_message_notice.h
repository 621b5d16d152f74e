#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "core/automation/new_messages.h"

class QMenu;
class QSystemTrayIcon;
class QWidget;

// "新着メッセージ N件": a desktop notice when always-download brings new messages into a box an
// open list shows, through a tray icon whose menu brings the main window up. Nothing is said
// while the main window is the active one, nor when the setting is off.
class NewMessageNotice : public QObject {
    Q_OBJECT
public:
    // `window`: the main window, brought up from the tray; `active` tells whether the user is
    // looking at it (by default, whether it is the active window).
    explicit NewMessageNotice(QWidget* window, std::function<bool()> active = {});
    ~NewMessageNotice() override;

    // The boxes the lists show now (what they hold already is not new).
    void watch(const std::string& boxFolder, const std::vector<std::u16string>& titles);
    // The worker fetched into `remoteBox`: tells of what is new in it when `enabled`.
    void arrived(const std::string& boxFolder, const std::string& remoteBox,
                 const std::vector<std::u16string>& titles, bool enabled);

    // Any other desktop notice through the same tray icon (mail that failed), whichever window
    // is active; `warning` shows it with a warning icon.
    void tell(const QString& title, const QString& text, bool warning);

    QSystemTrayIcon* trayIcon() const { return m_tray; }

signals:
    // Each notice as it is given (title and text).
    void announced(const QString& title, const QString& text);

private:
    QWidget* m_window;
    std::function<bool()> m_active;
    voxmg::always::ArrivalWatch m_watch;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_menu = nullptr;
};
