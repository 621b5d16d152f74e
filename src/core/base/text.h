#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text conversions between the encodings the program meets:
// - UTF-16: inside the program and in the 990-byte message record,
// - CP932 (the Windows ANSI code page of a Japanese PC): FTP commands, replies and listings,
//   the main unit header, ini files and CSV files,
// - UTF-8: file names on Linux and everything printed by the tools.
//
// A character with no CP932 form becomes "?", as the Windows code page converter does.
// Invalid input bytes become U+FFFD one at a time and never swallow the rest of a text.
namespace voxmg::text {

std::string cp932FromUtf16(std::u16string_view text);
std::u16string utf16FromCp932(std::string_view bytes);
std::string utf8FromUtf16(std::u16string_view text);
std::u16string utf16FromUtf8(std::string_view text);
std::string utf8FromCp932(std::string_view bytes);
std::string cp932FromUtf8(std::string_view text);

// Number of bytes the text takes in CP932; every "at most N bytes" input rule uses it.
std::size_t cp932Length(std::u16string_view text);

// The characters of `text` that CP932 cannot hold (each once, in order of appearance): stored
// in a record or file of the Windows program they would read back as "?".
std::u16string charactersLostInCp932(std::u16string_view text);

// True for a character whose low 8 bits lie in 0x81-0x9F or 0xE0-0xFC. Input checks of the
// original program refuse such characters in fields the main unit reads as single bytes.
bool hasLeadByteLowBits(char16_t ch);
bool containsLeadByteLowBits(std::u16string_view text);

// The text cut to at most `width` UTF-16 units without splitting a surrogate pair.
std::u16string_view cutToWidth(std::u16string_view text, std::size_t width);

// The text cut so that its CP932 form takes at most `bytes` bytes, on a character boundary.
std::u16string_view cutToCp932Bytes(std::u16string_view text, std::size_t bytes);

// Convenience for literals in tests and tools.
inline std::u16string u16(std::string_view utf8) {
    return utf16FromUtf8(utf8);
}
inline std::string u8(std::u16string_view utf16) {
    return utf8FromUtf16(utf16);
}

// ASCII-only case-insensitive comparison, as the ini routines compare names.
bool equalsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);
// The text with A-Z turned into a-z; every other byte stays (file name extensions, any case).
std::string asciiLower(std::string text);

}  // namespace voxmg::text
