#include "core/app/network_folder.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "core/base/paths.h"
#include "core/base/trace.h"

namespace voxmg {
namespace {

struct ResultText {
    int code;
    const char* text;
};

constexpr ResultText kResultTexts[] = {
    {0, "ネットワークドライブ接続成功"},
    {5, "ERROR_ACCESS_DENIED(ネットワーク資源へのアクセスが拒否されました。)"},
    {53, "ERROR_BAD_NETPATH(The network path was not found)"},
    {66, "ERROR_BAD_DEV_TYPE(ローカルデバイスの種類とネットワーク資源の種類が一致しません。)"},
    {67,
     "ERROR_BAD_NET_NAME(lpRemoteName "
     "で指定した値を、どのネットワーク資源のプロバイダも受け付けません。資源の名前が無効か、指定した資源が見"
     "つかりませ"
     "ん。)"},
    {85, "既にネットワーク資源に接続されています。"},
    {86, "ERROR_INVALID_PASSWORD(指定したパスワードが無効です。)"},
    {170, "ERROR_BUSY(ルーターまたはプロバイダがビジー)"},
    {1200, "ERROR_BAD_DEVICE(lpLocalName で指定した値が無効です。)"},
    {1202,
     "ERROR_DEVICE_ALREADY_REMEMBERED(lpLocalName "
     "で指定したデバイスのエントリは既にユーザープロファイル内に存在します。)"},
    {1203,
     "ERROR_NO_NET_OR_BAD_PATH("
     "ネットワークコンポーネントが開始されていないか、指定した名前が利用できないために、"
     "操作を行えませんでした。)"},
    {1204, "ERROR_BAD_PROVIDER(lpProvider で指定した値がどのプロバイダとも一致しません。)"},
    {1205,
     "ERROR_CANNOT_OPEN_PROFILE(恒久的な接続を処理するためのユーザープロファイルを開くことができません。)"},
    {1206, "ERROR_BAD_PROFILE(ユーザープロファイルの形式が正しくありません。)"},
    {1208, "ERROR_EXTENDED_ERROR(ネットワーク固有のエラーが発生しました。)"},
    {1222, "ERROR_NO_NETWORK(ネットワークに接続されていません。)"},
    {1223,
     "ERROR_CANCELLED("
     "ネットワーク資源のプロバイダのいずれかでユーザーがダイアログボックスを使って接続操作を取り消"
     "したか、接続先の資源が接続操作を取り消しました。)"},
};

constexpr int kBadNetPath = 53;
constexpr int kAlreadyConnected = 85;

// /proc/self/mounts writes blanks and backslashes in names as three-digit octal escapes.
std::string unescapeMountField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::optional<std::string> mountSourceOf(const std::string& path) {
    std::error_code ec;
    std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
    if (ec) {
        return std::nullopt;
    }
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    std::optional<std::string> best;
    std::size_t bestLength = 0;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string source, mountPoint;
        if (!(fields >> source >> mountPoint)) {
            continue;
        }
        mountPoint = unescapeMountField(mountPoint);
        const std::string t = target.string();
        const bool under = t == mountPoint || mountPoint == "/" ||
                           (t.compare(0, mountPoint.size(), mountPoint) == 0 &&
                            t.size() > mountPoint.size() && t[mountPoint.size()] == '/');
        if (under && mountPoint.size() >= bestLength) {
            best = unescapeMountField(source);
            bestLength = mountPoint.size();
        }
    }
    return best;
}

void traceFailure(int code) {
    trace("ネットワークドライブ接続失敗！！");
    trace(networkResultText(code));
}

}  // namespace

const char16_t* const kNetworkFolderWarning =
    u"指定のフォルダは、ネットワークドライブのフォルダですが、\nよろしいですか？\n\nネットワークドライブのフ"
    u"ォルダを指定"
    u"した場合は、ネットワーク\n環境によって、指定したフォルダが見られなくなる場合があります。\nローカルドラ"
    u"イブのフォルダ"
    u"指定を推奨します。";
const char16_t* const kNetworkFileWarning =
    u"指定のファイルは、ネットワークドライブのフォルダにありますが、\nよろしいですか？\n\nネットワークドライ"
    u"ブのフォル"
    u"ダを指定した場合は、ネットワーク\n環境によって、指定したファイルが見られなくなる場合があります。\nロー"
    u"カルドライブ"
    u"のフォルダ指定を推奨します。";
const char16_t* const kNetworkWarningCaption = u"ドライブの確認";

NetworkFolderProbe systemNetworkFolderProbe() {
    NetworkFolderProbe probe;
    probe.isNetworkPath = &paths::isNetworkPath;
    probe.remoteName = &mountSourceOf;
    // The share is mounted by the system; a mounted, reachable folder is an existing
    // connection, one that cannot be listed is a path not found.
    probe.connect = [](const std::string& path, const std::string& /*remote*/) {
        std::error_code ec;
        return std::filesystem::is_directory(path, ec) ? kAlreadyConnected : kBadNetPath;
    };
    return probe;
}

bool isListedNetworkResult(int code) {
    for (const auto& row : kResultTexts) {
        if (row.code == code) {
            return true;
        }
    }
    return false;
}

std::string networkResultText(int code) {
    for (const auto& row : kResultTexts) {
        if (row.code == code) {
            return row.text;
        }
    }
    return "その他エラー:" + std::to_string(code);
}

NetworkFolderResult connectNetworkFolder(const std::string& dataRoot, const NetworkFolderProbe& probe) {
    NetworkFolderResult result;
    if (!probe.isNetworkPath(dataRoot)) {
        trace("ローカルフォルダ設定(" + dataRoot + ")");
        return result;
    }
    trace("ネットワークフォルダ設定(" + dataRoot + ")");
    result.networkCallMade = true;
    // Without a mount source there is nothing to connect to; report the path as not found
    // rather than try a pointless connection.
    const auto remote = probe.remoteName(dataRoot);
    trace("ネットワークドライブ接続開始");
    if (!remote) {
        result.code = kBadNetPath;
    } else {
        result.code = probe.connect(dataRoot, *remote);
    }
    if (result.code == 0 || result.code == kAlreadyConnected) {
        trace(networkResultText(result.code));
        return result;
    }
    if (!isListedNetworkResult(result.code)) {
        result.showFailure = true;
    }
    traceFailure(result.code);
    return result;
}

}  // namespace voxmg
