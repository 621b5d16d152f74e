#include "core/base/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace voxmg::paths {

std::string join(std::string_view a, std::string_view b) {
    std::string out(a);
    if (!out.empty() && out.back() != '/') {
        out.push_back('/');
    }
    while (!b.empty() && b.front() == '/' && !out.empty()) {
        b.remove_prefix(1);
    }
    out.append(b);
    return out;
}

bool endsWithSeparator(std::string_view path) {
    return !path.empty() && path.back() == '/';
}

std::string withTrailingSeparator(std::string_view path) {
    std::string out(path);
    if (!out.empty() && out.back() != '/') {
        out.push_back('/');
    }
    return out;
}

std::string_view fileName(std::string_view path) {
    auto pos = path.find_last_of('/');
    return pos == std::string_view::npos ? path : path.substr(pos + 1);
}

std::string_view parentOf(std::string_view path) {
    auto pos = path.find_last_of('/');
    return pos == std::string_view::npos ? std::string_view{} : path.substr(0, pos);
}

std::string programFolder() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return "./";
    }
    std::string exe(buffer, static_cast<std::size_t>(n));
    return withTrailingSeparator(parentOf(exe));
}

bool isWritableFolder(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(path.c_str(), W_OK) == 0;
}

std::string settingsFolder(const SettingsPlace& place) {
    const std::string own = withTrailingSeparator(place.programFolder);
    const bool installed =
        std::any_of(place.installedFolders.begin(), place.installedFolders.end(),
                    [&](const std::string& folder) { return own == withTrailingSeparator(folder); });
    if (!installed && isWritableFolder(own)) {
        return own;
    }
    // Relative values of XDG_CONFIG_HOME are to be ignored.
    if (!place.xdgConfigHome.empty() && place.xdgConfigHome.front() == '/') {
        return withTrailingSeparator(join(place.xdgConfigHome, "voxmg"));
    }
    if (!place.home.empty() && place.home.front() == '/') {
        return withTrailingSeparator(join(place.home, ".config/voxmg"));
    }
    return own;
}

namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string homeFolder() {
    std::string home = environmentValue("HOME");
    if (home.empty()) {
        if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_dir != nullptr) {
            home = entry->pw_dir;
        }
    }
    return home;
}

}  // namespace

std::string settingsFolder() {
    std::string folder = settingsFolder(
        {programFolder(), {"/usr/bin", "/usr/local/bin"}, environmentValue("XDG_CONFIG_HOME"), homeFolder()});
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        ::chmod(folder.c_str(), 0700);
    }
    return folder;
}

namespace {

std::string nearestExisting(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p = path.empty() ? std::filesystem::path(".") : std::filesystem::path(path);
    while (!p.empty() && !std::filesystem::exists(p, ec)) {
        auto parent = p.parent_path();
        if (parent == p) {
            break;
        }
        p = parent;
    }
    return p.empty() ? std::string(".") : p.string();
}

}  // namespace

bool isNetworkPath(const std::string& path) {
    struct statfs info {};
    if (::statfs(nearestExisting(path).c_str(), &info) != 0) {
        return false;
    }
    switch (static_cast<unsigned long>(info.f_type)) {
        case 0x6969UL:      // NFS
        case 0x517BUL:      // SMB
        case 0xFF534D42UL:  // CIFS
        case 0xFE534D42UL:  // SMB2
        case 0x01021997UL:  // 9P
        case 0x5346414FUL:  // AFS
        case 0x00C36400UL:  // Ceph
        case 0x65735546UL:  // FUSE (sshfs and other network file systems)
            return true;
        default:
            return false;
    }
}

bool isUnsafeName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") {
        return true;
    }
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) {
            return true;
        }
    }
    return false;
}

}  // namespace voxmg::paths

namespace voxmg {

std::optional<std::uint64_t> systemFreeSpace(const std::string& path) {
    struct statvfs info {};
    if (::statvfs(paths::nearestExisting(path).c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace voxmg
