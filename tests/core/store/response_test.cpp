#include <gtest/gtest.h>

#include <atomic>

#include "core/base/text.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"
#include "store_fixtures.h"

using namespace voxmg;
using namespace voxmg::test;

namespace {

class ResponseFiles : public TempFolderTest {
protected:
    std::atomic<int> m_cancel{0};
    CFileMng m_mng{m_cancel};

    static std::tm mondayMorning() { return localTime(2027, 1, 4, 9, 5, 1); }
};

}  // namespace

TEST_F(ResponseFiles, ImportKeepsWholeTenthsOfASecond) {
    std::string p = mkdir("outou") + "/202701040905_MON_A012_0000.vmdat";
    Bytes frames(12345);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        frames[i] = static_cast<std::uint8_t>(i * 7);
    }
    writeFile(p, frames);
    ASSERT_EQ(m_mng.buildImportedResponse(p, 12, mondayMorning()), FileOp::Done);
    Bytes expected = concat({recordBytes({.boxNumber = u"012", .length = u"00:00:12"}),
                             headerBytes({.date = dateBytes("Mon", "04", "Jan", "2027", "09:05"),
                                          .length = 123,
                                          .messageNumber = 12,
                                          .boxNumber = "012"}),
                             Bytes(frames.begin(), frames.begin() + 12300)});
    EXPECT_EQ(readBytes(p), expected);

    std::vector<FILESTS_INFO> records;
    ASSERT_EQ(m_mng.loadBoxFolder(path("outou"), records), LoadResult::Loaded);
    ASSERT_EQ(records.size(), 1u);  // what the import writes is listed
}

TEST_F(ResponseFiles, HeaderUpdateWritesDateAndNameOnly) {
    std::string p = path("202612061305_SUN_A001_0000.vmdat");
    Bytes original = boxMessage({.length = u"00:00:01"},
                                {.date = dateBytes("Sun", "06", "Dec", "2026", "13:05"),
                                 .name = "OLD NAME",
                                 .messageNumber = 1,
                                 .boxNumber = "001"},
                                300);
    writeFile(p, original);
    FILESTS_INFO r;
    FILESTS_INFO::setText(r.callerName, u"営業時間外");
    ASSERT_EQ(m_mng.updateResponseHeader(r, p, mondayMorning()), FileOp::Done);
    Bytes expected = original;
    Bytes date = dateBytes("Mon", "04", "Jan", "2027", "09:05");
    std::copy(date.begin(), date.end(), expected.begin() + 990 + 32);
    const char name[] = "\x89\x63\x8B\xC6\x8E\x9E\x8A\xD4\x8A\x4F";  // 営業時間外
    std::fill(expected.begin() + 990 + 64, expected.begin() + 990 + 96, 0);
    std::copy(name, name + 10, expected.begin() + 990 + 64);
    EXPECT_EQ(readBytes(p), expected);
    EXPECT_EQ(m_mng.updateResponseHeader(r, path("missing.vmdat"), mondayMorning()), FileOp::NotDone);
}

TEST_F(ResponseFiles, ImportedNameIsUpperCase) {
    EXPECT_EQ(naming::responseMessageName(mondayMorning(), 7, ".wav"), "202701040905_MON_A007_0000.WAV");
}

struct FindCase {
    const char* local;  // empty: none
    int result;
    bool pathReturned;
};
class FindResponse : public ResponseFiles, public ::testing::WithParamInterface<FindCase> {};
TEST_P(FindResponse, ComparesTimeStamps) {
    std::string folder = mkdir("outou");
    writeFile(folder + "/202612061305_SUN_A002_0000.vmdat", boxMessage());  // another number
    if (*GetParam().local) {
        writeFile(folder + "/" + GetParam().local, boxMessage());
    }
    ResponseLookup found = m_mng.findResponseMessage(folder, "202612061305_SUN_A001_0000.vmdat");
    EXPECT_EQ(static_cast<int>(found.kind), GetParam().result);
    EXPECT_EQ(found.localPath, GetParam().pathReturned ? folder + "/" + GetParam().local : "");
}
INSTANTIATE_TEST_SUITE_P(Cases, FindResponse,
                         ::testing::Values(FindCase{"", 1, false},
                                           FindCase{"202612061305_SUN_A001_0000.vmdat", 0, true},
                                           FindCase{"202612071200_MON_A001_0000.vmdat", 0, true},
                                           FindCase{"202612061304_SUN_A001_0000.vmdat", 2, true},
                                           FindCase{"X_A001_0000.vmdat", 2, false}));

TEST_F(ResponseFiles, FindRefusesNamesThatLeaveTheFolder) {
    using Kind = ResponseLookup::Kind;
    EXPECT_EQ(m_mng.findResponseMessage(mkdir("outou"), "202612061305_SUN_A/../_0000.vmdat").kind,
              Kind::NotOlder);
    EXPECT_EQ(m_mng.findResponseMessage(path("outou"), "short.vmdat").kind, Kind::NotOlder);
}

TEST_F(ResponseFiles, ExtractFramesCopiesFromOffset1246) {
    Bytes file = boxMessage({.length = u"00:00:01"}, {}, 0);
    for (int i = 0; i < 40; ++i) {
        file.push_back(static_cast<std::uint8_t>(i));
    }
    writeFile(path("m.vmdat"), file);
    ASSERT_EQ(m_mng.extractFrames(path("m.vmdat"), path("m.tmp")), FileOp::Done);
    EXPECT_EQ(readBytes(path("m.tmp")), Bytes(file.begin() + 1246, file.end()));
    writeFile(path("short.vmdat"), Bytes(1245, 1));
    EXPECT_EQ(m_mng.extractFrames(path("short.vmdat"), path("short.tmp")), FileOp::NotDone);
    EXPECT_FALSE(std::filesystem::exists(path("short.tmp")));
}
