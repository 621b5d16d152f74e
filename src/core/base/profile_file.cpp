#include "core/base/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <sstream>

#include "core/base/paths.h"
#include "core/base/text.h"

namespace voxmg {
namespace {

std::u16string_view trim(std::u16string_view s) {
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// A value stops at a NUL byte, as it does in the C-string world the format comes from.
std::u16string_view beforeNul(std::u16string_view s) {
    auto pos = s.find(u'\0');
    return pos == std::u16string_view::npos ? s : s.substr(0, pos);
}

bool writeAll(int fd, const std::string& data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// A settings file is a few kilobytes; this bounds what a wrong path can make us read.
constexpr std::size_t kMaxSettingsBytes = std::size_t{4} << 20;

// The bytes of a plain file, without streams (an ifstream on a folder throws on the first
// read). 0 when read or missing (then empty), else the errno of what went wrong.
int readSettingsBytes(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == ENOENT ? 0 : errno;
    }
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    } else if (static_cast<std::uint64_t>(st.st_size) > kMaxSettingsBytes) {
        error = EFBIG;
    }
    char buffer[16384];
    while (error == 0) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0 && bytes.size() + static_cast<std::size_t>(got) <= kMaxSettingsBytes) {
            bytes.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0) {
            break;
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            error = got < 0 ? errno : EFBIG;
        }
    }
    ::close(fd);
    return error;
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : m_path(std::move(path)) {}

ProfileFile ProfileFile::load(const std::string& path) {
    std::string bytes;
    const int error = readSettingsBytes(path, bytes);
    ProfileFile file = fromBytes(error == 0 ? bytes : std::string(), path);
    file.m_loadError = error;
    return file;
}

ProfileFile ProfileFile::fromBytes(std::string_view bytes, std::string path) {
    ProfileFile file(std::move(path));
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t nl = bytes.find('\n', start);
        if (nl == std::string_view::npos) {
            file.m_lines.push_back(parseLine(std::string(bytes.substr(start)), ""));
            break;
        }
        std::size_t end = nl;
        std::string ending = "\n";
        if (end > start && bytes[end - 1] == '\r') {
            --end;
            ending = "\r\n";
        }
        file.m_lines.push_back(parseLine(std::string(bytes.substr(start, end - start)), ending));
        start = nl + 1;
    }
    return file;
}

ProfileFile::Line ProfileFile::parseLine(std::string raw, std::string ending) {
    Line line;
    line.raw = std::move(raw);
    line.ending = std::move(ending);
    std::u16string decoded = text::utf16FromCp932(line.raw);
    std::u16string_view t = trim(decoded);
    if (!t.empty() && t.front() == u'[') {
        t.remove_prefix(1);
        auto close = t.find(u']');
        if (close != std::u16string_view::npos) {
            t = t.substr(0, close);
        }
        line.kind = Kind::Section;
        line.name = std::u16string(trim(beforeNul(t)));
        return line;
    }
    auto eq = t.find(u'=');
    if (eq != std::u16string_view::npos && eq > 0) {
        line.kind = Kind::Key;
        line.name = std::u16string(trim(beforeNul(t.substr(0, eq))));
        std::u16string_view value = trim(beforeNul(t.substr(eq + 1)));
        if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"') {
            value = value.substr(1, value.size() - 2);
        }
        line.value = std::u16string(value);
    }
    return line;
}

std::size_t ProfileFile::findSection(std::u16string_view section) const {
    std::u16string_view wanted = trim(section);
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Section && text::equalsIgnoreAsciiCase(m_lines[i].name, wanted)) {
            return i;
        }
    }
    return std::string::npos;
}

std::size_t ProfileFile::sectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < m_lines.size() && m_lines[i].kind != Kind::Section) {
        ++i;
    }
    return i;
}

std::size_t ProfileFile::findKey(std::size_t header, std::u16string_view key) const {
    std::u16string_view wanted = trim(key);
    std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == Kind::Key && text::equalsIgnoreAsciiCase(m_lines[i].name, wanted)) {
            return i;
        }
    }
    return std::string::npos;
}

bool ProfileFile::hasKey(std::u16string_view section, std::u16string_view key) const {
    std::size_t header = findSection(section);
    return header != std::string::npos && findKey(header, key) != std::string::npos;
}

std::u16string ProfileFile::readString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view def) const {
    std::size_t header = findSection(section);
    if (header != std::string::npos) {
        std::size_t at = findKey(header, key);
        if (at != std::string::npos) {
            return m_lines[at].value;
        }
    }
    return std::u16string(def);
}

