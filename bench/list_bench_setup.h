#pragma once

// The box folder the list benches read: four answering machine boxes, 0101 to 0104, of messages
// as the PC keeps them (the record, the main unit's header, a few frames), written with bare
// system calls so that making thousands of them takes little of the bench's time.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/store/filests_info.h"
#include "core/store/unit_header.h"

namespace bench {

inline constexpr int kListBoxes = 4;

// The folder of box `b` (0 to kListBoxes - 1): "0101" for the first.
inline std::string listBoxName(int b) {
    char box[8];
    std::snprintf(box, sizeof box, "%04d", 101 + b);
    return box;
}

// Writes total / kListBoxes messages into each box folder below `boxFolder`/rusuroku. Every record
// has the same length and caller number, one of two dates and one of five callers (one with a
// comma); `fill` sets what a bench wants beyond that for message `i` of box `box`. False when a
// file could not be written.
inline bool writeBoxList(
    const std::string& boxFolder, int total,
    const std::function<void(voxmg::FILESTS_INFO&, int i, const std::string& box)>& fill) {
    static const char16_t* const kCallers[] = {u"山田 太郎", u"佐藤 花子", u"鈴木 一郎", u"株式会社 田中商店",
                                               u"高橋, 次郎"};
    for (int b = 0; b < kListBoxes; ++b) {
        const std::string box = listBoxName(b);
        const std::string folder = boxFolder + "/rusuroku/" + box;
        std::filesystem::create_directories(folder);
        for (int i = 0; i < total / kListBoxes; ++i) {
            voxmg::FILESTS_INFO record;
            fill(record, i, box);
            voxmg::FILESTS_INFO::setText(record.length, u"00:00:12");
            voxmg::FILESTS_INFO::setText(record.date, i % 3 == 0 ? u"2026/12/06 13:05" : u"2026/11/30 09:41");
            voxmg::FILESTS_INFO::setText(record.callerNumber, u"0312345678");
            voxmg::FILESTS_INFO::setText(record.callerName, kCallers[i % 5]);
            auto bytes = voxmg::encodeRecord(record);
            std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
            file.resize(voxmg::kFramesOffset + 100, 0x5A);
            std::copy(voxmg::kModelText.begin(), voxmg::kModelText.end(), file.begin() + voxmg::kRecordSize);
            char name[64];
            std::snprintf(name, sizeof name, "/20261206%04d_SUN_%s_%05d.vmdat", i / 100000, box.c_str(),
                          i % 100000);
            const int fd = ::open((folder + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::write(fd, file.data(), file.size()) != static_cast<ssize_t>(file.size())) {
                return false;
            }
            ::close(fd);
        }
    }
    return true;
}

}  // namespace bench
