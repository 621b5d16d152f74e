#pragma once

#include <functional>
#include <string>

// What a download calls for each message it has just stored complete: the message goes into
// the mail outbox when its box has recipients. Cheap (one small job file), never fails the
// download: a message the outbox cannot take is only left unmailed.
namespace voxmg::mail {

using StoredMessageHook = std::function<void(const std::string& voicePath)>;

// Reads the mail settings of `settingsFolder` at each call, so a change in the dialog counts
// from the next message on. `queued` runs after a job was written (the window wakes its sender).
StoredMessageHook outboxHook(std::string settingsFolder, std::function<void()> queued = {});

}  // namespace voxmg::mail
