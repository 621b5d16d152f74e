#include "core/mail/mail_hook.h"

#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include "core/base/paths.h"
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

namespace {

std::string_view withoutTrailingSlash(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return path;
}

// `text` with `from` at its start replaced by `to`; nothing when it does not start so.
std::optional<std::string> renamedPrefix(std::string_view text, std::string_view from, std::string_view to) {
    if (!text.starts_with(from)) {
        return std::nullopt;
    }
    return std::string(to) + std::string(text.substr(from.size()));
}

bool moveRecipients(const std::string& settingsFolder, const std::string& from, const std::string& to) {
    const std::string path = mailSettingsPath(settingsFolder);
    MailSettings settings = loadMailSettings(path);
    std::map<std::string, std::string> moved;
    std::map<std::string, std::string> kept;
    for (auto& [box, list] : settings.recipients) {
        if (auto key = renamedPrefix(box, from, to)) {
            moved[*key] = std::move(list);
        } else {
            kept[box] = std::move(list);
        }
    }
    if (moved.empty()) {
        return true;
    }
    moved.merge(kept);  // a key both have keeps the renamed folder's recipients
    settings.recipients = std::move(moved);
    return saveMailSettings(settings, path);
}

}  // namespace

FollowResult followBoxFolderRename(const std::string& settingsFolder, std::string_view oldPath,
                                   std::string_view newPath, std::chrono::milliseconds lockWait) {
    oldPath = withoutTrailingSlash(oldPath);
    newPath = withoutTrailingSlash(newPath);
    const std::string oldBoxes = std::string(paths::fileName(oldPath)) + "/";
    const std::string newBoxes = std::string(paths::fileName(newPath)) + "/";
    if (oldBoxes == "/" || newBoxes == "/" || oldPath == newPath) {
        return FollowResult::Done;
    }
    const FollowResult settings = moveRecipients(settingsFolder, oldBoxes, newBoxes)
                                      ? FollowResult::Done
                                      : FollowResult::SettingsNotSaved;
    const Outbox outbox(Outbox::folderIn(settingsFolder));
    std::error_code ec;
    if (!std::filesystem::is_directory(outbox.folder(), ec)) {
        return settings;
    }
    const auto giveUp = std::chrono::steady_clock::now() + lockWait;
    std::optional<OutboxLock> lock(std::in_place, outbox.folder());
    while (!lock->held() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        lock.emplace(outbox.folder());
    }
    if (!lock->held()) {
        return settings == FollowResult::Done ? FollowResult::OutboxBusy : settings;
    }
    bool jobsSaved = true;
    for (MailJob job : outbox.jobs()) {
        auto path = renamedPrefix(job.messagePath, std::string(oldPath) + "/", std::string(newPath) + "/");
        if (path) {
            job.messagePath = std::move(*path);
            job.box = renamedPrefix(job.box, oldBoxes, newBoxes).value_or(job.box);
            jobsSaved = outbox.save(job) && jobsSaved;
        }
    }
    return settings != FollowResult::Done ? settings
           : jobsSaved                    ? FollowResult::Done
                                          : FollowResult::JobNotSaved;
}

}  // namespace voxmg::mail
