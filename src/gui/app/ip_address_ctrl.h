#pragma once

#include <QString>
#include <QWidget>
#include <array>

class QLineEdit;

// A four-octet address field: four boxes of 0-255 separated by full stops. A full stop or a
// third digit moves to the next box, as the Windows address control did.
class CIpAddressCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CIpAddressCtrl(QWidget* parent = nullptr);

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

private:
    std::array<QLineEdit*, 4> m_octets{};
};
