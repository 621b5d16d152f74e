#include "gui/base/section_typing.h"

#include <QDateTimeEdit>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>

namespace {

class SectionSelector final : public QObject {
public:
    SectionSelector(QDateTimeEdit* edit, QLineEdit* text) : QObject(edit), m_edit(edit), m_text(text) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::FocusIn || type == QEvent::MouseButtonRelease) {
            // After the edit's own handling, which places the cursor (or selects the first
            // section when tabbed into).
            QTimer::singleShot(0, this, [this] {
                if (m_edit->hasFocus() && !m_text->hasSelectedText()) {
                    m_edit->setSelectedSection(m_edit->currentSection());
                }
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QDateTimeEdit* m_edit;
    QLineEdit* m_text;  // the edit's own text field, which receives the clicks
};

}  // namespace

void selectSectionOnEntry(QDateTimeEdit* edit) {
    auto* text = edit->findChild<QLineEdit*>();
    if (text == nullptr) {
        return;
    }
    auto* selector = new SectionSelector(edit, text);
    edit->installEventFilter(selector);
    text->installEventFilter(selector);
}
