#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "core/base/text.h"
#include "core/exchange/csv_export.h"
#include "core/lists/list_boxes.h"
#include "core/lists/list_rows.h"
#include "support/message_files.h"

using namespace voxmg;
using namespace voxmg::test;
using csv_export::ExportResult;

namespace {

class CsvExport : public ::testing::Test {
protected:
    // The box list of box 0101 holding `messages`, exported with the given columns into
    // out/<name>; returns the outcome, the file is in `written`.
    csv_export::ExportOutcome exportBox(const std::vector<ListedMessage>& messages,
                                        const std::vector<std::u16string>& columns,
                                        const std::string& name = "list.csv",
                                        std::function<bool()> cancel = {}) {
        for (std::size_t i = 0; i < messages.size(); ++i) {
            writeBoxMessage(m_root.file("本社"), "rusuroku", "0101", static_cast<int>(i) + 1, messages[i]);
        }
        m_rows.buildBoxList(m_root.file("本社"), list_boxes::parse(u"留守録BOX：0101"), {});
        return run(list_columns::boxListColumns(columns), name, std::move(cancel));
    }
    csv_export::ExportOutcome run(std::vector<list_columns::ColumnInfo> columns, const std::string& name,
                                  std::function<bool()> cancel = {}) {
        csv_export::ExportRequest request{.folder = m_root.folder("out"),
                                          .fileName = name,
                                          .columns = std::move(columns),
                                          .rows = &m_rows,
                                          .dataRoot = text::utf16FromUtf8(m_root.path()),
                                          .cancelRequested = std::move(cancel)};
        const auto outcome = csv_export::run(request, {}, nullptr);
        m_written = readFile(m_root.file("out/" + name));
        return outcome;
    }
    std::string utf8() const { return text::utf8FromCp932(m_written); }

    TempFolder m_root;
    std::atomic<int> m_cancel{0};
    ListRows m_rows{m_cancel};
    std::string m_written;
};

}  // namespace

TEST_F(CsvExport, OneRowGivesTheHeaderAndThatRow) {
    const auto out = exportBox({{.state = 2, .callerNumber = u"0312345678", .callerName = u"山田"}},
                               {u"取込", u"ﾌﾗｸﾞ", u"相手名称", u"相手番号", u"ファイル名"});
    EXPECT_EQ(out.result, ExportResult::Done);
    EXPECT_EQ(out.rowsWritten, 1);
    // CP932, LF only, no byte-order mark; flag 0 is an empty cell; the file name is relative.
    EXPECT_EQ(utf8(),
              "取込,ﾌﾗｸﾞ,相手名称,相手番号,ファイル名\n"
              "情報+音声(未再生),,山田,0312345678,本社/rusuroku/0101/202612061300_SUN_0101_00001.vmdat\n");
    EXPECT_EQ(m_written.substr(0, 5), "\x8e\xe6\x8d\x9e,");  // 取込 in CP932
}

TEST_F(CsvExport, CellsAsTheFileHoldsThem) {
    exportBox({{.flags = 1, .state = 0, .callerName = u"山田😀"},
               {.state = 1, .callerName = u"山田,太郎"},
               {.state = 3, .callerName = u"\"社長\""}},
              {u"相手名称", u"ﾌﾗｸﾞ", u"取込"});
    // Rows in the order the box folder is read (last message first; nothing sorts here);
    // unmappable characters become "?"; a cell holding "," or a quote is quoted so the columns
    // stay in place.
    EXPECT_EQ(utf8(),
              "相手名称,ﾌﾗｸﾞ,取込\n"
              "\"\"\"社長\"\"\",,主装置ﾃﾞｰﾀ消去済\n"
              "\"山田,太郎\",,情報+音声(再生済)\n"
              "山田?,ﾌﾗｸﾞ,情報のみ\n");
}

TEST_F(CsvExport, NameTestAndRefusals) {
    struct Case {
        std::string name;
        ExportResult result;
    };
    const Case cases[] = {{"a.csv", ExportResult::Done},
                          {"a.csv.txt", ExportResult::Done},
                          {"a.CSV", ExportResult::NotCsvName},
                          {"a.txt", ExportResult::NotCsvName}};
    exportBox({{}}, {u"日時"});
    for (const auto& c : cases) {
        EXPECT_EQ(run(list_columns::boxListColumns({u"日時"}), c.name).result, c.result) << c.name;
        EXPECT_EQ(m_written.empty(), c.result != ExportResult::Done) << c.name;
    }
    csv_export::ExportRequest missing{.folder = m_root.file("nowhere"), .fileName = "a.csv", .rows = &m_rows};
    missing.columns = list_columns::boxListColumns({u"日時"});
    EXPECT_EQ(csv_export::run(missing, {}, nullptr).result, ExportResult::FolderMissing);
    missing.folder = m_root.path();
    missing.rows = nullptr;
    EXPECT_EQ(csv_export::run(missing, {}, nullptr).result, ExportResult::NoRows);
}

TEST_F(CsvExport, CancelKeepsTheLinesWrittenAndAFailureTheOldFile) {
    writeFile(m_root.file("out/list.csv"), std::string_view("old\n"));
    int asked = 0;
    const auto out = exportBox({{}, {}, {}}, {u"録音時間"}, "list.csv", [&asked] { return ++asked == 2; });
    EXPECT_EQ(out.result, ExportResult::Cancelled);
    EXPECT_TRUE(out.success());
    EXPECT_EQ(utf8(), "録音時間\n00:00:05\n00:00:05\n");
    // A folder the export may not write into leaves nothing behind.
    if (::geteuid() != 0) {
        ::chmod(m_root.file("out").c_str(), 0555);
        EXPECT_EQ(run(list_columns::boxListColumns({u"録音時間"}), "list.csv").result,
                  ExportResult::CannotWrite);
        EXPECT_EQ(utf8(), "録音時間\n00:00:05\n00:00:05\n");
        ::chmod(m_root.file("out").c_str(), 0755);
    }
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_root.file("out")), {}), 1);
}

TEST_F(CsvExport, ResponseListRowsAsShown) {
    writeResponse(m_root.file("本社"), 2, {.flags = 1, .played = 1, .callerName = u"夜間"});
    m_rows.buildResponseList(m_root.file("本社"), {});
    m_rows.shown().resize(2);
    run(list_columns::responseListColumns(), "r.csv");
    EXPECT_EQ(utf8(),
              "ﾒｯｾｰｼﾞ番号,ﾌﾗｸﾞ,アップロード,録音時間,ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ名称,ファイル名\n"
              "001,,,--:--:--,,\n"
              "002,ﾌﾗｸﾞ,済み,00:00:05,夜間,本社/outou/202612061305_SUN_A002_0000.vmdat\n");
}
