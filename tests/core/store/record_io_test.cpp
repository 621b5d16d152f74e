#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "core/base/text.h"
#include "core/store/file_mng.h"
#include "store_fixtures.h"

using namespace voxmg;
using namespace voxmg::test;

namespace {

class RecordIo : public TempFolderTest {
protected:
    std::atomic<int> m_cancel{0};
    CFileMng m_mng{m_cancel};

    // A file as it arrives from the main unit: header, then frames.
    std::string retrieved(std::string_view name, const HeaderValues& h, std::size_t frames = 30) {
        std::string p = path(name);
        writeFile(p, concat({headerBytes(h), Bytes(frames, 0x33)}));
        return p;
    }
    FILESTS_INFO recordOf(const std::string& p) {
        auto bytes = readBytes(p);
        return *decodeRecord(bytes);
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(m_folder.path()), {}));
    }
};

constexpr const char* kVoice = "202612061305_SUN_0101_00001.vmdat";
constexpr const char* kInfo = "202612061305_SUN_0101_00001.vminf";

}  // namespace

TEST_F(RecordIo, BoxMessageRecordFromHeader) {
    std::string p =
        retrieved(kVoice, {.date = dateBytes("Sun", "06", "Dec", "2026", "13:05"),
                           .name = "\x8E\x52\x93\x63\x80\xF0\x91\xBE\x98\x59",  // 山田<unit space>太郎
                           .number = "0312345678",
                           .status = 0x02,
                           .length = 36000,
                           .boxNumber = "0101"});
    Bytes before = readBytes(p);
    ASSERT_EQ(m_mng.buildBoxMessageRecord(p), FileOp::Done);
    Bytes after = readBytes(p);
    ASSERT_EQ(after.size(), before.size() + 990);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin() + 990));
    FILESTS_INFO r = recordOf(p);
    EXPECT_EQ(r.dateText(), u"2026/12/06 13:05");
    EXPECT_EQ(r.lengthText(), u"01:00:00");
    EXPECT_EQ(r.callerNameText(), u"山田　太郎");
    EXPECT_EQ(r.callerNumberText(), u"0312345678");
    EXPECT_EQ(r.boxNumberText(), u"0101");
    EXPECT_EQ(r.state, 2);  // not played on the main unit
    EXPECT_EQ(r.protect, 1);
    EXPECT_EQ(r.flags, 0);
    EXPECT_EQ(r.titleText(), u"");
}

TEST_F(RecordIo, DownloadStateFollowsKindAndPlayedBit) {
    std::string played = retrieved(kVoice, {.status = 0x01, .length = 599});
    std::string info = retrieved("202612061305_SUN_0102_00001.vminf", {.status = 0x01});
    ASSERT_EQ(m_mng.buildBoxMessageRecord(played), FileOp::Done);
    ASSERT_EQ(m_mng.buildBoxMessageRecord(info), FileOp::Done);
    EXPECT_EQ(recordOf(played).state, 1);
    EXPECT_EQ(recordOf(played).lengthText(), u"00:00:59");
    EXPECT_EQ(recordOf(info).state, 0);
}

TEST_F(RecordIo, VoiceAfterInfoKeepsWhatTheUserTyped) {
    writeFile(path(kInfo), concat({recordBytes({.flags = 1,
                                                .state = 0,
                                                .callerName = u"old",
                                                .length = u"00:00:07",
                                                .title = u"見積の件",
                                                .memo = u"折り返し"}),
                                   headerBytes({})}));
    std::string voice = retrieved(kVoice, {.name = "new", .status = 0x00, .length = 500});
    ASSERT_EQ(m_mng.buildBoxMessageRecord(voice), FileOp::Done);
    FILESTS_INFO r = recordOf(voice);
    EXPECT_EQ(r.titleText(), u"見積の件");
    EXPECT_EQ(r.memoText(), u"折り返し");
    EXPECT_EQ(r.callerNameText(), u"old");
    EXPECT_EQ(r.lengthText(), u"00:00:07");
    EXPECT_EQ(r.flags, 1);
    EXPECT_EQ(r.state, 2);
}

TEST_F(RecordIo, UnparsableDateLeavesTheFieldEmpty) {
    std::string p = retrieved(kVoice, {.date = dateBytes("Sun", "32", "Dec", "2026", "13:05")});
    ASSERT_EQ(m_mng.buildBoxMessageRecord(p), FileOp::Done);
    EXPECT_EQ(recordOf(p).dateText(), u"");
}

