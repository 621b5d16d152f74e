#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/store/filests_info.h"

namespace voxmg {

// The fields of one message as a list reads them, without copying: views into a record, or
// into the texts a list keeps for its rows. The path comes in two parts (head + tail), so a
// list keeps each folder once and only the file name per row. Valid while what it views is.
struct RowView {
    std::uint8_t flags = 0;
    std::uint8_t played = 0;
    std::uint8_t state = 0;
    std::uint8_t protect = 0;
    std::u16string_view boxNumber;
    std::u16string_view boxName;
    std::u16string_view callerNumber;
    std::u16string_view callerName;
    std::u16string_view date;
    std::u16string_view length;
    std::u16string_view title;
    std::u16string_view memo;
    std::u16string_view pathHead;
    std::u16string_view pathTail;

    // The fields of a record, each up to its terminating NUL.
    static RowView of(const FILESTS_INFO& record);

    std::u16string path() const;
    // Whether the path holds `part`; it never spans head and tail (none of the texts asked for
    // holds a "/", and head ends with one).
    bool pathHolds(std::u16string_view part) const {
        return pathHead.find(part) != std::u16string_view::npos ||
               pathTail.find(part) != std::u16string_view::npos;
    }
};

}  // namespace voxmg
