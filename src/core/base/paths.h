#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Paths are UTF-8 with "/" separators. Where the original built "folder\name" this program
// builds "folder/name"; a folder path stored in the settings ends with "/".
namespace voxmg::paths {

// a + "/" + b, without doubling a separator already at the end of a.
std::string join(std::string_view a, std::string_view b);

// The path with a "/" appended when it does not end with one (an empty path stays empty).
std::string withTrailingSeparator(std::string_view path);
bool endsWithSeparator(std::string_view path);

// The last component of a path (after the last "/"), and the folder part before it.
std::string_view fileName(std::string_view path);
std::string_view parentOf(std::string_view path);

// Folder that holds the running program (from /proc/self/exe), ending with "/".
std::string programFolder();

// True when the folder (or the nearest existing folder above it) lies on a network file
// system: NFS, SMB/CIFS, SMB2, 9P, AFS, Ceph or a FUSE network file system.
bool isNetworkPath(const std::string& path);

// A name that would leave its folder: empty, ".", "..", or holding "/", "\" or a control
// character. Names from the main unit and from users are checked with it before use.
bool isUnsafeName(std::string_view name);

}  // namespace voxmg::paths

namespace voxmg {

// Free bytes on the file system of a path (the nearest existing folder above it).
// Injectable so engines can be tested against "the disk is full".
using FreeSpaceProbe = std::function<std::optional<std::uint64_t>(const std::string& path)>;

std::optional<std::uint64_t> systemFreeSpace(const std::string& path);
inline FreeSpaceProbe systemFreeSpaceProbe() {
    return &systemFreeSpace;
}

}  // namespace voxmg
