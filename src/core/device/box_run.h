#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/base/progress.h"
#include "core/device/download_env.h"
#include "core/device/listing_lines.h"
#include "core/store/incoming_message.h"

namespace voxmg {

// One run of the box download over a detailed listing, shared by the user, worker, response
// and backup variants; they differ in where each file goes and which files they take.
struct BoxRun {
    std::string remoteDir;
    ProgressSink* progress = nullptr;  // null: nothing shown (worker, background)
    bool byWorker = false;
    bool refresh = false;
    bool response = false;                 // response messages: their own record builder, no deletion
    const BackupTarget* backup = nullptr;  // backup runs: step-only progress, incomplete marking
    std::string spaceFolder;               // where free space is measured; empty = the destination

    // The local folder of a listed file; empty passes the file over.
    std::function<std::string(const std::string& name)> destination;
    // Whether to take a listed file at all (after it has been noted for the deletion check).
    std::function<bool(const listing::Entry& entry)> accept;

    // What the run learns on its way.
    struct Message {
        std::string folder;  // where its files are
        bool voiceListed = false;
        bool voiceComplete = false;  // complete on the disk under its final name
        bool infoComplete = false;
    };
    std::map<std::string, Message> messages;  // by base name (the name without extension)
    std::vector<std::string> messageOrder;    // base names in listing order

    // Notes a listed file of the message `base`, kept in `folder`.
    Message& note(const std::string& base, const std::string& folder, bool voice) {
        if (!messages.contains(base)) {
            messageOrder.push_back(base);
        }
        Message& m = messages[base];
        m.folder = folder;
        m.voiceListed = m.voiceListed || voice;
        return m;
    }
    std::set<std::string> listedVoices;
    std::vector<std::string> malformed;    // listed files that turned out to be no message
    std::set<std::string> cleanedFolders;  // folders rid of interrupted downloads' leftovers
    std::vector<PendingFile> pending;      // complete files waiting for their sync and name
    std::string lastVoice;
    bool lastVoiceRetrieved = false;
    std::string lastHandled;  // the file most recently stored by this run, for the cancel cleanup
    int voiceCount = 0;
    bool gone = false;
    bool downloaded = false;
    int completed = 0;
    // Messages completed by this run whose files may still wait for their names.
    std::vector<std::string> newlyStored;

    // The message of `voicePath` is complete; `infoRetrieved`: its info file came in this run.
    // One found complete here already is no new message.
    void noteCompleted(const std::string& voicePath, bool infoRetrieved) {
        const bool voiceRetrieved = lastVoice == voicePath && lastVoiceRetrieved;
        if (!response && backup == nullptr && (infoRetrieved || voiceRetrieved)) {
            newlyStored.push_back(voicePath);
        }
    }
    // Tells `stored` of the completed messages, once their files have their names.
    void announceStored(const std::function<void(const std::string&)>& stored) {
        if (stored) {
            for (const std::string& path : newlyStored) {
                stored(path);
            }
        }
        newlyStored.clear();
    }
};

}  // namespace voxmg
