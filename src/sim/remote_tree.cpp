#include "sim/remote_tree.h"

#include <fnmatch.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sim/main_unit_header.h"

namespace voxmg::sim {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kVoiceExtension = ".vmdat";
constexpr std::string_view kInfoExtension = ".vminf";

bool badComponent(std::string_view component) {
    return std::any_of(component.begin(), component.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || c == '\\';
    });
}

bool matches(const std::string& pattern, const std::string& name) {
    return pattern.empty() || ::fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
}

bool listed(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::time_t toTimeT(fs::file_time_type time) {
    return std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            std::chrono::file_clock::to_sys(time)));
}

}  // namespace

std::string partnerName(std::string_view name) {
    auto swap = [&](std::string_view from, std::string_view to) -> std::string {
        if (name.size() > from.size() && name.substr(name.size() - from.size()) == from) {
            return std::string(name.substr(0, name.size() - from.size())) + std::string(to);
        }
        return {};
    };
    std::string partner = swap(kVoiceExtension, kInfoExtension);
    return partner.empty() ? swap(kInfoExtension, kVoiceExtension) : partner;
}

RemoteTree::RemoteTree(std::string root) : m_root(std::move(root)) {
    while (m_root.size() > 1 && m_root.back() == '/') {
        m_root.pop_back();
    }
}

