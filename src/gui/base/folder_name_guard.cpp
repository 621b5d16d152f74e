#include "gui/base/folder_name_guard.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "core/base/text.h"

bool FolderNameGuard::blocks(const QString& fieldText, const QKeyEvent& key) {
    const QString typed = key.text();
    const bool types = !typed.isEmpty() && typed.front().isPrint() &&
                       (key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) == 0;
    return types && voxmg::text::cp932Length(fieldText.toStdU16String()) > kMaxNameBytes;
}

bool FolderNameGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        if (auto* field = qobject_cast<QLineEdit*>(watched)) {
            return blocks(field->text(), *static_cast<QKeyEvent*>(event));
        }
    }
    return QObject::eventFilter(watched, event);
}
