// A list keeps of each message only the texts of its fields. Whatever a record holds, the
// columns, the filter and the sort of a list must read the same as from the whole record.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <numeric>

#include "core/base/text.h"
#include "core/lists/list_columns.h"
#include "core/lists/list_filter.h"
#include "core/lists/list_rows.h"
#include "core/lists/list_sort.h"
#include "core/store/file_mng.h"
#include "support/message_files.h"

using namespace voxmg;
using namespace voxmg::test;
using list_columns::Column;

namespace {

struct FieldCase {
    const char* name;
    RecordValues values;
    bool voice = true;
};

std::u16string repeat(std::u16string_view unit, std::size_t times) {
    std::u16string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += unit;
    }
    return out;
}

const FieldCase kCases[] = {
    {"Plain",
     {.state = 2,
      .callerNumber = u"0312345678",
      .callerName = u"山田 太郎",
      .date = u"2026/12/06 13:05",
      .length = u"00:00:05"}},
    {"EveryByteSet",
     {.flags = 1,
      .played = 1,
      .state = 3,
      .protect = 1,
      .boxNumber = u"9999",
      .boxName = u"old",
      .callerNumber = u"+81-3",
      .callerName = u"Tanaka, \"Q\"",
      .date = u"2025/01/31 23:59",
      .length = u"01:02:03",
      .title = u"Title",
      .memo = u"line\nbreak",
      .path = u"/elsewhere/x"}},
    // Fields written to their last unit, with no NUL: shown whole, given back whole.
    {"FullFieldsNoNul",
     {.callerNumber = repeat(u"9", 33),
      .callerName = repeat(u"あ", 33),
      .date = repeat(u"2", 20),
      .length = u"99:99:99:",
      .title = repeat(u"T", 41),
      .memo = repeat(u"メ", 81)}},
    {"SurrogatesAndOddUnits",
     {.callerName = u"𠮷野家", .length = u"00:00:01", .title = u"\u0001\uFFFF", .memo = u"a𠮷b"}},
    {"InfoOnly", {.state = 0, .callerName = u"Aa", .length = u"00:00:09"}, false},
};

class ListRowFieldsTest : public ::testing::TestWithParam<FieldCase> {
protected:
    // The record as the list showed it when it kept whole records: the file's own, with the
    // path, the box number from the file name and the box name from the folder.
    FILESTS_INFO expected(const std::string& path) const {
        const Bytes bytes = readBytes(path);
        FILESTS_INFO r = *decodeRecord(std::span(bytes).first(kRecordSize));
        FILESTS_INFO::setText(r.path, text::utf16FromUtf8(path));
        FILESTS_INFO::setText(r.boxNumber, u"0101");
        FILESTS_INFO::setText(r.boxName, u"営業");
        return r;
    }

    std::atomic<int> m_cancel{0};
    ListRows m_rows{m_cancel};
    TempFolder m_root;
    std::string m_folder = m_root.file("本社");
};

constexpr Column kColumns[] = {
    Column::Flag,       Column::Played,        Column::State,   Column::Protect,
    Column::BoxNumber,  Column::Date,          Column::Length,  Column::CallerNumber,
    Column::CallerName, Column::FileName,      Column::BoxName, Column::Title,
    Column::Memo,       Column::MessageNumber, Column::Upload,  Column::ResponseName};

}  // namespace

TEST_P(ListRowFieldsTest, ColumnsFilterAndRecordReadAsTheWholeRecord) {
    const FieldCase& c = GetParam();
    const std::string box = m_folder + "/rusuroku/0101";
    std::filesystem::create_directories(box);
    CFileMng(m_cancel).writeBoxName(box, u"営業");
    const std::string path = box + "/" + boxMessageName("0101", 1, 0, c.voice);
    writeFile(path, boxMessage(c.values, {.length = 50}));
    ASSERT_EQ(m_rows.buildBoxList(m_folder, list_boxes::parse(u"留守録BOX：0101"), {}), 1);

    const FILESTS_INFO whole = expected(path);
    EXPECT_EQ(m_rows.record(0), whole);
    const std::u16string root = text::utf16FromUtf8(m_root.path());
    for (Column column : kColumns) {
        EXPECT_EQ(list_columns::cellText(m_rows.view(0), column, root),
                  list_columns::cellText(whole, column, root))
            << static_cast<int>(column);
    }
    EXPECT_EQ(list_columns::hasVoice(m_rows.view(0)), c.voice);
    EXPECT_EQ(list_columns::isInfoOnly(m_rows.view(0)), !c.voice);
    EXPECT_EQ(m_rows.hasInfoOnly(), !c.voice);

    const list_filter::ListFilter filters[] = {
        {.flag = list_filter::Choice::Yes},
        {.state = list_filter::StateCriterion::InfoOnly},
        {.protect = list_filter::Choice::No,
         .dateOn = true,
         .dateFrom = u"2026/01/01",
         .dateTo = u"2026/12/31"},
        {.titleOn = true, .title = u"%"},
        {.boxNameOn = true, .boxName = u"営%"},
        {.callerNumberOn = true, .callerNumber = u"03"},
        {.callerNameOn = true, .callerName = u"%田"},
        {.memoOn = true, .memo = u"%b"},
    };
    for (const auto& f : filters) {
        for (bool response : {false, true}) {
            EXPECT_EQ(list_filter::passes(f, m_rows.view(0), response),
                      list_filter::passes(f, whole, response));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Records, ListRowFieldsTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// All the cases in one box: each column sorts them in the order of the whole records' texts.
TEST(ListRowSortTest, EveryColumnSortsAsTheWholeRecords) {
    std::atomic<int> cancel{0};
    ListRows rows(cancel);
    TempFolder root;
    const std::string folder = root.file("本社");
    const std::string box = folder + "/naisen/0201";
    std::filesystem::create_directories(box);
    int n = 0;
    for (const auto& c : kCases) {
        ++n;
        writeFile(box + "/" + boxMessageName("0201", n, n, c.voice), boxMessage(c.values));
    }
    ASSERT_EQ(rows.buildBoxList(folder, list_boxes::parse(u"内線BOX：0201"), {}), n);
    std::vector<FILESTS_INFO> whole;
    for (int i = 0; i < rows.recordCount(); ++i) {
        whole.push_back(rows.record(i));
    }
    for (Column column : kColumns) {
        for (bool ascending : {true, false}) {
            std::vector<int> byRow = rows.shown();
            std::vector<int> byRecord = rows.shown();
            list_sort::sortRows(byRow, column, ascending, [&](int r, Column col) {
                return list_columns::cellText(rows.view(r), col, u"");
            });
            list_sort::sortRows(byRecord, column, ascending, [&](int r, Column col) {
                return list_columns::cellText(whole[static_cast<std::size_t>(r)], col, u"");
            });
            EXPECT_EQ(byRow, byRecord) << static_cast<int>(column);
        }
    }
}
