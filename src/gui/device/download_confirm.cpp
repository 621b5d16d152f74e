#include "gui/device/download_confirm.h"

#include <QDialog>
#include <QPushButton>

#include "gui/base/app_context.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"

bool confirmDownload(AppContext& context, QDialog* dialog) {
    const auto& name = context.doc.settings().folderName;
    if (name.empty()) {
        return false;
    }
    return context.messages.askYesNo(
        dialog, QStringLiteral("%1にダウンロードします。\nよろしいですか？").arg(toQ(name.str())),
        QStringLiteral("ダウンロード確認画面"), UserMessages::Icon::Question);
}

LoggedInWatch::LoggedInWatch(AppContext& context, QDialog* dialog, std::vector<QPushButton*> buttons)
    : QObject(dialog), m_context(context), m_buttons(std::move(buttons)) {
    connect(&m_timer, &QTimer::timeout, this, &LoggedInWatch::check);
    m_timer.start(context.timings.loginCheckMs);
}

void LoggedInWatch::check() {
    if (!m_context.doc.loggedIn()) {
        m_tripped = true;
    }
    if (m_tripped) {
        for (auto* button : m_buttons) {
            button->setEnabled(false);
        }
    }
}
