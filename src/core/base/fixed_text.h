#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/base/text.h"

namespace voxmg {

// A text kept in a field of at most N UTF-16 units, as the settings block of the original
// kept its strings in fixed arrays. A longer text (a hand-edited file, say) is cut at the
// field width on a character boundary; it never runs past its field.
template <std::size_t N>
class FixedText {
public:
    static constexpr std::size_t width = N;

    FixedText() = default;
    FixedText(std::u16string_view text) { assign(text); }  // NOLINT(google-explicit-constructor)
    FixedText& operator=(std::u16string_view text) {
        assign(text);
        return *this;
    }

    const std::u16string& str() const { return m_text; }
    operator std::u16string_view() const { return m_text; }  // NOLINT(google-explicit-constructor)
    bool empty() const { return m_text.empty(); }
    void clear() { m_text.clear(); }
    bool operator==(const FixedText& other) const = default;

private:
    void assign(std::u16string_view text) { m_text = std::u16string(text::cutToWidth(text, N)); }
    std::u16string m_text;
};

}  // namespace voxmg
