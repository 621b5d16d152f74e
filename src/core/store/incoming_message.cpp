#include "core/store/incoming_message.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
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
    if (!m_writes.write(m_fd.get(), bytes)) {
        m_writeFailed = true;
        return false;
    }
    m_received += bytes.size();
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
    if (!m_fd.valid() || !complete()) {
        discard();
        return false;
    }
    auto bytes = encodeRecord(record);
    bool ok = m_writes.writeAt(m_fd.get(), 0, bytes) && ::fchmod(m_fd.get(), 0644) == 0 &&
              m_writes.sync(m_fd.get());
    ok = ::close(m_fd.release()) == 0 && ok;
    // rename() replaces whatever holds the final name (a broken file, a link) as a whole.
    ok = ok && m_writes.rename(m_tempPath, m_finalPath);
    if (!ok) {
        m_writeFailed = true;
        discard();
        return false;
    }
    m_tempPath.clear();
    return true;
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
