#pragma once

#include <QString>
#include <QWidget>
#include <array>

class QKeyEvent;
class QLineEdit;

// A four-octet address field: four boxes of 0-255 separated by full stops, typed as one
// text. A full stop ends a box and selects the next; a third digit moves on by itself, and a
// full stop typed right after that is swallowed, so "192.168.1.10" and "192168001010" both
// type straight through. Backspace at the start of a box goes back into the previous one.
// Select all (Ctrl+A) selects the whole address, and typing then replaces all of it.
class IpAddressCtrl : public QWidget {
    Q_OBJECT
public:
    explicit IpAddressCtrl(QWidget* parent = nullptr);

    // True when every box is empty.
    bool isBlank() const;
    // Dotted decimal text; an empty box counts as 0.
    QString text() const;
    // Splits dotted text at full stops into up to four numbers of one to three digits; an
    // empty text clears the field.
    void setText(const QString& dotted);
    QLineEdit* octet(int i) const { return m_octets[static_cast<std::size_t>(i)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Keys sent to the control itself go to the box being typed in.
    void keyPressEvent(QKeyEvent* event) override;

private:
    int indexOf(QObject* watched) const;
    // Focus to box i with its text selected.
    void enterOctet(int i);
    void selectWholeAddress();
    // The first key after select all: true when it was used up here.
    bool replaceWholeAddress(int i, const QKeyEvent* key);
    bool octetKey(int i, const QKeyEvent* key);

    std::array<QLineEdit*, 4> m_octets{};
    int m_current = 0;
    // The box the third digit of the previous one moved to; -1 when the last key was not that.
    int m_advancedTo = -1;
    bool m_wholeSelected = false;
    bool m_forwarding = false;
};
