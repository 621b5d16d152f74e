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

int CFileMng::readRecord(const std::string& path, FILESTS_INFO& dest) const {
    if (auto bytes = fileio::readPrefix(path, kRecordSize)) {
        if (auto record = decodeRecord(*bytes)) {
            dest = *record;
        }
    }
    return 0;
}

int CFileMng::prependRecord(const std::string& path, const FILESTS_INFO& record) const {
    auto content = fileio::readAll(path);
    if (!content) {
        return -1;
    }
    auto head = encodeRecord(record);
    return fileio::replaceFile(path, {head, *content}, m_durableWrites) ? 0 : -1;
}

int CFileMng::writeBackRecord(FILESTS_INFO& record, const std::string& path) const {
    FILESTS_INFO::setText(record.boxName,
                          text::cutToWidth(readBoxName(std::string(paths::parentOf(path))), 10));
    auto bytes = encodeRecord(record);
    // Only a file that already holds a record and a header is rewritten, and only its first
    // 990 bytes, in one write: the voice behind them is never touched.
    return fileio::writeInPlace(path, 0, bytes, kFramesOffset) ? 1 : 0;
}

int CFileMng::buildBoxMessageRecord(const std::string& path) const {
    return buildRecord(path, false);
}
int CFileMng::buildResponseMessageRecord(const std::string& path) const {
    return buildRecord(path, true);
}

int CFileMng::buildRecord(const std::string& path, bool response) const {
    auto head = fileio::readPrefix(path, kUnitHeaderSize);
    auto header = head ? UnitHeader::fromBytes(*head) : std::nullopt;
    if (!header) {
        return 0;
    }
    FILESTS_INFO record;
    if (response) {
        FILESTS_INFO::setText(record.length, formatLength(header->lengthUnits()));
        FILESTS_INFO::setText(record.callerName, text::utf16FromCp932(header->callerName()));
        FILESTS_INFO::setText(record.boxNumber, text::utf16FromCp932(header->boxNumber()));
        return prependRecord(path, record) == 0 ? 1 : 0;
    }

    bool voice = endsWith(path, naming::kVoiceExt);
    bool reused = false;
    if (voice) {
        // The voice arriving after an info-only download takes over what the user typed for
        // the message; only the download-state code is renewed.
        std::string info =
            path.substr(0, path.size() - naming::kVoiceExt.size()) + std::string(naming::kInfoExt);
        if (auto bytes = fileio::readPrefix(info, kRecordSize)) {
            if (auto earlier = decodeRecord(*bytes)) {
                record = *earlier;
                reused = true;
            }
        }
    }
    if (!reused) {
        FILESTS_INFO::setText(record.date, header->recordDate());
    }
    DownloadState state = DownloadState::InfoOnly;
    if (voice) {
        state = header->playedOnUnit() ? DownloadState::PlayedOnUnit : DownloadState::UnplayedOnUnit;
    }
    record.state = static_cast<std::uint8_t>(state);
    if (!reused) {
        record.protect = header->protectedOnUnit() ? 1 : 0;
        FILESTS_INFO::setText(record.length, formatLength(header->lengthUnits()));
        FILESTS_INFO::setText(record.callerName,
                              text::utf16FromCp932(fixUnitIdeographicSpace(header->callerName())));
        FILESTS_INFO::setText(record.callerNumber, text::utf16FromCp932(header->callerNumber()));
        FILESTS_INFO::setText(record.boxNumber, text::utf16FromCp932(header->boxNumber()));
    }
    return prependRecord(path, record) == 0 ? 1 : 0;
}

}  // namespace voxmg
