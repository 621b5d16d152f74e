#include "core/automation/backup_schedule.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/automation/backup_record.h"
#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/settings/settings.h"

namespace voxmg::backup {
namespace {

int daysInMonth(int year, int month /* 1..12 */) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string format(int year, int month, int day, int hour, int minute) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d", year, month, day, hour, minute);
    return text;
}

// `now` moved by whole days, through the calendar so month and year ends come out right.
std::tm plusDays(const std::tm& now, int days) {
    std::tm t = now;
    t.tm_mday += days;
    t.tm_isdst = -1;
    std::mktime(&t);
    return t;
}

// "YYYYMM" of the month `back` months before `now`.
std::string monthBefore(const std::tm& now, int back) {
    int index = (now.tm_year + 1900) * 12 + now.tm_mon - back;
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d", index / 12, index % 12 + 1);
    return text;
}

// What the backup record of a month folder says, read against what the caller hopes for:
// 0 no folder, `expected` when complete, otherwise 3 when hoping for 2 and 0 when hoping for 1.
int checkMonth(const std::string& folder, int expected) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        return 0;
    }
    if (readRecordComplete(folder)) {
        return expected;
    }
    return expected == 2 ? 3 : 0;
}

}  // namespace

Schedule scheduleOf(const Settings& s) {
    return {s.hindo, s.youbi, s.hi, s.jikokuHH, s.jikokuMM};
}

std::string stamp(const std::tm& t) {
    return format(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min);
}

std::string nextScheduledTime(const Schedule& s, const std::tm& now) {
    const int set = s.hour * 100 + s.minute;
    const int cur = now.tm_hour * 100 + now.tm_min;
    std::tm date = now;
    switch (static_cast<Frequency>(s.frequency)) {
        case Frequency::Daily:
            if (set <= cur) {
                date = plusDays(now, 1);
            }
            break;
        case Frequency::Weekly:
            if (s.weekday != now.tm_wday || set <= cur) {
                int d = s.weekday - now.tm_wday;
                if (d <= 0) {
                    d += 7;
                }
                date = plusDays(now, d);
            }
            break;
        case Frequency::Monthly: {
            int year = now.tm_year + 1900;
            int month = now.tm_mon + 1;
            int t = std::min(s.day, daysInMonth(year, month));
            if (t == now.tm_mday && set > cur) {
                break;
            }
            if (t > now.tm_mday) {
                return format(year, month, t, s.hour, s.minute);
            }
            if (++month > 12) {
                month = 1;
                ++year;
            }
            return format(year, month, std::min(s.day, daysInMonth(year, month)), s.hour, s.minute);
        }
        default:
            return {};
    }
    return format(date.tm_year + 1900, date.tm_mon + 1, date.tm_mday, s.hour, s.minute);
}

bool isDue(const Settings& s, bool loggedIn, const std::tm& now) {
    return !s.folder.empty() && s.hindo != 0 && text::utf8FromUtf16(s.yoteiBi.str()) <= stamp(now) &&
           !loggedIn;
}

std::array<std::string, 3> monthFolderNames(const std::tm& now) {
    return {"BU_" + monthBefore(now, 2), "BU_" + monthBefore(now, 1), "BU_" + monthBefore(now, 0)};
}

MonthRange monthRange(const std::string& dataRoot, const std::string& lastRun, const std::tm& now) {
    const std::array<std::string, 3> names = monthFolderNames(now);
    const std::string last = lastRun.substr(0, 6);
    const std::string cur = stamp(now).substr(0, 6);
    int f = 0;
    if (last == cur) {
        f = checkMonth(paths::join(dataRoot, names[2]), 1);
    }
    if (last != cur || f != 1) {
        f = checkMonth(paths::join(dataRoot, names[1]), 2);
    }
    MonthRange range;
    range.currentMonth = cur;
    if (f == 1) {
        range.targetMonth = cur;
        range.folders = 1;
    } else if (f == 2) {
        range.targetMonth = monthBefore(now, 1);
        range.folders = 2;
    } else {
        range.targetMonth = monthBefore(now, 2);
        range.folders = 3;
    }
    return range;
}

std::tm localNow() {
    std::time_t t = std::time(nullptr);
    std::tm out{};
    localtime_r(&t, &out);
    return out;
}

}  // namespace voxmg::backup
