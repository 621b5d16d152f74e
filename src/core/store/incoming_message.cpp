#include "core/store/incoming_message.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "core/base/paths.h"

namespace voxmg {

IncomingMessage::IncomingMessage(std::string folder, std::string name,
                                 std::optional<std::uint64_t> expectedSize, fileio::Writes& writes)
    : m_folder(std::move(folder)),
      m_finalPath(paths::join(m_folder, name)),
      m_expected(expectedSize),
      m_writes(writes) {}

IncomingMessage::~IncomingMessage() {
    discard();
}

bool IncomingMessage::open() {
    discard();
    // mkostemp creates with O_EXCL: never an existing file, never through a planted link.
    std::string tmpl = paths::join(m_folder, std::string(kTempPrefix) + "XXXXXX");
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        m_writeFailed = true;
        return false;
    }
    m_fd = fileio::Fd(fd);
    m_tempPath = tmpl;
    m_received = 0;
    m_buffer.clear();
    m_writeFailed = m_overrun = false;
    // The record's room is written now, so a full disk shows before the main unit's bytes.
    const std::array<std::uint8_t, kRecordSize> reserved{};
    if (!m_writes.write(m_fd.get(), reserved)) {
        m_writeFailed = true;
        discard();
        return false;
    }
    return true;
}

bool IncomingMessage::append(std::span<const std::uint8_t> bytes) {
    if (!m_fd.valid() || m_writeFailed || m_overrun) {
        return false;
    }
    if (m_expected && bytes.size() > *m_expected - std::min(*m_expected, m_received)) {
        // A main unit that sends past what it listed is not sending this message: stop
        // rather than fill the disk.
        m_overrun = true;
        return false;
    }
    if (m_received < kUnitHeaderSize) {
        std::size_t take = std::min<std::size_t>(bytes.size(), kUnitHeaderSize - m_received);
        std::copy_n(bytes.begin(), take, m_head.begin() + static_cast<std::ptrdiff_t>(m_received));
    }
    // Gathered into larger writes: the main unit's bytes come in steps of 1 KB.
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    m_received += bytes.size();
    if (m_buffer.size() >= kWriteSize && !flushBuffer()) {
        return false;
    }
    return true;
}

bool IncomingMessage::flushBuffer() {
    if (!m_buffer.empty() && !m_writes.write(m_fd.get(), m_buffer)) {
        m_writeFailed = true;
        return false;
    }
    m_buffer.clear();
    return true;
}

bool IncomingMessage::complete() const {
    if (m_writeFailed || m_overrun) {
        return false;
    }
    return m_expected ? m_received == *m_expected : m_received >= kUnitHeaderSize;
}

std::optional<UnitHeader> IncomingMessage::header() const {
    if (m_received < kUnitHeaderSize) {
        return std::nullopt;
    }
    return UnitHeader::fromBytes(m_head);
}

bool IncomingMessage::commit(const FILESTS_INFO& record) {
    std::optional<PendingFile> file = finish(record);
    if (!file) {
        return false;
    }
    if (!file->place()) {
        m_writeFailed = true;
        return false;
    }
    return true;
}

std::optional<PendingFile> IncomingMessage::finish(const FILESTS_INFO& record) {
    if (!m_fd.valid() || !complete() || !flushBuffer()) {
        discard();
        return std::nullopt;
    }
    auto bytes = encodeRecord(record);
    if (!m_writes.writeAt(m_fd.get(), 0, bytes) || ::fchmod(m_fd.get(), 0644) != 0) {
        m_writeFailed = true;
        discard();
        return std::nullopt;
    }
    fileio::startWriteBack(m_fd.get());
    PendingFile file(std::move(m_fd), std::exchange(m_tempPath, {}), m_finalPath, m_writes);
    return file;
}

PendingFile::~PendingFile() {
    drop();
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : m_fd(std::move(other.m_fd)),
      m_temp(std::exchange(other.m_temp, {})),
      m_final(std::move(other.m_final)),
      m_writes(other.m_writes) {}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
    if (this != &other) {
        drop();
        m_fd = std::move(other.m_fd);
        m_temp = std::exchange(other.m_temp, {});
        m_final = std::move(other.m_final);
        m_writes = other.m_writes;
    }
    return *this;
}

void PendingFile::drop() {
    m_fd = fileio::Fd();
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

bool PendingFile::place() {
    // close() is where some file systems report a write that failed on its way to the disk.
    bool ok = ::close(m_fd.release()) == 0;
    // rename() replaces whatever holds the final name (a broken file, a link) as a whole.
    ok = ok && m_writes->rename(m_temp, m_final);
    if (ok) {
        m_temp.clear();
    } else {
        drop();
    }
    return ok;
}

bool PendingFile::commitAll(std::vector<PendingFile>& files) {
    bool ok = true;
    for (PendingFile& f : files) {
        ok = ok && f.m_writes->sync(f.m_fd.get());
    }
    for (PendingFile& f : files) {
        if (!ok) {
            break;
        }
        ok = f.place();
    }
    files.clear();  // what is not in place by now is removed
    return ok;
}

void IncomingMessage::discard() {
    m_fd = fileio::Fd();
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

void IncomingMessage::removeLeftovers(const std::string& folder) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) {
        return;
    }
    std::vector<std::string> leftovers;
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view name(entry->d_name);
        if (name.starts_with(kTempPrefix)) {
            leftovers.emplace_back(name);
        }
    }
    int dirFd = ::dirfd(dir.get());
    for (const std::string& name : leftovers) {
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode)) {
            ::unlinkat(dirFd, name.c_str(), 0);
        }
    }
}

}  // namespace voxmg
