#include "gui/app/ip_address_ctrl.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

CIpAddressCtrl::CIpAddressCtrl(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setValidator(new QIntValidator(0, 255, edit));
        edit->setMaxLength(3);
        edit->setAlignment(Qt::AlignCenter);
        edit->setFixedWidth(40);
        edit->installEventFilter(this);
        m_octets[static_cast<std::size_t>(i)] = edit;
        row->addWidget(edit);
        if (i < 3) {
            row->addWidget(new QLabel(QStringLiteral("."), this));
            connect(edit, &QLineEdit::textEdited, this, [this, i](const QString& t) {
                if (t.size() == 3) {
                    m_octets[static_cast<std::size_t>(i + 1)]->setFocus();
                    m_octets[static_cast<std::size_t>(i + 1)]->selectAll();
                }
            });
        }
    }
    row->addStretch();
    setFocusProxy(m_octets[0]);
}

bool CIpAddressCtrl::isBlank() const {
    for (auto* edit : m_octets) {
        if (!edit->text().isEmpty()) {
            return false;
        }
    }
    return true;
}

QString CIpAddressCtrl::text() const {
    QStringList parts;
    for (auto* edit : m_octets) {
        parts << QString::number(edit->text().toInt());
    }
    return parts.join(QLatin1Char('.'));
}

void CIpAddressCtrl::setText(const QString& dotted) {
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
        m_octets[static_cast<std::size_t>(i)]->setText(value);
    }
}

bool CIpAddressCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->text() != QStringLiteral(".")) {
            return QWidget::eventFilter(watched, event);
        }
        // A full stop ends a box that holds digits; in an empty box (just reached after
        // three digits) it is swallowed, so "127.0.0.1" types straight through.
        for (int i = 0; i < 4; ++i) {
            QLineEdit* edit = m_octets[static_cast<std::size_t>(i)];
            if (watched == edit) {
                if (i < 3 && !edit->text().isEmpty()) {
                    m_octets[static_cast<std::size_t>(i + 1)]->setFocus();
                    m_octets[static_cast<std::size_t>(i + 1)]->selectAll();
                }
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
