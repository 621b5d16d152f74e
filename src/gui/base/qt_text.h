#pragma once

#include <QString>
#include <string>
#include <string_view>

// Between the core's UTF-16 and UTF-8 texts and QString.
inline QString toQ(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::u16string fromQ(const QString& text) {
    return text.toStdU16String();
}
inline QString pathToQ(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
inline std::string pathFromQ(const QString& text) {
    return text.toStdString();
}
