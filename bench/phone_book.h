#pragma once

// The phone book benches' material: extension boxes with an empty name, and the lines of a
// phone book as the telephone system exports it (CP932, CR LF).
#include <filesystem>
#include <string>

#include "bench_run.h"
#include "core/base/text.h"

namespace bench {

// Boxes 10000 .. 10000 + count - 1 under <root>/office/naisen, each with an unnamed inf.ini.
inline bool makeExtensionBoxes(const std::filesystem::path& root, int count) {
    for (int i = 0; i < count; ++i) {
        const std::filesystem::path box = root / "office" / "naisen" / std::to_string(10000 + i);
        std::filesystem::create_directories(box);
        if (!writeWhole(box / "inf.ini", "[INF]\r\nNAME=\"\"\r\nMAKE=0\r\n")) {
            return false;
        }
    }
    return true;
}

// The header lines of the phone book.
inline std::string phoneBookHeader() {
    return voxmg::text::cp932FromUtf8("内線電話帳\r\n収容位置,内線番号,内線名称,ヨミガナ\r\n");
}

}  // namespace bench
