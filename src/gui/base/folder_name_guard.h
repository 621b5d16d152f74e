#pragma once

#include <QObject>
#include <QString>

class QKeyEvent;

// The name field of the folder browser takes folder names of at most 20 bytes of CP932,
// what the main unit's folder names allow: once the field holds more than that, keys that
// would type further characters are ignored. Enter, Escape and the editing keys still work,
// so a name that grew too long can be shortened again.
class FolderNameGuard : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kMaxNameBytes = 20;

    using QObject::QObject;
    // True when the key is to be ignored with `fieldText` in the name field.
    static bool blocks(const QString& fieldText, const QKeyEvent& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
