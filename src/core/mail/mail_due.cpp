#include "core/mail/mail_due.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <unordered_set>

#include "core/base/paths.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/settings/settings.h"

namespace voxmg::mail {
namespace {

constexpr std::string_view kVoiceExt = ".vmdat";

bool isMessageName(std::string_view name) {
    return name.size() > kVoiceExt.size() && name.front() != '.' && name.ends_with(kVoiceExt);
}

bool exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

// The boxes of one box folder that get mail.
using BoxesByFolder = std::map<std::string, std::vector<std::string>>;

BoxesByFolder mailedBoxes(const MailSettings& settings) {
    BoxesByFolder out;
    for (const auto& [box, list] : settings.recipients) {
        if (list.find_first_not_of(" \t,") != std::string::npos && box.find("..") == std::string::npos) {
            out[boxFolderOf(box)].push_back(box);
        }
    }
    return out;
}

// What one look at a box folder met.
struct FolderLook {
    std::unordered_map<std::string, MailLedger::Entry> known;
    std::unordered_set<std::string> seen;  // met here and not known
    std::vector<MailJob> fresh;
    std::vector<MailJob> old;
    std::vector<MailJob> moved;  // waiting, found somewhere else than the ledger says
    std::vector<std::string> waitingIds;
};

void readBox(FolderLook& look, const std::string& folder, const std::string& box, std::time_t from) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    std::string name;
    while (const dirent* e = ::readdir(dir)) {
        name = e->d_name;
        if (!isMessageName(name) || (e->d_type != DT_REG && e->d_type != DT_UNKNOWN)) {
            continue;
        }
        if (const auto it = look.known.find(name); it != look.known.end()) {
            MailLedger::Entry& entry = it->second;
            if (entry.seen) {
                continue;  // a copy in a second box is the same message
            }
            entry.seen = true;
            if (entry.state == JobState::Waiting) {
                look.waitingIds.push_back(ledgerId(entry.row));
                if (std::string path = paths::join(folder, name); entry.path != path) {
                    MailJob m;
                    m.id = ledgerId(entry.row);
                    m.messagePath = std::move(path);
                    m.box = box;
                    look.moved.push_back(std::move(m));
                }
            }
            continue;
        }
        if (!look.seen.emplace(name).second) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        MailJob m;
        m.boxFolder = boxFolderOf(box);
        m.fileName = name;
        m.box = box;
        m.queued = st.st_mtime;
        if (st.st_mtime >= from) {
            m.messagePath = paths::join(folder, name);
            look.fresh.push_back(std::move(m));
        } else {
            look.old.push_back(std::move(m));
        }
    }
    ::closedir(dir);
}

// Notes what the look found: old messages, new due ones, moved waiting ones; a waiting
// message that is nowhere any more (deleted, moved out of the mailed boxes) is forgotten, so
// that the same message stored again later is due again.
void record(MailLedger& ledger, FolderLook& look, std::time_t now, DueScan& scan) {
    scan.unsaved |= !ledger.addOld(look.old);
    for (MailJob& m : look.fresh) {
        m.state = JobState::Waiting;
        m.nextAttempt = now;
    }
    if (!ledger.addDue(look.fresh)) {
        scan.unrecorded += static_cast<int>(look.fresh.size());
        scan.unsaved = true;
    } else {
        scan.found += static_cast<int>(look.fresh.size());
        for (const MailJob& m : look.fresh) {
            look.waitingIds.push_back(m.id);
        }
    }
    for (const MailJob& m : look.moved) {
        auto row = ledger.find(m.id);
        if (row) {
            row->messagePath = m.messagePath;
            row->box = m.box;
            scan.unsaved |= !ledger.save(*row);
        }
    }
    for (const auto& [name, entry] : look.known) {
        if (entry.state == JobState::Waiting && !entry.seen && !exists(entry.path)) {
            scan.unsaved |= !ledger.remove(ledgerId(entry.row));
        }
    }
}

}  // namespace

DueScan scanDue(MailLedger& ledger, const MailSettings& settings, const std::vector<std::string>& roots,
                std::time_t begins, std::time_t now) {
    DueScan scan;
    if (!ledger.ready()) {
        return scan;
    }
    for (const auto& [boxFolder, boxes] : mailedBoxes(settings)) {
        FolderLook look;
        look.known = ledger.entriesOf(boxFolder);
        for (const std::string& box : boxes) {
            // Without the ledger the box's time is not kept: its mail begins now at the earliest,
            // so nothing old is taken for new.
            const std::time_t from = ledger.dueFrom(box, begins).value_or(std::max(begins, now));
            for (const std::string& root : roots) {
                readBox(look, paths::join(root, box), box, from);
            }
        }
        record(ledger, look, now, scan);
        for (const std::string& id : look.waitingIds) {
            if (auto job = ledger.find(id)) {
                scan.waiting.push_back(std::move(*job));
            }
        }
    }
    std::sort(scan.waiting.begin(), scan.waiting.end(), [](const MailJob& a, const MailJob& b) {
        return a.queued != b.queued ? a.queued < b.queued : a.id < b.id;
    });
    return scan;
}

std::vector<std::string> mailRoots(const std::string& settingsFolder) {
    std::vector<std::string> roots = notedDataFolders(Outbox::folderIn(settingsFolder));
    const ProfileFile ini = ProfileFile::load(paths::join(settingsFolder, "VOXMG.ini"));
    std::string own =
        ini.loadError() == 0 ? text::utf8FromUtf16(loadSettings(ini).folder.str()) : std::string();
    while (own.size() > 1 && own.back() == '/') {
        own.pop_back();
    }
    if (!own.empty() && std::find(roots.begin(), roots.end(), own) == roots.end()) {
        roots.push_back(own);
    }
    return roots;
}

std::time_t mailBegins(const std::string& settingsFolder, const MailLedger& ledger, std::time_t now) {
    struct stat st {};
    const std::time_t saved = ::stat(mailSettingsPath(settingsFolder).c_str(), &st) == 0 ? st.st_mtime : now;
    return std::min(now, std::max(saved, ledger.created()));
}

}  // namespace voxmg::mail
