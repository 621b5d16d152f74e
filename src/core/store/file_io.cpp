#include "core/store/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "core/base/paths.h"
#include "core/store/file_replace.h"

namespace voxmg::fileio {
namespace {

bool writeAll(int fd, std::span<const std::uint8_t> data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

Fd::~Fd() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = other.release();
    }
    return *this;
}

namespace {

Fd plainOnly(Fd fd) {
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return Fd();
    }
    return fd;
}

// O_NONBLOCK: opening a FIFO planted in a box folder must not wait for a writer; a regular
// file ignores the flag.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;

}  // namespace

Fd openRead(const std::string& path) {
    return plainOnly(Fd(::open(path.c_str(), kReadFlags)));
}

Fd openReadAt(int dirFd, const std::string& name) {
    return plainOnly(Fd(::openat(dirFd, name.c_str(), kReadFlags)));
}

Fd openListedFileAt(int dirFd, const std::string& name) {
    return Fd(::openat(dirFd, name.c_str(), kReadFlags));
}

bool isPlainFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Writes::write(int fd, std::span<const std::uint8_t> data) {
    return writeAll(fd, data);
}

bool Writes::writeAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> data) {
    while (!data.empty()) {
        ssize_t n = ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data = data.subspan(static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool Writes::sync(int fd) {
    return ::fdatasync(fd) == 0;
}

bool Writes::rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool Writes::syncFolder(const std::string& folder) {
    return fileio::syncFolder(folder);
}

Writes& systemWrites() {
    static Writes writes;
    return writes;
}

std::optional<std::vector<std::uint8_t>> readAt(int fd, std::uint64_t offset, std::size_t size) {
    std::vector<std::uint8_t> out(size);
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::pread(fd, out.data() + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return out;
}

std::optional<std::vector<std::uint8_t>> readPrefix(const std::string& path, std::size_t size) {
    Fd fd = openRead(path);
    if (!fd.valid()) {
        return std::nullopt;
    }
    return readAt(fd.get(), 0, size);
}

std::optional<std::uint64_t> fileSize(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::vector<std::uint8_t>> readAll(const std::string& path) {
    Fd fd = openRead(path);
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
        return std::nullopt;
    }
    // The size is only a hint: read to the end whatever it says.
    std::vector<std::uint8_t> out;
    std::uint64_t offset = 0;
    std::size_t chunk = st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 65536;
    for (;;) {
        auto part = readAt(fd.get(), offset, chunk);
        if (!part) {
            return std::nullopt;
        }
        out.insert(out.end(), part->begin(), part->end());
        offset += part->size();
        if (part->size() < chunk) {
            return out;
        }
        chunk = 65536;
    }
}

bool replaceFile(const std::string& path, std::initializer_list<std::span<const std::uint8_t>> parts,
                 bool durable) {
    std::string bytes;
    for (auto part : parts) {
        bytes.append(reinterpret_cast<const char*>(part.data()), part.size());
    }
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    const std::string folder(paths::parentOf(path));
    return replaceThrough(systemWrites(), path, bytes, mode, durable,
                          paths::join(folder.empty() ? "." : folder, ".voxmg-"));
}

bool syncFile(const std::string& path) {
    Fd fd = openRead(path);
    return fd.valid() && ::fdatasync(fd.get()) == 0;
}

bool syncFolder(const std::string& folder) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

bool syncFilesAndFolders(Writes& writes, const std::vector<std::string>& files) {
    std::set<std::string> folders;
    for (const std::string& path : files) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) {
            continue;
        }
        Fd fd = openRead(path);
        if (!fd.valid() || !writes.sync(fd.get())) {
            return false;
        }
        const std::string folder(paths::parentOf(path));
        folders.insert(folder.empty() ? "." : folder);
    }
    for (const std::string& folder : folders) {
        if (!writes.syncFolder(folder)) {
            return false;
        }
    }
    return true;
}

void startWriteBack(int fd) {
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool syncFileSystem(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd.valid() && ::syncfs(fd.get()) == 0;
}

bool writeInPlace(const std::string& path, std::uint64_t offset, std::span<const std::uint8_t> data,
                  std::uint64_t minSize, bool durable) {
    // Never through a symbolic link: one planted in a box folder could point anywhere.
    Fd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) < minSize || offset + data.size() > minSize) {
        return false;
    }
    ssize_t n;
    do {
        n = ::pwrite(fd.get(), data.data(), data.size(), static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(data.size()) && (!durable || ::fsync(fd.get()) == 0);
}

}  // namespace voxmg::fileio
