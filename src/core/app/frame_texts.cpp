#include "core/app/frame_texts.h"

#include <algorithm>

#include "core/base/text.h"

namespace voxmg::frame_texts {
namespace {

std::u16string replaced(std::u16string_view in, char16_t from, std::u16string_view to) {
    std::u16string out;
    out.reserve(in.size());
    for (char16_t c : in) {
        if (c == from) {
            out += to;
        } else {
            out += c;
        }
    }
    return out;
}

constexpr std::u16string_view kExtensionHead = u"内線BOX：";
constexpr std::size_t kMenuTitleWidth = 30;

}  // namespace

std::u16string folderField(std::u16string_view dataRoot, std::u16string_view boxFolderName) {
    std::u16string path(dataRoot);
    if (!path.empty() && path.back() != u'/') {
        path += u'/';
    }
    path += boxFolderName;
    std::u16string shown = u" " + replaced(path, u':', u"：");
    if (!shown.empty() && shown.back() == u'/') {
        shown.pop_back();
    }
    return shown;
}

std::u16string boxField(std::u16string_view listTitle) {
    std::u16string shown = u" " + replaced(replaced(listTitle, u':', u"："), u'?', u",");
    const auto at = shown.find(kExtensionHead);
    if (at != std::u16string::npos && at > 1) {
        shown.insert(at, u"\r\n ");
    }
    return shown;
}

std::u16string boxFolderNameFromField(std::u16string_view fieldText) {
    std::u16string path = replaced(fieldText, u'：', u":");
    path.erase(0, std::min(path.find_first_not_of(u' '), path.size()));
    const auto slash = path.rfind(u'/');
    std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    return std::u16string(text::cutToWidth(name, 259));
}

std::u16string count(long long value) {
    if (value >= 100000) {
        return u"+++++";
    }
    return text::utf16FromUtf8(std::to_string(value));
}

std::u16string boxListStatus(long long folderTotal, long long boxTotal, long long listTotal,
                             long long unplayed, long long played) {
    return u"件数: ﾌｫﾙﾀﾞﾄｰﾀﾙ " + count(folderTotal) + u"  ﾎﾞｯｸｽﾄｰﾀﾙ " + count(boxTotal) + u"  一覧表ﾄｰﾀﾙ " +
           count(listTotal) + u"  未再生 " + count(unplayed) + u"  再生済 " + count(played);
}

std::u16string responseListStatus(long long folderTotal, long long listTotal) {
    return u"件数: ﾌｫﾙﾀﾞﾄｰﾀﾙ " + count(folderTotal) + u"  ｼｽﾃﾑ応答ﾒｯｾｰｼﾞﾄｰﾀﾙ 300  一覧表ﾄｰﾀﾙ " +
           count(listTotal);
}

std::u16string boxListStatusTip() {
    return u"ﾌｫﾙﾀﾞﾄｰﾀﾙ: ボックスフォルダ全体のメッセージ数\n"
           u"ﾎﾞｯｸｽﾄｰﾀﾙ: この一覧表のボックスのメッセージ数\n"
           u"一覧表ﾄｰﾀﾙ: この一覧表に表示しているメッセージ数\n"
           u"未再生 / 再生済: 表示しているメッセージのうち、主装置側で未再生 / 再生済だったもの"
           u"（「取込」列）\n"
           u"ＰＣで再生したかどうかは「再生/未再生」列に表示します。";
}

std::u16string responseListStatusTip() {
    return u"ﾌｫﾙﾀﾞﾄｰﾀﾙ: ボックスフォルダ全体のメッセージ数\n"
           u"ｼｽﾃﾑ応答ﾒｯｾｰｼﾞﾄｰﾀﾙ: システム応答メッセージの番号の数\n"
           u"一覧表ﾄｰﾀﾙ: メッセージの入っている番号の数";
}

std::u16string windowMenuItem(std::u16string_view listTitle) {
    std::u16string shown = replaced(listTitle, u'?', u",");
    if (shown.size() > kMenuTitleWidth) {
        shown = std::u16string(text::cutToWidth(shown, kMenuTitleWidth)) + u"...";
    }
    return shown;
}

}  // namespace voxmg::frame_texts
