#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/store/file_io.h"
#include "core/store/filests_info.h"
#include "core/store/unit_header.h"

namespace voxmg {

// A complete file under its temporary name, its record written, waiting for the rename that
// gives it its final name, with or without a sync first. Files that must be on the disk before
// they are named wait in batches, because syncing many files one after the other costs a
// fraction of syncing each as it comes. Dropped before its rename, the temporary file is removed.
class PendingFile {
public:
    PendingFile(fileio::Fd fd, std::string tempPath, std::string finalPath, fileio::Writes& writes)
        : m_fd(std::move(fd)),
          m_temp(std::move(tempPath)),
          m_final(std::move(finalPath)),
          m_writes(&writes) {}
    ~PendingFile();
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& finalPath() const { return m_final; }

    // Renames the file into place without waiting for the disk; false (the file removed) when
    // that failed.
    bool place();
    // Syncs every file, then renames each into place. False when any sync or rename failed:
    // the files not yet in place are then removed. The list is empty afterwards.
    static bool commitAll(std::vector<PendingFile>& files);

private:
    void drop();

    fileio::Fd m_fd;
    std::string m_temp;
    std::string m_final;
    fileio::Writes* m_writes;
};

// A message file on its way from the main unit. The main unit's bytes go into a hidden
// temporary file in the destination folder, behind the 990 bytes the record will take;
// commit() writes the record into them with one positioned write and renames the file to its
// final name. The final name therefore only ever holds a complete message, whatever stops the
// program on the way. The data is not synced there: while the main unit keeps its copy, a file
// a power cut tore is found by its size and validity and fetched again; whatever deletes that
// copy syncs the files it relies on first. Left uncommitted, the temporary file is removed.
class IncomingMessage {
public:
    // Temporary files start with this; what a killed program left behind is removed with
    // removeLeftovers() before the folder is downloaded into again.
    static constexpr std::string_view kTempPrefix = ".voxmg-dl-";

    // `expectedSize`: the size the main unit listed; more bytes than that stop the transfer,
    // fewer leave it incomplete. Without one, a whole main unit header is the least accepted.
    IncomingMessage(std::string folder, std::string name, std::optional<std::uint64_t> expectedSize,
                    fileio::Writes& writes = fileio::systemWrites());
    ~IncomingMessage();
    IncomingMessage(const IncomingMessage&) = delete;
    IncomingMessage& operator=(const IncomingMessage&) = delete;

    // Creates the temporary file (never through an existing name or link) and reserves the
    // record's bytes. False when the disk refuses.
    bool open();
    // Adds bytes from the main unit. False means stop receiving: a write failed, or the main
    // unit sent more than it listed.
    bool append(std::span<const std::uint8_t> bytes);

    bool writeFailed() const { return m_writeFailed; }
    bool overrun() const { return m_overrun; }
    std::uint64_t received() const { return m_received; }
    // Exactly the listed size arrived (or a whole header, when no size was listed).
    bool complete() const;
    // The main unit header as received, once its 256 bytes are in.
    std::optional<UnitHeader> header() const;
    const std::string& finalPath() const { return m_finalPath; }

    // Writes the record and renames over the final name, without a sync. False when any step
    // failed: the temporary file is then gone and the final name untouched.
    bool commit(const FILESTS_INFO& record);
    // Writes the record and hands the file over to wait for its rename (PendingFile::place or
    // commitAll); nothing when the record could not be written (the temporary file is then
    // gone). Write-back of the file's pages has started.
    std::optional<PendingFile> finish(const FILESTS_INFO& record);
    // Removes the temporary file now.
    void discard();

    // Removes temporary files of interrupted downloads from a folder.
    static void removeLeftovers(const std::string& folder);

private:
    std::string m_folder;
    std::string m_finalPath;
    std::string m_tempPath;
    std::optional<std::uint64_t> m_expected;
    fileio::Writes& m_writes;
    fileio::Fd m_fd;
    static constexpr std::size_t kWriteSize = 64 * 1024;
    bool flushBuffer();
    std::vector<std::uint8_t> m_buffer;  // received, not yet written
    std::uint64_t m_received = 0;
    std::array<std::uint8_t, kUnitHeaderSize> m_head{};
    bool m_writeFailed = false;
    bool m_overrun = false;
};

}  // namespace voxmg
