#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <string_view>

#include "support/message_files.h"
#include "support/temp_folder.h"

// The store tests' folder fixture and clock; message files come from support/message_files.h.
namespace voxmg::test {

// Local time as the clock would give it (weekday 0 = Sunday).
inline std::tm localTime(int year, int month, int day, int hour, int minute, int weekday) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_wday = weekday;
    return t;
}

// A fresh folder per test, removed afterwards.
class TempFolderTest : public ::testing::Test {
protected:
    explicit TempFolderTest(TempFolder::Storage storage = TempFolder::Storage::Disk) : m_folder(storage) {}

    std::string path(std::string_view rel) const { return m_folder.file(rel); }
    std::string mkdir(std::string_view rel) const { return m_folder.folder(rel); }

    TempFolder m_folder;
};

}  // namespace voxmg::test
