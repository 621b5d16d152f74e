#include "gui/app/user_messages.h"

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

}  // namespace

void QtUserMessages::show(QWidget* parent, const QString& text, const QString& caption, Icon icon) {
    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtUserMessages::askYesNo(QWidget* parent, const QString& text, const QString& caption, Icon icon) {
    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}
