#pragma once

#include <array>
#include <ctime>
#include <string>

namespace voxmg {
struct Settings;
}

// When the automatic backup runs and how far back it reaches. Times are local and written
// "YYYYMMDDHHMM", so comparing the texts compares the times.
namespace voxmg::backup {

enum class Frequency : int { None = 0, Daily = 1, Weekly = 2, Monthly = 3 };

struct Schedule {
    int frequency = 0;  // HINDO; any value but 1..3 schedules nothing
    int weekday = 0;    // YOUBI, 0 = Sunday
    int day = 1;        // HI, 1..31
    int hour = 0;       // JIKOKUHH
    int minute = 0;     // JIKOKUMM
};

Schedule scheduleOf(const Settings& settings);

// "YYYYMMDDHHMM" of a local time.
std::string stamp(const std::tm& time);

// The next scheduled time after `now` (YOTEIBI), empty with no frequency.
std::string nextScheduledTime(const Schedule& schedule, const std::tm& now);

// A backup is due when there is a data root, a frequency, YOTEIBI is not later than now (an
// empty YOTEIBI is due at once) and nobody is logged in.
bool isDue(const Settings& settings, bool loggedIn, const std::tm& now);

// The backup month folder names "BU_YYYYMM" of two months ago, last month and this month.
std::array<std::string, 3> monthFolderNames(const std::tm& now);

// How far a backup reaches: from the target month to the current month, both "YYYYMM", and
// how many of the three month folders that is (3 from two months ago, 2 from last month, 1).
struct MonthRange {
    std::string targetMonth;
    std::string currentMonth;
    int folders = 3;
};

// `lastRun` is ZENKAIBI; the month folders' backup records decide whether the months since
// were completed.
MonthRange monthRange(const std::string& dataRoot, const std::string& lastRun, const std::tm& now);

// The local time now; what the program passes where the functions above take `now`.
std::tm localNow();

}  // namespace voxmg::backup
