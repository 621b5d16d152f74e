#include "gui/automation/new_message_notice.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

#include "gui/base/qt_text.h"

namespace {

void bringUp(QWidget* window) {
    window->showNormal();
    window->raise();
    window->activateWindow();
}

}  // namespace

NewMessageNotice::NewMessageNotice(QWidget* window, std::function<bool()> active)
    : m_window(window), m_active(std::move(active)) {
    if (!m_active) {
        m_active = [window] { return window->isActiveWindow(); };
    }
}

NewMessageNotice::~NewMessageNotice() {
    delete m_tray;
    delete m_menu;
}

void NewMessageNotice::watch(const std::string& boxFolder, const std::vector<std::u16string>& titles) {
    m_watch.watch(boxFolder, titles);
}

void NewMessageNotice::arrived(const std::string& boxFolder, const std::string& remoteBox,
                               const std::vector<std::u16string>& titles, bool enabled) {
    // Counted also when nothing is said, so that they are not told of later.
    const voxmg::always::Arrival arrival = m_watch.arrived(boxFolder, remoteBox, titles);
    if (arrival.count == 0 || !enabled || m_active()) {
        return;
    }
    const QString title = QStringLiteral("新着メッセージ %1件").arg(arrival.count);
    QString text = QStringLiteral("ボックス: ") + toQ(arrival.box);
    if (!arrival.caller.empty()) {
        text += QStringLiteral("\n発信者: ") + toQ(arrival.caller);
    }
    tell(title, text, false);
}

void NewMessageNotice::tell(const QString& title, const QString& text, bool warning) {
    emit announced(title, text);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    if (m_tray == nullptr) {
        m_menu = new QMenu;
        m_menu->addAction(QStringLiteral("メインウィンドウを表示"), m_window, [this] { bringUp(m_window); });
        const QIcon icon = m_window->windowIcon().isNull() ? QIcon(QStringLiteral(":/icons/voxmg-48.png"))
                                                           : m_window->windowIcon();
        m_tray = new QSystemTrayIcon(icon, this);
        m_tray->setToolTip(m_window->windowTitle());
        m_tray->setContextMenu(m_menu);
        connect(m_tray, &QSystemTrayIcon::activated, m_window,
                [this](QSystemTrayIcon::ActivationReason) { bringUp(m_window); });
        connect(m_tray, &QSystemTrayIcon::messageClicked, m_window, [this] { bringUp(m_window); });
    }
    m_tray->show();
    m_tray->showMessage(title, text, warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information,
                        10000);
}
