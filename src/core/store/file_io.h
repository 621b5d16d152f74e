#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Small POSIX file helpers for message files. Message files hold recordings that exist
// nowhere else once the main unit has deleted them, so every rewrite either goes through a
// temporary file renamed over the old one or is a single positioned write.
namespace voxmg::fileio {

// Owns a file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd();
    Fd(Fd&& other) noexcept : m_fd(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd = -1;
};

// Opens for reading without following a symbolic link and without waiting on a FIFO or a
// device; anything but a regular file is refused (invalid Fd).
Fd openRead(const std::string& path);
// The same for a name inside an open folder.
Fd openReadAt(int dirFd, const std::string& name);
// For a name the folder's listing gave as a regular file: opened for reading without the
// check (never through a link, never waiting on a FIFO put there since).
Fd openListedFileAt(int dirFd, const std::string& name);
// True for a regular file at `path` that is not a symbolic link.
bool isPlainFile(const std::string& path);

// Reads up to `size` bytes from `offset` (fewer at the end of the file).
std::optional<std::vector<std::uint8_t>> readAt(int fd, std::uint64_t offset, std::size_t size);
// The first `size` bytes of a file, fewer when it is shorter; nullopt when it cannot be opened.
std::optional<std::vector<std::uint8_t>> readPrefix(const std::string& path, std::size_t size);
std::optional<std::vector<std::uint8_t>> readAll(const std::string& path);
std::optional<std::uint64_t> fileSize(const std::string& path);

// Replaces (or creates) the file with the parts written one after the other, through a
// temporary file in the same folder renamed over it. An existing file keeps its mode.
// `durable`: flush the new content to the disk before the rename. Without it the rename still
// leaves the old or the new file after a crash of the program; a caller that skips the flush
// for speed must sync the folder before anything depends on the data surviving a power loss.
bool replaceFile(const std::string& path, std::initializer_list<std::span<const std::uint8_t>> parts,
                 bool durable = true);
// Flushes the file system that holds `path` (syncfs): one call after many quick writes.
bool syncFileSystem(const std::string& path);
// Makes the names in a folder durable (fsync of the folder): after renames of files that were
// synced themselves, this is all that is left, and it does not wait for other programs' data
// as syncfs does.
bool syncFolder(const std::string& folder);
// Flushes one file's data (cheap when it is on the disk already).
bool syncFile(const std::string& path);

// The writes that put a downloaded message on the disk, behind one seam: tests fail any of
// them the way a full disk does. Each returns false with errno set.
class Writes {
public:
    virtual ~Writes() = default;
    // Writes all of `data` at the file position.
    virtual bool write(int fd, std::span<const std::uint8_t> data);
    // One positioned write of all of `data`.
    virtual bool writeAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> data);
    virtual bool sync(int fd);
    virtual bool rename(const std::string& from, const std::string& to);
    // Makes the names in a folder durable (fsync of the folder).
    virtual bool syncFolder(const std::string& folder);
};
// The real file system.
Writes& systemWrites();

// Flushes each of the files that exists, then the folders that hold them, through `writes`:
// what a deletion on the main unit relies on. A name nothing is found under is passed over; one
// that is no plain file, or a flush that fails, makes it false.
bool syncFilesAndFolders(Writes& writes, const std::vector<std::string>& files);

// Asks the kernel to start writing the file's dirty pages now, without waiting for them: a long
// download then does not pile up the page cache for one large flush later. Only a hint; it
// makes nothing durable.
void startWriteBack(int fd);

// One positioned write into an existing file of at least `minSize` bytes; never creates,
// truncates or grows it. `durable`: flushed to the disk before it returns; without it a crash
// still leaves the old or the new bytes, but a power cut may lose the change.
bool writeInPlace(const std::string& path, std::uint64_t offset, std::span<const std::uint8_t> data,
                  std::uint64_t minSize, bool durable = true);

}  // namespace voxmg::fileio
