#include "core/mail/mail_hook.h"

#include <ctime>

#include "core/mail/mail_run.h"

namespace voxmg::mail {

StoredMessageHook outboxHook(std::string settingsFolder, std::function<void()> queued) {
    return [folder = std::move(settingsFolder), queued = std::move(queued)](const std::string& voicePath) {
        const MailSettings settings = loadMailSettings(mailSettingsPath(folder));
        if (settings.recipients.empty()) {
            return;  // no box gets mail: not even the outbox folder is made
        }
        const EnqueueOutcome done =
            enqueueMessage(Outbox(Outbox::folderIn(folder)), settings, voicePath, std::time(nullptr));
        if (done == EnqueueOutcome::Queued && queued) {
            queued();
        }
    };
}

}  // namespace voxmg::mail
