#pragma once

#include <sys/types.h>
#include <string>
#include <string_view>
#include <vector>

namespace voxmg {

// Windows private-profile (ini) files, read and written the way the Windows routines do, so
// that VOXMG.ini, inf.ini and the other ini files move between the platforms unchanged:
// - section and key names compare case-insensitively (ASCII), the first match wins, also
//   across duplicate sections;
// - blanks around names and values are ignored; a value enclosed in one pair of double
//   quotes is returned without them;
// - integers are parsed from a leading sign and digits;
// - a write changes the one line it concerns and keeps every other byte of the file; a new
//   key goes after the last line of its section, a new section at the end of the file;
// - text is CP932, new lines end with CRLF.
// Names and values are UTF-16 on this side. The object holds the file's lines in memory;
// save() writes them back through a temporary file renamed over the old one, so a crash
// leaves the old or the new content.
class ProfileFile {
public:
    ProfileFile() = default;
    explicit ProfileFile(std::string path);

    // Reads the file; a missing file reads as empty, and so does one that cannot be read (a
    // folder by that name, no permission, far too large), which loadError() then tells.
    static ProfileFile load(const std::string& path);
    // Parses CP932 bytes as if they were the file's content.
    static ProfileFile fromBytes(std::string_view bytes, std::string path = {});

    const std::string& path() const { return m_path; }
    // Why load() could not read an existing file (an errno: EISDIR for a folder); 0 when it
    // read the file or there was none.
    int loadError() const { return m_loadError; }

    int readInt(std::u16string_view section, std::u16string_view key, int def) const;
    std::u16string readString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view def) const;
    bool hasKey(std::u16string_view section, std::u16string_view key) const;
    std::vector<std::u16string> keys(std::u16string_view section) const;
    std::vector<std::u16string> sections() const;

    void writeString(std::u16string_view section, std::u16string_view key, std::u16string_view value);
    void writeInt(std::u16string_view section, std::u16string_view key, int value);
    void removeKey(std::u16string_view section, std::u16string_view key);
    void removeSection(std::u16string_view section);

    // The file's bytes as they would be saved.
    std::string bytes() const;
    // Writes the file atomically; a new file gets `createMode`, an existing one keeps its mode.
    bool save(mode_t createMode = 0644) const;

private:
    enum class Kind { Other, Section, Key };
    struct Line {
        std::string raw;     // the line's bytes without its terminator
        std::string ending;  // "\r\n", "\n", or "" for a last line without one
        Kind kind = Kind::Other;
        std::u16string name;   // section or key name, trimmed
        std::u16string value;  // key value, trimmed and unquoted
    };

    static Line parseLine(std::string raw, std::string ending);
    // Index of the first line of the first matching section's header, or npos.
    std::size_t findSection(std::u16string_view section) const;
    // One past the last line belonging to the section that starts at `header`.
    std::size_t sectionEnd(std::size_t header) const;
    std::size_t findKey(std::size_t header, std::u16string_view key) const;
    void ensureLastLineEnded();

    std::string m_path;
    std::vector<Line> m_lines;
    int m_loadError = 0;
};

// One-call forms, each reading (and for writes, saving) the file, as the Windows routines do.
namespace profile {
int readInt(const std::string& path, std::u16string_view section, std::u16string_view key, int def);
std::u16string readString(const std::string& path, std::u16string_view section, std::u16string_view key,
                          std::u16string_view def);
bool writeString(const std::string& path, std::u16string_view section, std::u16string_view key,
                 std::u16string_view value);
}  // namespace profile

}  // namespace voxmg
