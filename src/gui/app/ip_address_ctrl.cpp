#include "gui/app/ip_address_ctrl.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>
#include <utility>

namespace {

// One to three ASCII digits worth 0-255. QIntValidator lets "256".."999" through as
// intermediate input, which would end up in the address as typed.
class OctetValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        if (input.size() > 3) {
            return Invalid;
        }
        for (QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                return Invalid;
            }
        }
        return input.isEmpty() || input.toInt() <= 255 ? Acceptable : Invalid;
    }
};

bool isModifierOnly(const QKeyEvent* key) {
    switch (key->key()) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_Meta:
        case Qt::Key_AltGr:
            return true;
        default:
            return false;
    }
}

bool isDigit(const QString& text) {
    return text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9');
}

}  // namespace

IpAddressCtrl::IpAddressCtrl(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setValidator(new OctetValidator(edit));
        edit->setMaxLength(3);
        edit->setAlignment(Qt::AlignCenter);
        edit->setFixedWidth(40);
        edit->installEventFilter(this);
        m_octets[static_cast<std::size_t>(i)] = edit;
        row->addWidget(edit);
        if (i < 3) {
            row->addWidget(new QLabel(QStringLiteral("."), this));
            connect(edit, &QLineEdit::textEdited, this, [this, i, edit](const QString& t) {
                // Only a third digit typed at the end moves on; a digit put in front of two
                // others is an edit of this box.
                if (t.size() == 3 && edit->cursorPosition() == 3) {
                    enterOctet(i + 1);
                    m_advancedTo = i + 1;
                }
            });
        }
    }
    row->addStretch();
    setFocusProxy(m_octets[0]);
}

bool IpAddressCtrl::isBlank() const {
    for (auto* edit : m_octets) {
        if (!edit->text().isEmpty()) {
            return false;
        }
    }
    return true;
}

QString IpAddressCtrl::text() const {
    QStringList parts;
    for (auto* edit : m_octets) {
        parts << QString::number(edit->text().toInt());
    }
    return parts.join(QLatin1Char('.'));
}

void IpAddressCtrl::setText(const QString& dotted) {
    m_advancedTo = -1;
    m_wholeSelected = false;
    const QStringList parts = dotted.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) {
        QString value;
        if (!dotted.isEmpty() && i < parts.size()) {
            bool ok = false;
            const int n = parts[i].toInt(&ok);
            if (ok && parts[i].size() <= 3 && n >= 0 && n <= 255) {
                value = QString::number(n);
            }
        }
        octet(i)->setText(value);
    }
}

int IpAddressCtrl::indexOf(QObject* watched) const {
    for (int i = 0; i < 4; ++i) {
        if (watched == octet(i)) {
            return i;
        }
    }
    return -1;
}

void IpAddressCtrl::enterOctet(int i) {
    m_current = i;
    octet(i)->setFocus(Qt::OtherFocusReason);
    octet(i)->selectAll();
}

void IpAddressCtrl::selectWholeAddress() {
    enterOctet(0);
    for (auto* edit : m_octets) {
        edit->selectAll();
    }
    m_wholeSelected = true;
}

bool IpAddressCtrl::replaceWholeAddress(int i, const QKeyEvent* key) {
    m_wholeSelected = false;
    const bool erase =
        key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete || key->text() == QStringLiteral(".");
    if (!erase && !isDigit(key->text())) {
        // Moving about keeps the address; only the box with the cursor keeps a selection.
        for (int j = 0; j < 4; ++j) {
            if (j != i) {
                octet(j)->deselect();
            }
        }
        return false;
    }
    for (int j = 1; j < 4; ++j) {
        octet(j)->clear();
    }
    if (erase) {
        octet(0)->clear();
        return true;
    }
    // The digit replaces the selected text of the first box.
    return false;
}

bool IpAddressCtrl::octetKey(int i, const QKeyEvent* key) {
    if (isModifierOnly(key)) {
        return false;
    }
    const int advancedTo = std::exchange(m_advancedTo, -1);
    if (m_wholeSelected && replaceWholeAddress(i, key)) {
        return true;
    }
    if (key->matches(QKeySequence::SelectAll)) {
        selectWholeAddress();
        return true;
    }
    QLineEdit* edit = octet(i);
    if (key->text() == QStringLiteral(".")) {
        // A full stop right after the third digit moved here belongs to the box before; one
        // in an empty box ends nothing.
        if (advancedTo != i && !edit->text().isEmpty() && i < 3) {
            enterOctet(i + 1);
        }
        return true;
    }
    if (key->key() == Qt::Key_Backspace && i > 0 && edit->cursorPosition() == 0 && !edit->hasSelectedText()) {
        // As if deleting the full stop: on to the end of the box before.
        QLineEdit* previous = octet(i - 1);
        m_current = i - 1;
        previous->setFocus(Qt::OtherFocusReason);
        previous->deselect();
        previous->end(false);
        return true;
    }
    return false;
}

bool IpAddressCtrl::eventFilter(QObject* watched, QEvent* event) {
    const int i = indexOf(watched);
    if (i < 0) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::KeyPress:
            if (octetKey(i, static_cast<QKeyEvent*>(event))) {
                return true;
            }
            break;
        case QEvent::FocusIn:
            m_current = i;
            if (m_wholeSelected && i != 0) {
                m_wholeSelected = false;
            }
            break;
        case QEvent::FocusOut:
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason &&
                m_advancedTo == i) {
                m_advancedTo = -1;
            }
            break;
        case QEvent::MouseButtonPress:
            m_wholeSelected = false;
            m_advancedTo = -1;
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void IpAddressCtrl::keyPressEvent(QKeyEvent* event) {
    if (m_forwarding) {
        // A key the box did not want, on its way to the dialog.
        QWidget::keyPressEvent(event);
        return;
    }
    m_forwarding = true;
    QCoreApplication::sendEvent(octet(m_current), event);
    m_forwarding = false;
    // Sending it to the box already offered it to every widget above it.
    event->accept();
}
