#include "gui/base/user_messages.h"

#include "core/device/bulk_download.h"
#include "gui/base/qt_text.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>

namespace {

QMessageBox::Icon qtIcon(UserMessages::Icon icon) {
    switch (icon) {
        case UserMessages::Icon::Warning:
            return QMessageBox::Warning;
        case UserMessages::Icon::Information:
            return QMessageBox::Information;
        case UserMessages::Icon::Question:
            return QMessageBox::Question;
        case UserMessages::Icon::Stop:
            return QMessageBox::Critical;
        case UserMessages::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// The texts carry their own line breaks, as the original's boxes did; letting the box wrap
// them again splits sentences in odd places.
void keepLines(QMessageBox& box) {
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        label->setWordWrap(false);
    }
}

}  // namespace

void QtUserMessages::show(QWidget* parent, const QString& text, const QString& caption, Icon icon) {
    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::Ok, parent);
    keepLines(box);
    box.exec();
}

bool QtUserMessages::askYesNo(QWidget* parent, const QString& text, const QString& caption, Icon icon) {
    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
    box.setDefaultButton(QMessageBox::Yes);
    keepLines(box);
    return box.exec() == QMessageBox::Yes;
}

void showMessage(UserMessages& messages, QWidget* parent, const voxmg::UserMessage& message) {
    auto icon = UserMessages::Icon::Warning;
    switch (message.icon) {
        case voxmg::UserMessage::Icon::Information:
            icon = UserMessages::Icon::Information;
            break;
        case voxmg::UserMessage::Icon::Question:
            icon = UserMessages::Icon::Question;
            break;
        case voxmg::UserMessage::Icon::Stop:
            icon = UserMessages::Icon::Stop;
            break;
        case voxmg::UserMessage::Icon::Exclamation:
            break;
    }
    messages.show(parent, toQ(message.text), toQ(message.caption), icon);
}
