#include <string_view>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg {
namespace {

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

}  // namespace

bool CFileMng::readRecord(const std::string& path, FILESTS_INFO& dest) const {
    if (auto bytes = fileio::readPrefix(path, kRecordSize)) {
        if (auto record = decodeRecord(*bytes)) {
            dest = *record;
            return true;
        }
    }
    return false;
}

FileOp CFileMng::prependRecord(const std::string& path, const FILESTS_INFO& record) const {
    auto content = fileio::readAll(path);
    if (!content) {
        return FileOp::NotDone;
    }
    auto head = encodeRecord(record);
    return fileio::replaceFile(path, {head, *content}, m_durableWrites) ? FileOp::Done : FileOp::NotDone;
}

FileOp CFileMng::writeBackRecord(FILESTS_INFO& record, const std::string& path) const {
    FILESTS_INFO::setText(record.boxName,
                          text::cutToWidth(readBoxName(std::string(paths::parentOf(path))), 10));
    auto bytes = encodeRecord(record);
    // Only a file that already holds a record and a header is rewritten, and only its first
    // 990 bytes, in one write: the voice behind them is never touched.
    return fileio::writeInPlace(path, 0, bytes, kFramesOffset, m_durableWrites) ? FileOp::Done
                                                                                : FileOp::NotDone;
}

FileOp CFileMng::buildBoxMessageRecord(const std::string& path) const {
    return buildRecord(path, false);
}
FileOp CFileMng::buildResponseMessageRecord(const std::string& path) const {
    return buildRecord(path, true);
}

FileOp CFileMng::buildRecord(const std::string& path, bool response) const {
    auto head = fileio::readPrefix(path, kUnitHeaderSize);
    auto header = head ? UnitHeader::fromBytes(*head) : std::nullopt;
    if (!header) {
        return FileOp::NotDone;
    }
    return prependRecord(path, downloadRecord(path, *header, response));
}

namespace {

// The record at the start of a message file that already holds one (a record followed by a
// main unit header); nothing for a raw or broken file.
std::optional<FILESTS_INFO> recordOfMessageFile(const std::string& path) {
    auto bytes = fileio::readPrefix(path, kFramesOffset);
    if (!bytes || bytes->size() < kFramesOffset) {
        return std::nullopt;
    }
    std::span<const std::uint8_t> view(*bytes);
    auto header = UnitHeader::fromBytes(view.subspan(kRecordSize));
    if (!header || !header->hasModelText()) {
        return std::nullopt;
    }
    return decodeRecord(view.first(kRecordSize));
}

}  // namespace

FILESTS_INFO CFileMng::downloadRecord(const std::string& path, const UnitHeader& header,
                                      bool response) const {
    FILESTS_INFO record;
    if (response) {
        FILESTS_INFO::setText(record.length, formatLength(header.lengthUnits()));
        FILESTS_INFO::setText(record.callerName, text::utf16FromCp932(header.callerName()));
        FILESTS_INFO::setText(record.boxNumber, text::utf16FromCp932(header.boxNumber()));
        return record;
    }

    bool voice = endsWith(path, naming::kVoiceExt);
    // What the user set for the message is kept: from the file being fetched again (it held a
    // record but not the whole message), or, for voice arriving after an info-only download,
    // from the recording info file. Only the download-state code is renewed.
    std::optional<FILESTS_INFO> earlier = recordOfMessageFile(path);
    if (!earlier && voice) {
        std::string info =
            path.substr(0, path.size() - naming::kVoiceExt.size()) + std::string(naming::kInfoExt);
        if (auto bytes = fileio::readPrefix(info, kRecordSize)) {
            earlier = decodeRecord(*bytes);
        }
    }
    bool reused = earlier.has_value();
    if (reused) {
        record = *earlier;
    } else {
        FILESTS_INFO::setText(record.date, header.recordDate());
    }
    DownloadState state = DownloadState::InfoOnly;
    if (voice) {
        state = header.playedOnUnit() ? DownloadState::PlayedOnUnit : DownloadState::UnplayedOnUnit;
    }
    record.state = static_cast<std::uint8_t>(state);
    if (!reused) {
        record.protect = header.protectedOnUnit() ? 1 : 0;
        FILESTS_INFO::setText(record.length, formatLength(header.lengthUnits()));
        FILESTS_INFO::setText(record.callerName,
                              text::utf16FromCp932(fixUnitIdeographicSpace(header.callerName())));
        FILESTS_INFO::setText(record.callerNumber, text::utf16FromCp932(header.callerNumber()));
        FILESTS_INFO::setText(record.boxNumber, text::utf16FromCp932(header.boxNumber()));
    }
    return record;
}

bool CFileMng::isCompleteDownload(const std::string& path, std::optional<std::uint64_t> listedSize) const {
    auto size = fileio::fileSize(path);
    if (!size || *size < kFramesOffset || (listedSize && *size != *listedSize + kRecordSize)) {
        return false;
    }
    auto record = recordOfMessageFile(path);
    return record && record->lengthText().find(u':') != std::u16string::npos;
}

}  // namespace voxmg
