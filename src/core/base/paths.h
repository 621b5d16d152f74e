#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// What decides where the program keeps VOXMG.ini and its work folders ("tmp" and the
// conversion intermediates).
struct SettingsPlace {
    std::string programFolder;                  // folder of the running program
    std::vector<std::string> installedFolders;  // where installed programs live
    std::string xdgConfigHome;                  // $XDG_CONFIG_HOME, may be empty
    std::string home;                           // $HOME, may be empty
};

// The folder for VOXMG.ini and "tmp", ending with "/". A program run from a build tree or
// any folder it may write to keeps them beside itself. An installed program, or one in a
// folder it may not write to, uses $XDG_CONFIG_HOME/voxmg/, or ~/.config/voxmg/ when that
// is unset or not absolute. With neither variable the program's folder stays.
std::string settingsFolder(const SettingsPlace& place);

// The same for this process: its environment, and /usr/bin and /usr/local/bin as the folders
// of an installed program. A missing folder is made with mode 0700 (VOXMG.ini holds a
// password).
std::string settingsFolder();

// A folder this process may create files in: some write bit is set (root ignores the bits,
// a folder nobody may write to is still read-only for it) and access() agrees.
bool isWritableFolder(const std::string& path);

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
