#pragma once

#include <ctime>

namespace voxmg::test {

// A local time, normalised as the clock gives it (weekday and day of the year filled in).
inline std::tm at(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    std::mktime(&t);
    return t;
}

}  // namespace voxmg::test