int ProfileFile::readInt(std::u16string_view section, std::u16string_view key, int def) const {
    std::size_t header = findSection(section);
    if (header == std::string::npos) {
        return def;
    }
    std::size_t at = findKey(header, key);
    if (at == std::string::npos) {
        return def;
    }
    // Leading sign and decimal digits; anything else ends the number. The value wraps in
    // 32 bits as the Windows routine's does.
    std::u16string_view v = m_lines[at].value;
    std::size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == u'-' || v[i] == u'+')) {
        negative = v[i] == u'-';
        ++i;
    }
    std::uint32_t n = 0;
    for (; i < v.size() && v[i] >= u'0' && v[i] <= u'9'; ++i) {
        n = n * 10u + static_cast<std::uint32_t>(v[i] - u'0');
    }
    if (negative) {
        n = 0u - n;
    }
    return static_cast<int>(n);
}

std::vector<std::u16string> ProfileFile::keys(std::u16string_view section) const {
    std::vector<std::u16string> out;
    std::size_t header = findSection(section);
    if (header == std::string::npos) {
        return out;
    }
    std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == Kind::Key) {
            out.push_back(m_lines[i].name);
        }
    }
    return out;
}

std::vector<std::u16string> ProfileFile::sections() const {
    std::vector<std::u16string> out;
    for (const Line& line : m_lines) {
        if (line.kind == Kind::Section) {
            out.push_back(line.name);
        }
    }
    return out;
}

void ProfileFile::ensureLastLineEnded() {
    if (!m_lines.empty() && m_lines.back().ending.empty()) {
        m_lines.back().ending = "\r\n";
    }
}

void ProfileFile::writeString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view value) {
    std::string keyLine = text::cp932FromUtf16(trim(key)) + "=" + text::cp932FromUtf16(value);
    std::size_t header = findSection(section);
    if (header == std::string::npos) {
        ensureLastLineEnded();
        m_lines.push_back(parseLine("[" + text::cp932FromUtf16(trim(section)) + "]", "\r\n"));
        m_lines.push_back(parseLine(keyLine, "\r\n"));
        return;
    }
    std::size_t at = findKey(header, key);
    if (at != std::string::npos) {
        std::string ending = m_lines[at].ending.empty() ? "\r\n" : m_lines[at].ending;
        m_lines[at] = parseLine(keyLine, ending);
        return;
    }
    // After the last non-blank line of the section.
    std::size_t insertAt = sectionEnd(header);
    while (insertAt > header + 1 && trim(text::utf16FromCp932(m_lines[insertAt - 1].raw)).empty()) {
        --insertAt;
    }
    if (m_lines[insertAt - 1].ending.empty()) {
        m_lines[insertAt - 1].ending = "\r\n";
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), parseLine(keyLine, "\r\n"));
}

void ProfileFile::writeInt(std::u16string_view section, std::u16string_view key, int value) {
    writeString(section, key, text::utf16FromUtf8(std::to_string(value)));
}

void ProfileFile::removeKey(std::u16string_view section, std::u16string_view key) {
    std::size_t header = findSection(section);
    if (header == std::string::npos) {
        return;
    }
    std::size_t at = findKey(header, key);
    if (at != std::string::npos) {
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(at));
    }
}

void ProfileFile::removeSection(std::u16string_view section) {
    std::size_t header = findSection(section);
    if (header == std::string::npos) {
        return;
    }
    std::size_t end = sectionEnd(header);
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(header),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(end));
}

std::string ProfileFile::bytes() const {
    std::string out;
    for (const Line& line : m_lines) {
        out += line.raw;
        out += line.ending;
    }
    return out;
}

bool ProfileFile::save(mode_t createMode) const {
    if (m_path.empty()) {
        return false;
    }
    mode_t mode = createMode;
    struct stat st {};
    if (::stat(m_path.c_str(), &st) == 0) {
        // The file keeps its mode, but never more than the caller allows: a settings file
        // saved with 0600 because it holds the password loses its group and world bits.
        mode = (st.st_mode & 07777) & (createMode | 07700);
    }
    std::string folder(paths::parentOf(m_path));
    std::string tmpl = paths::join(folder.empty() ? std::string(".") : folder,
                                   "." + std::string(paths::fileName(m_path)) + ".XXXXXX");
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(tmpl.c_str(), m_path.c_str()) != 0) {
        ::unlink(tmpl.c_str());
        return false;
    }
    return true;
}

namespace profile {

int readInt(const std::string& path, std::u16string_view section, std::u16string_view key, int def) {
    return ProfileFile::load(path).readInt(section, key, def);
}

std::u16string readString(const std::string& path, std::u16string_view section, std::u16string_view key,
                          std::u16string_view def) {
    return ProfileFile::load(path).readString(section, key, def);
}

bool writeString(const std::string& path, std::u16string_view section, std::u16string_view key,
                 std::u16string_view value) {
    ProfileFile file = ProfileFile::load(path);
    file.writeString(section, key, value);
    return file.save();
}

}  // namespace profile
}  // namespace voxmg
