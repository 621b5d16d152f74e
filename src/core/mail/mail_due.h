#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "core/mail/mail_ledger.h"
#include "core/mail/mail_settings.h"

// What is due is computed, not remembered: each box with recipients is read (its folder's
// names, as the lists read them) in every data folder the mail covers, and each message the
// ledger does not know is noted, as due when it was stored after its box's mail began and as
// old otherwise. A message whose download was killed before anything else happened, or stored
// while the ledger could not be written, is found by the next look.
namespace voxmg::mail {

struct DueScan {
    // The waiting messages found in the boxes, at their place now, oldest first; those just
    // found are among them.
    std::vector<MailJob> waiting;
    int found = 0;       // messages met for the first time, due
    int unrecorded = 0;  // due but the ledger could not take them: the next look finds them again
    bool unsaved = false;
};

// Reads the boxes with recipients of `settings` under each of `roots`. A box's mail begins at
// `begins` on its first look (see mailBegins), later at the time the ledger keeps for it.
DueScan scanDue(MailLedger& ledger, const MailSettings& settings, const std::vector<std::string>& roots,
                std::time_t begins, std::time_t now);

// The data folders the mail covers: those downloads noted (see Outbox::noteDataFolder) and the
// program's own (VOXMG.ini in `settingsFolder`). Reading writes nothing.
std::vector<std::string> mailRoots(const std::string& settingsFolder);

// When the mail of a box seen for the first time begins: when its recipients were saved (the
// settings file's time) or the ledger's cutoff (MailLedger::created), whichever is later; `now`
// at the latest. A ledger made anew after an earlier version, or in place of a lost one, so
// mails nothing that was stored before it.
std::time_t mailBegins(const std::string& settingsFolder, const MailLedger& ledger, std::time_t now);

}  // namespace voxmg::mail
