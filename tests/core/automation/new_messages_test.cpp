#include <gtest/gtest.h>

#include <filesystem>

#include "core/automation/new_messages.h"
#include "support/message_files.h"
#include "support/temp_folder.h"

using namespace voxmg;
using namespace voxmg::test;

namespace {

struct ArrivalFixture {
    std::string add(std::string_view kind, std::string_view box, int n, std::u16string caller, int minute,
                    bool voice = true) {
        ListedMessage m;
        m.callerName = std::move(caller);
        m.date = u"2026/12/07 10:" + std::u16string(minute < 10 ? u"0" : u"") +
                 std::u16string(1, static_cast<char16_t>(u'0' + minute % 10));
        return writeBoxMessage(folder, kind, box, n, m, minute, voice);
    }
    TempFolder t;
    std::string folder = t.folder("本社");
    std::vector<std::u16string> titles{u"留守録BOX：0101,0102", u"内線BOX：0201"};
    always::ArrivalWatch watch;
};

}  // namespace

TEST(ArrivalWatch, CountsOnlyNewMessagesOfShownBoxes) {
    ArrivalFixture f;
    f.add("rusuroku", "0101", 1, u"既存", 1);
    f.add("rusuroku", "0103", 1, u"表示外", 1);
    f.watch.watch(f.folder, f.titles);

    f.add("rusuroku", "0101", 2, u"佐藤", 3);
    f.add("rusuroku", "0101", 3, u"山田", 5);
    f.add("rusuroku", "0101", 4, u"", 4, false);
    f.add("rusuroku", "0103", 2, u"表示外", 6);
    struct Case {
        const char* what;
        std::string remote;
        int count;
        std::u16string caller;
    };
    const Case cases[] = {
        {"three new, the newest by date", "/rusuroku/0101", 3, u"山田"},
        {"counted once", "/rusuroku/0101", 0, u""},
        {"a box no list shows", "/rusuroku/0103", 0, u""},
        {"a name that leaves its folder", "/rusuroku/../rusuroku/0101", 0, u""},
        {"shown box, nothing new", "/naisen/0201", 0, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const always::Arrival a = f.watch.arrived(f.folder, c.remote, f.titles);
        EXPECT_EQ(a.count, c.count);
        EXPECT_EQ(a.caller, c.caller);
    }
}

TEST(ArrivalWatch, VoiceOfAKnownMessageIsNotNewAndUnseenBoxesStartAsTheyAre) {
    ArrivalFixture f;
    f.add("rusuroku", "0101", 1, u"佐藤", 1, false);
    f.add("naisen", "0201", 1, u"内線", 1);
    f.watch.watch(f.folder, {f.titles[0]});
    // The voice of a message whose recording info was here already.
    f.add("rusuroku", "0101", 1, u"佐藤", 1, true);
    EXPECT_EQ(f.watch.arrived(f.folder, "/rusuroku/0101", f.titles).count, 0);
    // A box whose list opened later: what it held then is not new, what came after is.
    f.watch.watch(f.folder, f.titles);
    f.add("naisen", "0201", 2, u"鈴木", 2);
    const always::Arrival a = f.watch.arrived(f.folder, "/naisen/0201", f.titles);
    EXPECT_EQ(a.count, 1);
    EXPECT_EQ(a.caller, u"鈴木");
    EXPECT_EQ(a.box, u"0201");
    // What the user brought in while the lists were looked at again is not new either.
    f.add("naisen", "0201", 3, u"手動", 3);
    f.watch.watch(f.folder, f.titles);
    EXPECT_EQ(f.watch.arrived(f.folder, "/naisen/0201", f.titles).count, 0);
}
