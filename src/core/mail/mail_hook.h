#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

// What a download calls for each message it has just stored complete. The mail of a message
// does not hang on this call (the sender finds what is due in the box folders); it only wakes
// the sender and notes the download's data folder, so the sender looks there.
namespace voxmg::mail {

using StoredMessageHook = std::function<void(const std::string& voicePath)>;

// `stored` runs for each message of a box with recipients (the window wakes its sender). The
// mail settings are read at each call, so a change in the dialog counts from the next message.
StoredMessageHook outboxHook(std::string settingsFolder, std::function<void()> stored = {});

// Notes `dataFolder` as one the mail of `settingsFolder` covers, before a download stores
// anything there; nothing when no box gets mail. False when it is not covered and could not be
// noted (a full disk, a damaged ledger): the mail of what is stored there would be lost.
bool noteMailRoot(const std::string& settingsFolder, const std::string& dataFolder);

enum class FollowResult : int {
    Done = 0,
    SettingsNotSaved = 1,  // the recipients stay under the old name
    OutboxBusy = 2,        // unused: kept for the numbering
    JobNotSaved = 3,       // the ledger could not follow (a full disk, a damaged ledger)
};

// The box folder `oldPath` was renamed `newPath` (in the same parent): the recipients of its
// boxes and what the ledger holds for its messages follow it, or its messages would be taken
// for new ones. A sender writing the ledger is waited for up to `lockWait`.
FollowResult followBoxFolderRename(const std::string& settingsFolder, std::string_view oldPath,
                                   std::string_view newPath,
                                   std::chrono::milliseconds lockWait = std::chrono::seconds(2));

}  // namespace voxmg::mail
