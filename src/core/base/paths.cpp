#include "core/base/paths.h"

#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
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
