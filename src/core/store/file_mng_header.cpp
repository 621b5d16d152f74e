#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg {
namespace {

// Leading blanks, an optional sign, then digits, as the C library's text-to-number routines
// read the numbers the validity check compares.
template <typename Text>
long leadingNumber(const Text& s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9' && v < 100000000; ++i) {
        v = v * 10 + (s[i] - '0');
    }
    return negative ? -v : v;
}

}  // namespace

bool CFileMng::isValidMessage(const std::string& path, const FILESTS_INFO& record,
                              const UnitHeader& header) const {
    std::string_view name = paths::fileName(path);
    bool response = naming::isResponsePath(path);
    std::optional<int> number;
    if (response) {
        number = naming::responseNumberFromName(name);
        if (naming::nameLength(name) != naming::kResponseNameLength || !number || *number < 1 ||
            *number > 300) {
            return false;
        }
    } else if (naming::nameLength(name) != naming::kBoxMessageNameLength) {
        return false;
    }
    if (record.lengthText().find(u':') == std::u16string::npos || !header.hasModelText()) {
        return false;
    }
    if (response) {
        std::string digits(header.bytes().begin() + header_offset::kBoxNumber,
                           header.bytes().begin() + header_offset::kBoxNumber + 3);
        digits = digits.substr(0, digits.find('\0'));
        return leadingNumber(record.boxNumberText()) == *number && header.messageNumber() == *number &&
               leadingNumber(digits) == *number;
    }
    return true;
}

FileOp CFileMng::updateResponseHeader(const FILESTS_INFO& record, const std::string& path,
                                      const std::tm& now) const {
    // Date (header offset 32) and name (offset 64) sit side by side: one write changes both.
    std::array<std::uint8_t, 64> patch{};
    auto date = formatHeaderDate(now);
    std::copy(date.begin(), date.end(), patch.begin());
    std::string name = text::cp932FromUtf16(record.callerNameText());
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 32), patch.begin() + 32);
    return fileio::writeInPlace(path, kRecordSize + header_offset::kDate, patch, kFramesOffset)
               ? FileOp::Done
               : FileOp::NotDone;
}

ResponseLookup CFileMng::findResponseMessage(const std::string& folder, const std::string& newName) const {
    using Kind = ResponseLookup::Kind;
    std::u16string name = text::utf16FromUtf8(newName);
    if (paths::isUnsafeName(newName) || name.size() < 26) {
        return {Kind::NotOlder, {}};
    }
    std::string tail = text::utf8FromUtf16(name.substr(17, 9)) + std::string(naming::kVoiceExt);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) {
        return {Kind::Absent, {}};
    }
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view found(entry->d_name);
        if (found.size() <= tail.size() || found.substr(found.size() - tail.size()) != tail) {
            continue;
        }
        if (naming::nameLength(found) != naming::kResponseNameLength) {
            return {Kind::Older, {}};
        }
        std::u16string local = text::utf16FromUtf8(found);
        return {local.substr(0, 12) >= name.substr(0, 12) ? Kind::NotOlder : Kind::Older,
                paths::join(folder, found)};
    }
    return {Kind::Absent, {}};
}

FileOp CFileMng::extractFrames(const std::string& voicePath, const std::string& framesPath) const {
    auto content = fileio::readAll(voicePath);
    if (!content || content->size() < kFramesOffset) {
        return FileOp::NotDone;
    }
    std::span<const std::uint8_t> frames(*content);
    return fileio::replaceFile(framesPath, {frames.subspan(kFramesOffset)}) ? FileOp::Done : FileOp::NotDone;
}

FileOp CFileMng::buildImportedResponse(const std::string& path, int number, const std::tm& importTime) const {
    auto frames = fileio::readAll(path);
    if (!frames || number < 1 || number > 300) {
        return FileOp::NotDone;
    }
    // Only whole 100 ms blocks are kept: the header counts the length in tenths of a second.
    auto length = static_cast<std::uint32_t>(frames->size() / 100);
    UnitHeader header = makeResponseHeader(number, length, importTime);
    FILESTS_INFO record;
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", number);
    FILESTS_INFO::setText(record.boxNumber, text::utf16FromUtf8(digits));
    FILESTS_INFO::setText(record.length, formatLength(length));
    auto head = encodeRecord(record);
    std::span<const std::uint8_t> kept(frames->data(), std::size_t{length} * 100);
    return fileio::replaceFile(path, {head, header.bytes(), kept}) ? FileOp::Done : FileOp::NotDone;
}

}  // namespace voxmg
