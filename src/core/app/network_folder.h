#pragma once

#include <functional>
#include <optional>
#include <string>

namespace voxmg {

// The data root folder on a network file system. On Windows the program re-established the
// drive mapping at start-up; here the share is mounted by the system, so the start-up step
// checks that it is mounted and reachable and reports the same result codes and trace lines.
struct NetworkFolderProbe {
    std::function<bool(const std::string&)> isNetworkPath;
    // The mount source ("server:/export", "//server/share") of the mount holding the path.
    std::function<std::optional<std::string>(const std::string&)> remoteName;
    // The connection step for the path and its mount source; returns a result code.
    std::function<int(const std::string&, const std::string&)> connect;
};
NetworkFolderProbe systemNetworkFolderProbe();

struct NetworkFolderResult {
    bool networkCallMade = false;
    int code = 0;              // 0 connected, 85 already connected, else a failure code
    bool showFailure = false;  // an unlisted code: "再接続できませんでした。" is shown
};

// Runs the start-up step, writing its trace lines through voxmg::trace.
NetworkFolderResult connectNetworkFolder(const std::string& dataRoot, const NetworkFolderProbe& probe);

// The trace text of a connection result code ("その他エラー:%d" for an unlisted one).
std::string networkResultText(int code);
bool isListedNetworkResult(int code);

// Yes/No warnings (caption "ドライブの確認") for a folder or a file chosen on a network file
// system.
extern const char16_t* const kNetworkFolderWarning;
extern const char16_t* const kNetworkFileWarning;
extern const char16_t* const kNetworkWarningCaption;

}  // namespace voxmg