std::optional<std::string> RemoteTree::resolve(std::string_view cwd, std::string_view argument) const {
    if (argument.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    std::vector<std::string> parts;
    auto walk = [&](std::string_view path) {
        while (!path.empty()) {
            auto slash = path.find('/');
            std::string_view component = path.substr(0, slash);
            path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
            if (component.empty() || component == ".") {
                continue;
            }
            if (component == "..") {
                // Climbing above the root is refused rather than clamped, so a client that
                // walks up too far hears about it.
                if (parts.empty()) {
                    return false;
                }
                parts.pop_back();
                continue;
            }
            if (badComponent(component)) {
                return false;
            }
            parts.emplace_back(component);
        }
        return true;
    };
    if (argument.empty() || argument.front() != '/') {
        if (!walk(cwd)) {
            return std::nullopt;
        }
    }
    if (!walk(argument)) {
        return std::nullopt;
    }
    std::string result;
    for (const auto& part : parts) {
        result += '/';
        result += part;
    }
    return result.empty() ? std::string("/") : result;
}

std::string RemoteTree::hostPath(const std::string& path) const {
    return path == "/" ? m_root : m_root + path;
}

bool RemoteTree::isDirectory(const std::string& path) const {
    std::error_code ec;
    return fs::is_directory(hostPath(path), ec);
}

bool RemoteTree::isFile(const std::string& path) const {
    std::error_code ec;
    return fs::is_regular_file(hostPath(path), ec);
}

std::optional<std::vector<RemoteTree::Entry>> RemoteTree::list(const std::string& directory,
                                                               const std::string& pattern) const {
    std::error_code ec;
    fs::directory_iterator it(hostPath(directory), ec);
    if (ec) {
        return std::nullopt;
    }
    std::vector<Entry> entries;
    for (; it != fs::directory_iterator{}; it.increment(ec)) {
        if (ec) {
            break;
        }
        Entry entry;
        entry.name = it->path().filename().string();
        // Names starting with "." are uploads in progress or the host's own files.
        if (entry.name.front() == '.' || !matches(pattern, entry.name)) {
            continue;
        }
        std::error_code statError;
        entry.directory = it->is_directory(statError);
        if (!entry.directory) {
            entry.size = it->file_size(statError);
            if (statError) {
                continue;  // vanished while listing
            }
        }
        entry.modified = toTimeT(it->last_write_time(statError));
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return entries;
}

std::string RemoteTree::nameLine(const Entry& entry) {
    // The main unit marks directories in a name listing with a leading "*" and a trailing
    // "."; clients strip both characters while collecting box names.
    return entry.directory ? "*" + entry.name + "." : entry.name;
}

std::string RemoteTree::detailLine(const Entry& entry) {
    // Clients read this line by position: the size in the nine columns from 24, and the file
    // name as the last 33 characters. The prefix is therefore exactly 24 characters wide.
    static constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    localtime_r(&entry.modified, &local);
    std::array<char, 96> line{};
    std::snprintf(line.data(), line.size(), "%-10s %3d %-4s %-4s%9llu %s %2d %02d:%02d ",
                  entry.directory ? "drwxr-xr-x" : "-rw-r--r--", 1, "zu", "zu",
                  static_cast<unsigned long long>(entry.size % 1000000000ULL), kMonths.at(local.tm_mon % 12),
                  local.tm_mday, local.tm_hour, local.tm_min);
    return std::string(line.data()) + entry.name;
}

bool RemoteTree::isProtected(const std::string& hostFile) const {
    std::ifstream in(hostFile, std::ios::binary);
    std::array<char, kHeaderSize> header{};
    if (!in.read(header.data(), header.size())) {
        return false;
    }
    std::string_view bytes(header.data(), header.size());
    return bytes.substr(0, kModelText.size()) == kModelText &&
           (static_cast<unsigned char>(bytes[kStatusOffset]) & kStatusProtected) != 0;
}

RemoteTree::DeleteResult RemoteTree::deleteLocked(const std::string& directory, const std::string& name,
                                                  const std::vector<std::string>& inUse) {
    std::string folder = hostPath(directory);
    std::string file = folder + "/" + name;
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        return DeleteResult::Absent;
    }
    std::string partner = partnerName(name);
    std::string partnerFile = partner.empty() ? std::string() : folder + "/" + partner;
    bool partnerExists = !partner.empty() && fs::is_regular_file(partnerFile, ec);
    if (listed(inUse, name) || (!partner.empty() && listed(inUse, partner))) {
        return DeleteResult::InUse;
    }
    if (isProtected(file) || (partnerExists && isProtected(partnerFile))) {
        return DeleteResult::Protected;
    }
    fs::remove(file, ec);
    if (partnerExists) {
        fs::remove(partnerFile, ec);
    }
    return DeleteResult::Deleted;
}

RemoteTree::DeleteResult RemoteTree::deleteMessage(const std::string& path,
                                                   const std::vector<std::string>& inUse) {
    auto slash = path.rfind('/');
    std::lock_guard lock(m_writeMutex);
    return deleteLocked(path.substr(0, slash), path.substr(slash + 1), inUse);
}

bool RemoteTree::deleteMatching(const std::string& directory, const std::string& pattern,
                                const std::vector<std::string>& inUse) {
    auto entries = list(directory, pattern);
    if (!entries) {
        return false;
    }
    std::lock_guard lock(m_writeMutex);
    for (const auto& entry : *entries) {
        if (!entry.directory) {
            deleteLocked(directory, entry.name, inUse);
        }
    }
    return true;
}

void RemoteTree::removeFile(const std::string& path) {
    std::lock_guard lock(m_writeMutex);
    std::error_code ec;
    fs::remove(hostPath(path), ec);
}

bool RemoteTree::writeAtomically(const std::string& hostFile, std::string_view bytes) {
    auto slash = hostFile.rfind('/');
    std::string temporary = hostFile.substr(0, slash + 1) + "." + hostFile.substr(slash + 1) + ".part";
    std::error_code ec;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
            out.close();
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, hostFile, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

// True for a response message name, "YYYYMMDDhhmm_WWW_Annn_0000.vmdat" with nnn from 001
// to 300.
static bool isResponseName(const std::string& name) {
    if (name.size() != 32 || name[17] != 'A' || name.substr(21) != "_0000" + std::string(kVoiceExtension) ||
        !std::all_of(name.begin() + 18, name.begin() + 21, [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    int number = std::stoi(name.substr(18, 3));
    return number >= 1 && number <= 300;
}

// Voice data files in "/outou" with the message number of a response message name.
std::vector<std::string> RemoteTree::responseMessagesNumbered(const std::string& name) const {
    std::vector<std::string> names;
    auto entries = list("/outou", "*_" + name.substr(17, 9) + std::string(kVoiceExtension));
    for (const auto& entry : entries.value_or(std::vector<Entry>{})) {
        names.push_back(entry.name);
    }
    return names;
}

RemoteTree::UploadCheck RemoteTree::checkResponseUpload(const std::string& name,
                                                        const std::vector<std::string>& inUse) const {
    if (!isResponseName(name)) {
        return UploadCheck::NotResponseName;
    }
    if (listed(inUse, name)) {
        return UploadCheck::InUse;
    }
    for (const auto& held : responseMessagesNumbered(name)) {
        if (listed(inUse, held) || listed(inUse, partnerName(held))) {
            return UploadCheck::InUse;
        }
        // The time stamp leads the name, so comparing the first 12 characters compares times.
        if (held.compare(0, 12, name, 0, 12) > 0) {
            return UploadCheck::Older;
        }
    }
    return UploadCheck::Accepted;
}

bool RemoteTree::storeResponse(const std::string& name, std::string_view bytes) {
    auto older = responseMessagesNumbered(name);
    std::string folder = hostPath("/outou") + "/";
    std::lock_guard lock(m_writeMutex);
    if (!writeAtomically(folder + name, bytes)) {
        return false;
    }
    // Like every message on the main unit, a stored one gets its recording info file.
    if (bytes.size() >= kHeaderSize && bytes.substr(0, kModelText.size()) == kModelText) {
        writeAtomically(folder + partnerName(name), bytes.substr(0, kHeaderSize));
    }
    std::error_code ec;
    for (const auto& held : older) {
        if (held != name) {
            fs::remove(folder + held, ec);
            fs::remove(folder + partnerName(held), ec);
        }
    }
    return true;
}

std::optional<std::string> RemoteTree::readFile(const std::string& path) const {
    std::ifstream in(hostPath(path), std::ios::binary | std::ios::ate);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace voxmg::sim
