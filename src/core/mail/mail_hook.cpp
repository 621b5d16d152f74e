#include "core/mail/mail_hook.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <optional>

#include "core/base/paths.h"
#include "core/mail/mail_due.h"
#include "core/mail/mail_ledger.h"
#include "core/mail/mail_run.h"
#include "core/store/data_lock.h"

namespace voxmg::mail {

StoredMessageHook outboxHook(std::string settingsFolder, std::function<void()> stored) {
    return [folder = std::move(settingsFolder), stored = std::move(stored),
            noted = std::string()](const std::string& voicePath) mutable {
        const MailSettings settings = loadMailSettings(mailSettingsPath(folder));
        if (settings.recipients.count(boxKeyOf(voicePath)) == 0) {
            return;  // no mail for this box: not even the ledger is made
        }
        const std::string root = dataFolderOfMessage(voicePath);
        if (root != noted && noteMailRoot(folder, root)) {
            noted = root;
        }
        if (stored) {
            stored();
        }
    };
}

bool noteMailRoot(const std::string& settingsFolder, const std::string& dataFolder) {
    if (loadMailSettings(mailSettingsPath(settingsFolder)).recipients.empty()) {
        return true;
    }
    std::string root = dataFolder;
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    // The ledger is made before anything is stored, or the messages of this download would be
    // older than it. Where it cannot be made now (a full disk), the settings file's time counts.
    const MailLedger made(settingsFolder);
    const auto roots = mailRoots(settingsFolder);
    // Known already: nothing to write, so a full disk under the settings folder stops nothing.
    return std::find(roots.begin(), roots.end(), root) != roots.end() ||
           Outbox(Outbox::folderIn(settingsFolder)).noteDataFolder(root);
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
    const std::string oldName(paths::fileName(oldPath));
    const std::string newName(paths::fileName(newPath));
    if (oldName.empty() || newName.empty() || oldPath == newPath) {
        return FollowResult::Done;
    }
    const FollowResult settings = moveRecipients(settingsFolder, oldName + "/", newName + "/")
                                      ? FollowResult::Done
                                      : FollowResult::SettingsNotSaved;
    MailLedger ledger(settingsFolder, false, lockWait);
    if (ledger.status() == MailLedger::Status::Missing) {
        return settings;
    }
    const bool followed = ledger.renameBoxFolder(oldName, newName, oldPath, newPath);
    return settings != FollowResult::Done ? settings
           : followed                     ? FollowResult::Done
                                          : FollowResult::JobNotSaved;
}

}  // namespace voxmg::mail
