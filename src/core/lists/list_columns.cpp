#include "core/lists/list_columns.h"

#include <array>

namespace voxmg::list_columns {
namespace {

struct Known {
    std::u16string_view name;
    Column column;
    int width;
    Align align;
};

// Looked up in this order: no name here contains another one of the list.
constexpr std::array<Known, 13> kBoxColumns{{
    {u"ﾌﾗｸﾞ", Column::Flag, 70, Align::Center},
    {u"再生/未再生", Column::Played, 150, Align::Center},
    {u"取込", Column::State, 70, Align::Center},
    {u"保護/非保護", Column::Protect, 150, Align::Center},
    {u"BOX番号", Column::BoxNumber, 70, Align::Center},
    {u"日時", Column::Date, 60, Align::Center},
    {u"録音時間", Column::Length, 60, Align::Center},
    {u"相手番号", Column::CallerNumber, 60, Align::Left},
    {u"相手名称", Column::CallerName, 60, Align::Left},
    {u"ファイル名", Column::FileName, 60, Align::Left},
    {u"BOX名称", Column::BoxName, 60, Align::Left},
    {u"タイトル", Column::Title, 60, Align::Left},
    {u"メモ", Column::Memo, 60, Align::Left},
}};

constexpr std::size_t kMaxColumns = 13;

bool endsWith(std::u16string_view text, std::u16string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The path with the data folder cut off its front, then its leading blanks.
std::u16string fileNameText(const RowView& r, std::u16string_view dataRoot) {
    std::u16string path = r.path();
    std::u16string root(dataRoot);
    if (!root.empty() && !endsWith(root, u"/")) {
        root += u'/';
    }
    if (!root.empty() && path.starts_with(root)) {
        path.erase(0, root.size());
    }
    const auto first = path.find_first_not_of(u' ');
    return first == std::u16string::npos ? std::u16string() : path.substr(first);
}

}  // namespace

std::optional<Column> fromName(std::u16string_view name) {
    for (const auto& known : kBoxColumns) {
        if (name.find(known.name) != std::u16string_view::npos) {
            return known.column;
        }
    }
    return std::nullopt;
}

std::vector<ColumnInfo> boxListColumns(const std::vector<std::u16string>& names) {
    std::vector<ColumnInfo> out;
    for (std::size_t i = 0; i < names.size() && i < kMaxColumns && !names[i].empty(); ++i) {
        for (const auto& known : kBoxColumns) {
            if (names[i].find(known.name) != std::u16string::npos) {
                out.push_back({known.column, names[i], known.width, known.align});
                break;
            }
        }
    }
    return out;
}

std::vector<ColumnInfo> responseListColumns() {
    return {
        {Column::MessageNumber, u"ﾒｯｾｰｼﾞ番号", 70, Align::Center},
        {Column::Flag, u"ﾌﾗｸﾞ", 70, Align::Center},
        {Column::Upload, u"アップロード", 70, Align::Center},
        {Column::Length, u"録音時間", 70, Align::Center},
        {Column::ResponseName, u"ｼｽﾃﾑ応答ﾒｯｾｰｼﾞ名称", 70, Align::Left},
        {Column::FileName, u"ファイル名", 70, Align::Left},
    };
}

std::vector<std::u16string> defaultBoxColumnNames() {
    // The display setting's "リセット" list.
    return {u"ﾌﾗｸﾞ",     u"取込",     u"再生/未再生", u"保護/非保護", u"BOX番号",
            u"相手番号", u"相手名称", u"日時",        u"録音時間",    u"ファイル名"};
}

int shownStateCode(std::uint8_t state) {
    // The stored code counts up from "info only"; the column counts the other way round,
    // so that the codes of downloaded voice come first.
    switch (state) {
        case 0:
            return 2;
        case 1:
            return 1;
        case 2:
            return 0;
        default:
            return 3;
    }
}

std::u16string stateToolTip(std::uint8_t state) {
    static constexpr std::array<std::u16string_view, 4> kTips{
        u"録音情報+音声データ（主装置側で未再生)を取込(ダウンロード)済",
        u"録音情報+音声データ（主装置側で再生済)を取込(ダウンロード)済",
        u"録音情報のみを取込(ダウンロード)済",
        u"録音情報+音声データを取込(ダウンロード)後に主装置側のデータを消去済",
    };
    return std::u16string(kTips[static_cast<std::size_t>(shownStateCode(state))]);
}

std::u16string shownStateShortText(int shownCode) {
    static constexpr std::array<std::u16string_view, 4> kShort{u"情報+音声(未再生)", u"情報+音声(再生済)",
                                                               u"情報のみ", u"主装置ﾃﾞｰﾀ消去済"};
    return std::u16string(kShort[static_cast<std::size_t>(shownCode >= 0 && shownCode <= 2 ? shownCode : 3)]);
}

std::u16string stateShortText(std::uint8_t state) {
    return shownStateShortText(shownStateCode(state));
}

bool hasVoice(const FILESTS_INFO& record) {
    return hasVoice(RowView::of(record));
}

bool isInfoOnly(const FILESTS_INFO& record) {
    return isInfoOnly(RowView::of(record));
}

bool hasVoice(const RowView& row) {
    return row.pathHolds(u".vmdat");
}

bool isInfoOnly(const RowView& row) {
    return row.pathHolds(u".vminf");
}

std::u16string cellText(const FILESTS_INFO& record, Column column, std::u16string_view dataRoot,
                        bool emptySlot) {
    return cellText(RowView::of(record), column, dataRoot, emptySlot);
}

std::u16string cellText(const RowView& r, Column column, std::u16string_view dataRoot, bool emptySlot) {
    if (emptySlot) {
        switch (column) {
            case Column::MessageNumber:
                return std::u16string(r.boxNumber.substr(0, 3));
            case Column::Flag:
                return u" 0 ";
            case Column::Length:
                return u"--:--:--";
            default:
                return {};
        }
    }
    switch (column) {
        case Column::Flag:
            return (r.flags & FILESTS_INFO::kUserFlag) != 0 ? u" 1 " : u" 0 ";
        case Column::Played:
            return r.played != 0 ? u"再生済" : u"未再生";
        case Column::State:
            return stateCodeText(r.state);
        case Column::Protect:
            return r.protect != 0 ? u"保護" : u"非保護";
        case Column::Upload:
            return r.played != 0 ? u"済み" : u"";
        case Column::BoxNumber:
            return std::u16string(r.boxNumber);
        case Column::MessageNumber:
            return std::u16string(r.boxNumber.substr(0, 3));
        case Column::Date:
            return std::u16string(r.date);
        case Column::Length:
            return std::u16string(r.length);
        case Column::CallerNumber:
            return std::u16string(r.callerNumber);
        case Column::CallerName:
        case Column::ResponseName:
            return std::u16string(r.callerName);
        case Column::BoxName:
            return std::u16string(r.boxName);
        case Column::Title:
            return std::u16string(r.title);
        case Column::Memo:
            return std::u16string(r.memo);
        case Column::FileName:
            return fileNameText(r, dataRoot);
    }
    return {};
}

}  // namespace voxmg::list_columns
