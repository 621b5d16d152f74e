#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

// What a download calls for each message it has just stored complete: the message goes into
// the mail outbox when its box has recipients. Cheap (one small job file), never fails the
// download: a message the outbox cannot take is only left unmailed.
namespace voxmg::mail {

using StoredMessageHook = std::function<void(const std::string& voicePath)>;

// Reads the mail settings of `settingsFolder` at each call, so a change in the dialog counts
// from the next message on. `queued` runs after a job was written (the window wakes its sender).
StoredMessageHook outboxHook(std::string settingsFolder, std::function<void()> queued = {});

enum class FollowResult : int {
    Done = 0,
    SettingsNotSaved = 1,  // the recipients stay under the old name
    OutboxBusy = 2,        // a sender held the outbox throughout: its waiting mails keep the old paths
    JobNotSaved = 3,       // a waiting mail could not be rewritten (a full disk)
};

// The box folder `oldPath` was renamed `newPath` (in the same parent): the recipients of its
// boxes and the mails waiting for its messages follow it, or they would be lost with the old
// name. A sender holding the outbox is waited for up to `lockWait`.
FollowResult followBoxFolderRename(const std::string& settingsFolder, std::string_view oldPath,
                                   std::string_view newPath,
                                   std::chrono::milliseconds lockWait = std::chrono::seconds(2));

}  // namespace voxmg::mail
