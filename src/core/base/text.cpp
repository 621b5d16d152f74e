#include "core/base/text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace voxmg::text {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// One iconv descriptor per direction and thread; opening one costs far more than a short
// conversion, and descriptors keep state, so threads must not share them.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) {
            iconv_close(m_cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    void reset() { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

    // Converts as much as possible; returns the errno that stopped it (0 at the end).
    int run(const char*& in, std::size_t& inLeft, std::string& out) {
        char buffer[1024];
        while (inLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            std::size_t rc = iconv(m_cd, const_cast<char**>(&in), &inLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (rc == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) {
                    continue;
                }
                return errno;
            }
        }
        return 0;
    }

private:
    iconv_t m_cd;
};

Converter& toCp932() {
    thread_local Converter c("CP932", "UTF-16LE");
    return c;
}
Converter& fromCp932() {
    thread_local Converter c("UTF-16LE", "CP932");
    return c;
}

std::string u16ToLeBytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t ch : text) {
        bytes.push_back(static_cast<char>(ch & 0xFF));
        bytes.push_back(static_cast<char>(ch >> 8));
    }
    return bytes;
}

void appendLeBytes(std::u16string& out, const std::string& bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                            (static_cast<std::uint8_t>(bytes[i + 1]) << 8)));
    }
}

bool isHighSurrogate(char16_t ch) {
    return ch >= 0xD800 && ch <= 0xDBFF;
}
bool isLowSurrogate(char16_t ch) {
    return ch >= 0xDC00 && ch <= 0xDFFF;
}

}  // namespace

std::string cp932FromUtf16(std::u16string_view text) {
    Converter& conv = toCp932();
    std::string out;
    if (!conv.valid()) {
        return out;
    }
    conv.reset();
    std::string bytes = u16ToLeBytes(text);
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        int err = conv.run(in, left, out);
        if (err == 0) {
            break;
        }
        // An unmappable or broken character: one "?" for the whole character.
        std::size_t unit = 2;
        if (left >= 4) {
            char16_t first = static_cast<char16_t>(static_cast<std::uint8_t>(in[0]) |
                                                   (static_cast<std::uint8_t>(in[1]) << 8));
            char16_t second = static_cast<char16_t>(static_cast<std::uint8_t>(in[2]) |
                                                    (static_cast<std::uint8_t>(in[3]) << 8));
            if (isHighSurrogate(first) && isLowSurrogate(second)) {
                unit = 4;
            }
        }
        unit = std::min(unit, left);
        out.push_back('?');
        in += unit;
        left -= unit;
        conv.reset();
    }
    return out;
}

std::u16string utf16FromCp932(std::string_view bytes) {
    Converter& conv = fromCp932();
    std::u16string out;
    if (!conv.valid()) {
        return out;
    }
    conv.reset();
    out.reserve(bytes.size());
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    std::string chunk;
    while (left > 0) {
        chunk.clear();
        int err = conv.run(in, left, chunk);
        appendLeBytes(out, chunk);
        if (err == 0) {
            break;
        }
        // EILSEQ or a lead byte cut off at the end (EINVAL): replace one byte and go on.
        out.push_back(kReplacement);
        ++in;
        --left;
        conv.reset();
    }
    return out;
}

std::string utf8FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(text[i]) || isLowSurrogate(text[i])) {
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string utf16FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto b0 = static_cast<std::uint8_t>(text[i]);
        std::uint32_t cp = kReplacement;
        std::size_t len = 1;
        auto cont = [&](std::size_t k) {
            return i + k < text.size() && (static_cast<std::uint8_t>(text[i + k]) & 0xC0) == 0x80;
        };
        auto bits = [&](std::size_t k) { return static_cast<std::uint32_t>(text[i + k]) & 0x3F; };
        if (b0 < 0x80) {
            cp = b0;
        } else if ((b0 & 0xE0) == 0xC0 && cont(1)) {
            cp = ((b0 & 0x1Fu) << 6) | bits(1);
            len = 2;
            if (cp < 0x80) {
                cp = kReplacement;
            }
        } else if ((b0 & 0xF0) == 0xE0 && cont(1) && cont(2)) {
            cp = ((b0 & 0x0Fu) << 12) | (bits(1) << 6) | bits(2);
            len = 3;
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) {
                cp = kReplacement;
            }
        } else if ((b0 & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
            cp = ((b0 & 0x07u) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
            len = 4;
            if (cp < 0x10000 || cp > 0x10FFFF) {
                cp = kReplacement;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string utf8FromCp932(std::string_view bytes) {
    return utf8FromUtf16(utf16FromCp932(bytes));
}
std::string cp932FromUtf8(std::string_view text) {
    return cp932FromUtf16(utf16FromUtf8(text));
}

std::u16string charactersLostInCp932(std::u16string_view text) {
    std::u16string lost;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t unit =
            isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1]) ? 2 : 1;
        const std::u16string_view ch = text.substr(i, unit);
        i += unit;
        if (ch[0] < 0x80 || utf16FromCp932(cp932FromUtf16(ch)) == ch ||
            lost.find(ch) != std::u16string::npos) {
            continue;
        }
        lost.append(ch);
    }
    return lost;
}

std::size_t cp932Length(std::u16string_view text) {
    // ASCII is one byte; everything else goes through the converter.
    bool ascii = true;
    for (char16_t ch : text) {
        if (ch >= 0x80) {
            ascii = false;
            break;
        }
    }
    return ascii ? text.size() : cp932FromUtf16(text).size();
}

bool hasLeadByteLowBits(char16_t ch) {
    unsigned low = ch & 0xFFu;
    return (low >= 0x81 && low <= 0x9F) || (low >= 0xE0 && low <= 0xFC);
}

bool containsLeadByteLowBits(std::u16string_view text) {
    for (char16_t ch : text) {
        if (hasLeadByteLowBits(ch)) {
            return true;
        }
    }
    return false;
}

std::u16string_view cutToWidth(std::u16string_view text, std::size_t width) {
    if (text.size() <= width) {
        return text;
    }
    std::size_t n = width;
    if (n > 0 && isHighSurrogate(text[n - 1]) && isLowSurrogate(text[n])) {
        --n;
    }
    return text.substr(0, n);
}

std::u16string_view cutToCp932Bytes(std::u16string_view text, std::size_t bytes) {
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t len = (isHighSurrogate(text[i]) && i + 1 < text.size()) ? 2 : 1;
        std::size_t cost = text[i] < 0x80 ? 1 : cp932FromUtf16(text.substr(i, len)).size();
        if (used + cost > bytes) {
            break;
        }
        used += cost;
        i += len;
    }
    return text.substr(0, i);
}

bool equalsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i];
        char16_t y = b[i];
        if (x >= u'A' && x <= u'Z') {
            x = static_cast<char16_t>(x + 32);
        }
        if (y >= u'A' && y <= u'Z') {
            y = static_cast<char16_t>(y + 32);
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

std::string asciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace voxmg::text