TEST_F(RecordIo, ResponseRecordTakesNameAsIs) {
    std::string p = retrieved("202612061305_SUN_A007_0000.vmdat",
                              {.name = "\x80\xF0", .length = 123, .messageNumber = 7, .boxNumber = "007"});
    ASSERT_EQ(m_mng.buildResponseMessageRecord(p), FileOp::Done);
    FILESTS_INFO r = recordOf(p);
    EXPECT_EQ(r.boxNumberText(), u"007");
    EXPECT_EQ(r.lengthText(), u"00:00:12");
    EXPECT_NE(r.callerNameText(), u"　");  // no byte-pair replacement for response names
    EXPECT_EQ(r.dateText(), u"");
    EXPECT_EQ(r.state, 0);
}

TEST_F(RecordIo, RetrievedFileShorterThanAHeaderIsLeftAlone) {
    for (std::size_t n : {0u, 1u, 255u}) {
        std::string p = path(kVoice);
        writeFile(p, Bytes(n, 'Z'));
        EXPECT_EQ(m_mng.buildBoxMessageRecord(p), FileOp::NotDone) << n;
        EXPECT_EQ(readBytes(p).size(), n);
    }
}

TEST_F(RecordIo, PrependLeavesNoTemporaryFiles) {
    std::string p = retrieved(kVoice, {});
    FILESTS_INFO r;
    FILESTS_INFO::setText(r.title, u"t");
    EXPECT_EQ(m_mng.prependRecord(p, r), FileOp::Done);
    EXPECT_EQ(entries(), 1u);
    EXPECT_EQ(m_mng.prependRecord(path("missing.vmdat"), r), FileOp::NotDone);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(RecordIo, ReadRecordNeverReadsPastTheEnd) {
    Bytes full = boxMessage({.length = u"00:00:01", .title = u"T"});
    FILESTS_INFO sentinel;
    FILESTS_INFO::setText(sentinel.memo, u"unchanged");
    for (std::size_t n = 0; n <= kFramesOffset; ++n) {
        writeFile(path(kVoice), Bytes(full.begin(), full.begin() + static_cast<long>(n)));
        FILESTS_INFO dest = sentinel;
        EXPECT_EQ(m_mng.readRecord(path(kVoice), dest), n >= kRecordSize);
        EXPECT_EQ(dest.memoText(), n < kRecordSize ? u"unchanged" : u"") << n;
    }
    FILESTS_INFO dest = sentinel;
    m_mng.readRecord(path("missing"), dest);
    EXPECT_EQ(dest, sentinel);
}

TEST_F(RecordIo, WriteBackKeepsVoiceAndCutsBoxName) {
    writeFile(path("inf.ini"), "[INF]\r\nNAME=\"ABCDEFGHIJKL\"\r\nMAKE=0\r\n");
    Bytes original = boxMessage({.length = u"00:00:05"}, {}, 500);
    writeFile(path(kVoice), original);
    FILESTS_INFO r = recordOf(path(kVoice));
    r.state = 3;
    ASSERT_EQ(m_mng.writeBackRecord(r, path(kVoice)), FileOp::Done);
    EXPECT_EQ(r.boxNameText(), u"ABCDEFGHIJ");
    Bytes after = readBytes(path(kVoice));
    ASSERT_EQ(after.size(), original.size());
    EXPECT_TRUE(std::equal(original.begin() + 990, original.end(), after.begin() + 990));
    Bytes expected = recordBytes({.state = 3, .boxName = u"ABCDEFGHIJ", .length = u"00:00:05"});
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), after.begin()));
}

TEST_F(RecordIo, WriteBackRefusesWhatIsNoMessageFile) {
    FILESTS_INFO r;
    EXPECT_EQ(m_mng.writeBackRecord(r, path(kVoice)), FileOp::NotDone);
    EXPECT_FALSE(std::filesystem::exists(path(kVoice)));
    writeFile(path(kVoice), Bytes(kFramesOffset - 1, 7));
    EXPECT_EQ(m_mng.writeBackRecord(r, path(kVoice)), FileOp::NotDone);
    EXPECT_EQ(readBytes(path(kVoice)), Bytes(kFramesOffset - 1, 7));
}
