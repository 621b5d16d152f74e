#include <gtest/gtest.h>

#include <filesystem>

#include "core/automation/backup_record.h"
#include "core/automation/backup_schedule.h"
#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/device/download_fixture.h"
#include "core/settings/settings.h"
#include "support/temp_folder.h"

namespace voxmg::test {
namespace {

using backup::Schedule;

struct NextCase {
    const char* name;
    Schedule schedule;  // frequency, weekday, day, hour, minute
    std::tm now;
    const char* expected;
};

TEST(BackupSchedule, NextScheduledTime) {
    // 2026-12-07 is a Monday (weekday 1).
    const NextCase cases[] = {
        {"daily, later today", {1, 0, 1, 18, 30}, at(2026, 12, 7, 12, 0), "202612071830"},
        {"daily, passed: tomorrow", {1, 0, 1, 9, 0}, at(2026, 12, 7, 12, 0), "202612080900"},
        {"daily at 00:00 set at 00:00: tomorrow", {1, 0, 1, 0, 0}, at(2026, 12, 31, 0, 0), "202701010000"},
        {"weekly, today later", {2, 1, 1, 13, 0}, at(2026, 12, 7, 12, 0), "202612071300"},
        {"weekly, today passed: a week on", {2, 1, 1, 12, 0}, at(2026, 12, 7, 12, 0), "202612141200"},
        {"weekly, Sunday", {2, 0, 1, 8, 0}, at(2026, 12, 7, 12, 0), "202612130800"},
        {"weekly, over the year end", {2, 5, 1, 8, 0}, at(2026, 12, 30, 12, 0), "202701010800"},
        {"monthly on the 31st in a 30-day month", {3, 0, 31, 6, 0}, at(2026, 11, 2, 12, 0), "202611300600"},
        {"monthly on the 31st, then February", {3, 0, 31, 6, 0}, at(2027, 1, 31, 12, 0), "202702280600"},
        {"monthly, leap February", {3, 0, 30, 6, 0}, at(2028, 1, 31, 12, 0), "202802290600"},
        {"monthly, today later", {3, 0, 7, 23, 59}, at(2026, 12, 7, 12, 0), "202612072359"},
        {"monthly, December to January", {3, 0, 5, 6, 0}, at(2026, 12, 7, 12, 0), "202701050600"},
        {"none", {0, 0, 1, 6, 0}, at(2026, 12, 7, 12, 0), ""},
        {"unknown frequency", {7, 0, 1, 6, 0}, at(2026, 12, 7, 12, 0), ""},
    };
    for (const NextCase& c : cases) {
        EXPECT_EQ(backup::nextScheduledTime(c.schedule, c.now), c.expected) << c.name;
    }
}

TEST(BackupSchedule, DueOnlyLoggedOutWithFolderFrequencyAndTimeReached) {
    Settings s;
    s.folder = u"/data/";
    s.hindo = 1;
    s.yoteiBi = u"202612071200";
    const std::tm noon = at(2026, 12, 7, 12, 0);
    EXPECT_TRUE(backup::isDue(s, false, noon));
    EXPECT_FALSE(backup::isDue(s, true, noon));
    EXPECT_FALSE(backup::isDue(s, false, at(2026, 12, 7, 11, 59)));
    s.yoteiBi = u"";
    EXPECT_TRUE(backup::isDue(s, false, noon)) << "an empty YOTEIBI with a frequency is due at once";
    s.hindo = 0;
    EXPECT_FALSE(backup::isDue(s, false, noon));
    s.hindo = 1;
    s.folder = u"";
    EXPECT_FALSE(backup::isDue(s, false, noon));
}

TEST(BackupSchedule, MonthFolderNamesCrossTheYear) {
    using Names = std::array<std::string, 3>;
    EXPECT_EQ(backup::monthFolderNames(at(2027, 1, 15, 0, 0)),
              (Names{"BU_202611", "BU_202612", "BU_202701"}));
    EXPECT_EQ(backup::monthFolderNames(at(2027, 2, 1, 0, 0)), (Names{"BU_202612", "BU_202701", "BU_202702"}));
    EXPECT_EQ(backup::monthFolderNames(at(2026, 12, 7, 0, 0)),
              (Names{"BU_202610", "BU_202611", "BU_202612"}));
}

TEST(BackupSchedule, MonthRangeFollowsTheRecords) {
    TempFolder root;
    const std::tm now = at(2026, 12, 7, 12, 0);
    auto complete = [&](const char* folder, bool done) {
        ASSERT_TRUE(backup::writeRecord(root.file(folder), done, now));
    };
    auto target = [&](const char* lastRun) {
        return backup::monthRange(root.path(), lastRun, now).targetMonth;
    };

    EXPECT_EQ(target(""), "202610") << "no record at all: two months back";
    complete("BU_202612", true);
    EXPECT_EQ(target("202612050300"), "202612") << "this month complete, last run this month";
    EXPECT_EQ(target("202611050300"), "202610") << "last run last month: last month's record decides";
    complete("BU_202611", true);
    EXPECT_EQ(target("202611050300"), "202611");
    complete("BU_202612", false);
    EXPECT_EQ(target("202612050300"), "202611") << "this month incomplete: from last month";
    complete("BU_202611", false);
    EXPECT_EQ(target("202612050300"), "202610");
}

TEST(BackupSchedule, RecordIsReadableIniWithBothFlags) {
    TempFolder root;
    const std::string folder = root.file("BU_202612");
    ASSERT_TRUE(backup::writeRecord(folder, true, at(2026, 12, 7, 9, 5)));
    ProfileFile file = ProfileFile::load(paths::join(folder, "backup_info.ini"));
    EXPECT_EQ(file.readString(u"BACKUPINF", u"KANRYOUBI", u""), u"2026/12/07 09:05");
    EXPECT_EQ(file.readString(u"BACKUPINF", u"YFLAG", u""), u"完了");
    EXPECT_EQ(file.readString(u"BACKUPINF", u"SFLAG", u""), u"完了");
    EXPECT_TRUE(backup::readRecordComplete(folder));
    ASSERT_TRUE(backup::writeRecord(folder, false, at(2026, 12, 7, 9, 6)));
    EXPECT_FALSE(backup::readRecordComplete(folder));
}

}  // namespace
}  // namespace voxmg::test
