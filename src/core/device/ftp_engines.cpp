// The download engines: what brings messages from the main unit into the box folders, and
// what deletes and uploads there. They sit on the listings and transfers of the client.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/device/box_run.h"
#include "core/device/ftp_mng.h"
#include "core/device/ftp_reply.h"
#include "core/device/listing_lines.h"
#include "core/store/box_links.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"
#include "core/store/incoming_message.h"

namespace voxmg {
namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::uint64_t fileSize(const std::string& path) {
    return fileio::fileSize(path).value_or(0);
}

void removeFile(const std::string& path) {
    ::unlink(path.c_str());
}

// "/rusuroku/101" -> ("rusuroku", "101").
std::pair<std::string, std::string> kindAndBox(std::string_view remoteDir) {
    while (!remoteDir.empty() && remoteDir.front() == '/') {
        remoteDir.remove_prefix(1);
    }
    while (!remoteDir.empty() && remoteDir.back() == '/') {
        remoteDir.remove_suffix(1);
    }
    auto slash = remoteDir.find('/');
    if (slash == std::string_view::npos) {
        return {std::string(remoteDir), {}};
    }
    return {std::string(remoteDir.substr(0, slash)), std::string(remoteDir.substr(slash + 1))};
}

// What a failed retrieval means for the engine that asked for it (a file gone is handled by
// the caller).
EngineResult engineResultOf(TransferResult transfer) {
    switch (transfer) {
        case TransferResult::Done:
            return EngineResult::Done;
        case TransferResult::Cancelled:
            return EngineResult::Cancelled;
        case TransferResult::DiskRefused:
            return EngineResult::DiskFull;
        default:
            return EngineResult::CommFailure;
    }
}

// The messages of the run that may go from the main unit: listed by this run and complete on
// the disk, in listing order. A message recorded meanwhile, or one passed over, stays there.
std::vector<std::string> deletableMessages(BoxRun& run) {
    std::vector<std::string> deletable;
    for (const std::string& base : run.messageOrder) {
        const BoxRun::Message& m = run.messages[base];
        if (m.infoComplete && (!m.voiceListed || m.voiceComplete)) {
            deletable.push_back(base);
        }
    }
    return deletable;
}

// The main unit's copy goes next: ours must be on the disk first. Files were named without a
// sync (a backup's were synced, and syncing them again costs next to nothing), and files found
// here may have been written by a run that never synced them: each file of these messages is
// synced, then the folders that name them. False when the disk refused: the main unit keeps them.
bool syncBeforeDeletion(BoxRun& run, const std::vector<std::string>& deletable, fileio::Writes& writes) {
    std::vector<std::string> files;
    for (const std::string& base : deletable) {
        const BoxRun::Message& m = run.messages[base];
        for (std::string_view ext : {naming::kVoiceExt, naming::kInfoExt}) {
            files.push_back(paths::join(m.folder, base + std::string(ext)));
        }
    }
    return fileio::syncFilesAndFolders(writes, files);
}

}  // namespace

CFtpMng::EngineScope::EngineScope(CFtpMng& ftp, const std::string& localFolder) : m_ftp(ftp) {
    if (m_ftp.m_liveness.stop) {
        m_ftp.m_liveness.stop();
    }
    m_ftp.drainReplies();
    if (m_ftp.m_conn) {
        m_ftp.m_conn->localFolder = localFolder.empty() ? m_ftp.m_env.programFolder : localFolder;
    }
}

CFtpMng::EngineScope::~EngineScope() {
    if (m_ftp.m_liveness.restart) {
        m_ftp.m_liveness.restart();
    }
}

bool CFtpMng::connected() const {
    return m_conn && m_conn->control;
}

CountResult CFtpMng::countBoxFiles(const std::string& localFolder, std::string_view remoteDir,
                                   bool infoOnly) {
    if (!connected()) {
        return {EngineResult::CommFailure};
    }
    EngineScope scope(*this, localFolder);
    std::u16string text;
    ListingResult rc = nameListing(remoteDir, infoOnly ? ListKind::RecordingInfo : ListKind::All, text);
    if (rc == ListingResult::NoDirectory) {
        return {EngineResult::NoDirectory};
    }
    if (rc != ListingResult::Listed) {
        return {EngineResult::CommFailure};
    }
    return {EngineResult::Done, static_cast<int>(listing::messageLines(text).size())};
}

BoxResult CFtpMng::downloadBox(std::string_view remoteDir, const std::string& localFolder, bool byWorker,
                               bool refresh) {
    if (!connected()) {
        return {EngineResult::CommFailure};
    }
    // Never written through a link out of the data folder; the disk is as good as refused.
    if (isLinkedBox(localFolder)) {
        return {EngineResult::DiskFull};
    }
    EngineScope scope(*this, localFolder);
    bool quietProgress = byWorker || m_flags.alwaysDownloadInProgress.load() != 0;
    BoxRun run;
    run.remoteDir = std::string(remoteDir);
    run.progress = quietProgress ? nullptr : m_progress;
    run.byWorker = byWorker;
    run.refresh = refresh;
    run.destination = [&](const std::string&) { return localFolder; };
    run.spaceFolder = localFolder;
    return runBoxDownload(run);
}

BoxResult CFtpMng::runBoxDownload(BoxRun& run) {
    DetailedListing first;
    ListingResult rc = detailedListing(run.remoteDir, ListKind::All, first);
    if (rc == ListingResult::NoDirectory) {
        return {EngineResult::NoDirectory};
    }
    if (rc != ListingResult::Listed) {
        return {cancelled() ? EngineResult::Cancelled : EngineResult::CommFailure};
    }
    if (cancelled()) {
        return {};
    }
    BoxResult result;
    std::vector<std::string> lines = listing::messageLines(first.text);
    result.listed = static_cast<int>(lines.size());
    for (const std::string& line : lines) {
        run.voiceCount += naming::isVoiceName(line) ? 1 : 0;
    }
    result.code = downloadListedLines(run, lines, result.handled);
    result.malformed = run.malformed;
    return result;
}

EngineResult CFtpMng::downloadListedLines(BoxRun& run, const std::vector<std::string>& lines, int& handled) {
    for (const std::string& line : lines) {
        if (const std::optional<EngineResult> stop = stopBetweenLines(run)) {
            return *stop;
        }
        std::optional<listing::Entry> entry = listing::detailedEntry(line);
        if (!entry) {
            continue;  // a line that names no plain message file is never touched
        }
        EngineResult step = downloadListedFile(run, *entry, handled);
        if (step == EngineResult::Done && run.pending.size() >= kFilesPerSync && !flushPending(run)) {
            step = EngineResult::DiskFull;
        }
        if (step != EngineResult::Done) {
            // What is complete stays; what failed never got its name.
            flushPending(run);
            return failRun(run, step);
        }
    }
    return flushPending(run) ? finishBox(run) : failRun(run, EngineResult::DiskFull);
}

std::optional<EngineResult> CFtpMng::stopBetweenLines(BoxRun& run) {
    // A cancel leaves no half message; a pause request hands the connection over once at
    // least one message is complete.
    if (cancelled()) {
        flushPending(run);
        if (!run.lastHandled.empty() && !exists(naming::partnerName(run.lastHandled))) {
            removeFile(run.lastHandled);
        }
        return failRun(run, EngineResult::Cancelled);
    }
    if (m_flags.suspendRequest.load() == 1 && run.completed > 0) {
        if (!flushPending(run)) {
            return failRun(run, EngineResult::DiskFull);
        }
        if (run.byWorker && m_env.refreshRequest) {
            m_env.refreshRequest(run.remoteDir);
        }
        return EngineResult::Paused;
    }
    return std::nullopt;
}

bool CFtpMng::flushPending(BoxRun& run) {
    const bool named = run.pending.empty() || PendingFile::commitAll(run.pending);
    run.announceStored(m_env.messageStored);  // a file the disk refused is no message: not taken
    return named;
}

EngineResult CFtpMng::failRun(BoxRun& run, EngineResult code) {
    if (run.backup && (code == EngineResult::DiskFull || code == EngineResult::CommFailure ||
                       code == EngineResult::Cancelled)) {
        run.backup->markIncomplete();
    }
    return code;
}

EngineResult CFtpMng::downloadListedFile(BoxRun& run, const listing::Entry& entry, int& handled) {
    const bool voice = naming::isVoiceName(entry.name);
    if (voice) {
        run.listedVoices.insert(entry.name);
    }
    if (run.accept && !run.accept(entry)) {
        return EngineResult::Done;
    }
    std::string folder = run.destination(entry.name);
    if (folder.empty()) {
        return EngineResult::Done;
    }
    enterFolder(run, folder);
    BoxRun::Message& message = run.note(naming::baseName(entry.name), folder, voice);
    if (voice && run.progress && !run.backup) {
        run.progress->setRange(static_cast<int>(entry.size / 1024));
    }
    auto free = m_env.freeSpace(run.spaceFolder.empty() ? folder : run.spaceFolder);
    if (free && *free < listing::retrievalSpace(entry.size)) {
        return EngineResult::DiskFull;
    }
    FileFetch fetched = fetchUnlessComplete(run, entry, folder);
    if (fetched.code != EngineResult::Done || fetched.gone || fetched.malformed) {
        return fetched.code;
    }
    if (run.progress && !run.backup) {
        run.progress->setPosition(-1);
    }
    std::string path = paths::join(folder, entry.name);
    if (voice) {
        run.lastVoice = path;
        run.lastVoiceRetrieved = fetched.retrieved;
        message.voiceComplete = true;
        return EngineResult::Done;
    }
    // The recording info completes its message.
    if (EngineResult converted = convertCompletedMessage(run, folder, naming::partnerName(path));
        converted != EngineResult::Done) {
        return converted;
    }
    message.infoComplete = true;
    run.noteCompleted(naming::partnerName(path), fetched.retrieved);
    if (run.progress) {
        if (!run.backup) {
            run.progress->infoFileDone();
        }
        run.progress->nextFile();
    }
    ++handled;
    ++run.completed;
    return EngineResult::Done;
}

void CFtpMng::enterFolder(BoxRun& run, const std::string& folder) {
    if (run.cleanedFolders.insert(folder).second) {
        if (run.backup) {
            std::error_code ec;
            std::filesystem::create_directories(folder, ec);
        }
        IncomingMessage::removeLeftovers(folder);
    }
    m_conn->localFolder = folder;
}

CFtpMng::FileFetch CFtpMng::fetchUnlessComplete(BoxRun& run, const listing::Entry& entry,
                                                const std::string& folder) {
    const bool voice = naming::isVoiceName(entry.name);
    std::string path = paths::join(folder, entry.name);
    if (CFileMng(*m_cancel).isCompleteDownload(path, entry.size)) {
        if (voice && run.progress && !run.backup) {
            run.progress->setPosition(95);
        }
        return {};
    }
    // Anything else under the name (a broken or foreign file) is fetched again and replaced as
    // a whole once the new copy is complete.
    // A backup marks its months complete on the strength of the files it fetched: they are
    // synced before they are named, in batches. Other runs name each file at once and leave the
    // sync to a deletion on the main unit that relies on it.
    std::vector<PendingFile>* pending = run.backup ? &run.pending : nullptr;
    TransferResult got = retrieveMessage(entry.name, folder, entry.size, run.response, voice, false, pending);
    if (got == TransferResult::NoSuchFile) {
        run.gone = true;
        return {EngineResult::Done, true, false};
    }
    if (got != TransferResult::Done) {
        // Nothing of this file reached its final name; its partner fetched a moment ago goes
        // too, so no half message stays.
        if (!voice && run.lastVoiceRetrieved && run.lastVoice == naming::partnerName(path)) {
            std::erase_if(run.pending, [&](const PendingFile& f) { return f.finalPath() == run.lastVoice; });
            removeFile(run.lastVoice);
        }
        if (got == TransferResult::Malformed) {
            // A broken file on the main unit is no broken link: it stays there, never counted
            // complete (so never deleted), and the other messages go on.
            run.malformed.push_back(entry.name);
            if (run.backup) {
                run.backup->markIncomplete();  // the month lacks this message
            }
            return {EngineResult::Done, false, false, true};
        }
        return {engineResultOf(got), false, false};
    }
    run.downloaded = true;
    run.lastHandled = path;
    return {EngineResult::Done, false, true};
}

EngineResult CFtpMng::convertCompletedMessage(BoxRun& run, const std::string& folder,
                                              const std::string& voicePath) {
    const DownloadSettings& settings = m_env.settings;
    if (!settings.convertOnDownload || !m_env.convertToWav || !m_env.wavPathFor) {
        return EngineResult::Done;
    }
    if (!flushPending(run)) {
        return EngineResult::DiskFull;  // the voice file must be in place to be converted
    }
    if (!exists(voicePath) || exists(m_env.wavPathFor(voicePath, settings))) {
        return EngineResult::Done;
    }
    bool fresh = run.lastVoice == voicePath && run.lastVoiceRetrieved;
    auto room = m_env.freeSpace(folder);
    if (room && *room < listing::conversionSpace(fileSize(voicePath))) {
        return EngineResult::DiskFull;
    }
    if (run.progress && !run.backup) {
        run.progress->beforeConversion();
    }
    if (m_env.convertToWav(voicePath, settings, run.backup ? nullptr : run.progress, *m_cancel) ==
        FileOp::Done) {
        return EngineResult::Done;
    }
    if (fresh) {
        removeFile(m_env.wavPathFor(voicePath, settings));
        removeFile(voicePath);
        return EngineResult::Cancelled;
    }
    // A voice file that was here already stays; the box ends as one the main unit does not
    // have, which lets the run go on with the next box.
    return EngineResult::NoDirectory;
}

EngineResult CFtpMng::finishBox(BoxRun& run) {
    EngineResult result = run.gone ? EngineResult::FilesGone : EngineResult::Done;
    bool changed = false;
    auto [kind, box] = kindAndBox(run.remoteDir);
    if (!run.gone && !run.response && run.completed > 0 && m_env.autoDeleteSelected(kind, box)) {
        result = deleteCompletedMessages(run, changed);
    }
    if (run.refresh && (run.downloaded || changed) && run.byWorker && m_env.refreshRequest) {
        m_env.refreshRequest(run.remoteDir);
    }
    return result;
}

EngineResult CFtpMng::deleteCompletedMessages(BoxRun& run, bool& changed) {
    // Only what this run listed and holds complete on the disk is deleted on the main unit,
    // one message at a time.
    const std::vector<std::string> deletable = deletableMessages(run);
    if (deletable.empty()) {
        return EngineResult::Done;
    }
    if (!syncBeforeDeletion(run, deletable, *m_env.writes)) {
        return EngineResult::DiskFull;  // not on the disk for sure: the main unit keeps it
    }
    climbToRoot();
    int firstRefusal = 0;  // a reply code other than 550 ends the box with that code
    std::vector<std::string> refused;
    for (const std::string& base : deletable) {
        int rc = sendCommand("DELE", run.remoteDir + "/" + base + std::string(naming::kInfoExt));
        if (rc == -1) {
            return EngineResult::CommFailure;
        }
        if (rc == 550) {
            // A protected message stays on the main unit by design; a refusal of any other
            // is the main unit not doing automatic deletion, once the re-listing confirms it
            // (one that has gone meanwhile was deleted by someone else).
            if (!isProtectedLocally(run.messages[base].folder, base)) {
                refused.push_back(base);
            }
            continue;
        }
        if (rc != 0 && firstRefusal == 0) {
            firstRefusal = rc;
        }
    }
    DetailedListing after;
    if (detailedListing(run.remoteDir, ListKind::All, after) != ListingResult::Listed) {
        return fromCode<EngineResult>(firstRefusal);
    }
    std::set<std::string> still;
    for (const std::string& line : listing::messageLines(after.text)) {
        if (auto e = listing::detailedEntry(line)) {
            still.insert(e->name);
        }
    }
    changed = markGoneFromUnit(run, still);
    for (const std::string& base : refused) {
        if (still.contains(base + std::string(naming::kInfoExt)) ||
            still.contains(base + std::string(naming::kVoiceExt))) {
            return EngineResult::DeletionRefused;
        }
    }
    return fromCode<EngineResult>(firstRefusal);
}

bool CFtpMng::markGoneFromUnit(BoxRun& run, const std::set<std::string>& stillListed) {
    bool changed = false;
    CFileMng files(*m_cancel);
    // The mark only tells the lists the main unit no longer has the message; nothing is
    // deleted on the strength of it, and a flush of every file it touches would cost as much
    // again as the sync before the deletion.
    files.setDurableWrites(false);
    for (const std::string& name : run.listedVoices) {
        if (stillListed.contains(name)) {
            continue;
        }
        changed = true;
        std::string folder = run.destination(name);
        std::string local = paths::join(folder, name);
        FILESTS_INFO record;
        if (!folder.empty() && exists(local) && files.readRecord(local, record)) {
            record.state = static_cast<std::uint8_t>(DownloadState::DeletedOnUnit);
            files.writeBackRecord(record, local);
        }
    }
    return changed;
}

bool CFtpMng::isProtectedLocally(const std::string& folder, const std::string& base) const {
    for (std::string_view ext : {naming::kInfoExt, naming::kVoiceExt}) {
        auto bytes = fileio::readPrefix(paths::join(folder, base + std::string(ext)), kFramesOffset);
        if (bytes && bytes->size() == kFramesOffset) {
            if (auto header =
                    UnitHeader::fromBytes(std::span<const std::uint8_t>(*bytes).subspan(kRecordSize))) {
                return header->protectedOnUnit();
            }
        }
    }
    return false;
}

BoxResult CFtpMng::downloadBoxInfoOnly(const std::string& localFolder, std::string_view remoteDir) {
    if (!connected()) {
        return {EngineResult::CommFailure};
    }
    // Never written through a link out of the data folder; the disk is as good as refused.
    if (isLinkedBox(localFolder)) {
        return {EngineResult::DiskFull};
    }
    EngineScope scope(*this, localFolder);
    std::u16string text;
    ListingResult rc = nameListing(remoteDir, ListKind::RecordingInfo, text);
    if (rc == ListingResult::NoDirectory) {
        return {EngineResult::NoDirectory};
    }
    if (rc != ListingResult::Listed) {
        return {EngineResult::CommFailure};
    }
    BoxResult result;
    std::vector<std::string> lines = listing::messageLines(text);
    result.listed = static_cast<int>(lines.size());
    IncomingMessage::removeLeftovers(localFolder);
    bool gone = false;
    for (const std::string& line : lines) {
        if (cancelled()) {
            result.code = EngineResult::Cancelled;
            return result;
        }
        std::optional<std::string> name = listing::nameEntry(line);
        if (!name) {
            continue;
        }
        const FileFetch fetched = fetchInfoUnlessComplete(localFolder, *name);
        if (fetched.code != EngineResult::Done) {
            result.code = fetched.code;
            return result;
        }
        if (fetched.gone) {
            gone = true;
            continue;
        }
        if (fetched.malformed) {
            result.malformed.push_back(*name);
            continue;
        }
        ++result.handled;
        if (m_progress && m_flags.alwaysDownloadInProgress.load() == 0) {
            m_progress->infoOnlyStep(100);
        }
    }
    if (cancelled()) {
        result.code = EngineResult::Cancelled;
    } else if (gone) {
        result.code = EngineResult::FilesGone;
    }
    return result;
}

CFtpMng::FileFetch CFtpMng::fetchInfoUnlessComplete(const std::string& localFolder, const std::string& name) {
    auto free = m_env.freeSpace(localFolder);
    if (free && *free < 4096) {
        return {EngineResult::DiskFull};
    }
    // A name listing carries no sizes: a recording info file here counts when it holds a
    // record and a whole header.
    if (CFileMng(*m_cancel).isCompleteDownload(paths::join(localFolder, name), std::nullopt)) {
        return {};
    }
    TransferResult got = retrieveMessage(name, localFolder, std::nullopt, false, false, true);
    if (got == TransferResult::NoSuchFile) {
        return {EngineResult::Done, true, false};
    }
    if (got == TransferResult::Malformed) {
        return {EngineResult::Done, false, false, true};
    }
    if (got != TransferResult::Done) {
        return {engineResultOf(got)};
    }
    return {EngineResult::Done, false, true};
}

BoxResult CFtpMng::downloadResponseMessages(const std::string& localFolder, std::string_view remoteDir) {
    if (!connected()) {
        return {EngineResult::CommFailure};
    }
    // Never written through a link out of the data folder; the disk is as good as refused.
    if (isLinkedBox(localFolder)) {
        return {EngineResult::DiskFull};
    }
    // A box folder built by hand may lack its response folder: it is made, not reported as a
    // communication failure.
    std::error_code ec;
    std::filesystem::create_directories(localFolder, ec);
    EngineScope scope(*this, localFolder);
    BoxRun run;
    run.remoteDir = std::string(remoteDir);
    run.progress = m_flags.alwaysDownloadInProgress.load() != 0 ? nullptr : m_progress;
    run.response = true;
    run.destination = [&](const std::string&) { return localFolder; };
    run.spaceFolder = localFolder;
    return runResponseDownload(run);
}

BoxResult CFtpMng::runResponseDownload(BoxRun& run) {
    // Only a newer copy on the main unit replaces a response message here; the older local
    // file goes, with its WAV/WMA companions, once the newer one has arrived.
    CFileMng files(*m_cancel);
    std::set<std::string> passedOver;
    std::vector<std::pair<std::string, std::string>> replacements;  // new local path, older path
    run.accept = [&](const listing::Entry& entry) {
        const std::string& name = entry.name;
        if (!naming::isVoiceName(name)) {
            return passedOver.count(naming::partnerName(name)) == 0;
        }
        std::string folder = run.destination(name);
        ResponseLookup found = files.findResponseMessage(folder, name);
        const std::string& older = found.localPath;
        // The same message here but broken (an interrupted download of an older version of
        // the program) is fetched again.
        if (found.kind == ResponseLookup::Kind::NotOlder &&
            !(paths::fileName(older) == name &&
              !files.isCompleteDownload(paths::join(folder, name), entry.size))) {
            passedOver.insert(name);
            return false;
        }
        if (found.kind == ResponseLookup::Kind::Older && !older.empty() && paths::fileName(older) != name) {
            replacements.emplace_back(paths::join(folder, name), older);
        }
        return true;
    };
    BoxResult result = runBoxDownload(run);
    for (const auto& [fresh, older] : replacements) {
        if (!exists(fresh)) {
            continue;  // the newer one did not arrive: keep what we have
        }
        std::string base = older.substr(0, older.size() - 6);
        for (const char* ext : {".vmdat", ".vminf", ".wav", ".wma"}) {
            removeFile(base + ext);
        }
    }
    result.handled += static_cast<int>(passedOver.size());
    result.listed = run.voiceCount;
    if (result.code == EngineResult::Done && run.voiceCount == 0) {
        result.code = EngineResult::FilesGone;  // no response message on the main unit
    }
    return result;
}

TransferResult CFtpMng::deleteOnMainUnit(const std::string& localFolder, std::string_view remotePath,
                                         const std::vector<std::string>& localFiles) {
    if (!connected()) {
        return TransferResult::Failed;
    }
    EngineScope scope(*this, localFolder);
    // The copy here may come from a download that never synced it: it must be on the disk
    // before the main unit's copy goes, or a power cut could leave the message nowhere.
    if (!fileio::syncFilesAndFolders(*m_env.writes, localFiles)) {
        return TransferResult::DiskRefused;
    }
    return deleteFile(remotePath);
}

VoiceSizeResult CFtpMng::listedVoiceSize(std::string_view fileName, std::string_view remoteDir) {
    DetailedListing found;
    ListingResult rc = detailedListing(remoteDir, ListKind::VoiceData, found);
    if (rc == ListingResult::NoDirectory) {
        return {EngineResult::NoDirectory};
    }
    if (rc != ListingResult::Listed) {
        return {EngineResult::CommFailure};
    }
    for (const std::string& line : listing::messageLines(found.text)) {
        if (auto e = listing::detailedEntry(line); e && e->name == fileName) {
            return {EngineResult::Done, e->size};
        }
    }
    return {EngineResult::Done, std::nullopt};
}

VoiceSizeResult CFtpMng::voiceDataSize(std::string_view fileName, const std::string& localFolder,
                                       std::string_view remoteDir) {
    if (!connected()) {
        return {EngineResult::CommFailure};
    }
    EngineScope scope(*this, localFolder);
    VoiceSizeResult found = listedVoiceSize(fileName, remoteDir);
    if (found.size) {
        found.size = listing::retrievalSpace(*found.size);
    }
    return found;
}

EngineResult CFtpMng::fetchVoiceData(const std::string& localFolder, std::string_view remoteDir,
                                     std::string_view fileName) {
    if (!connected() || paths::isUnsafeName(fileName) || !naming::isVoiceName(fileName)) {
        return EngineResult::CommFailure;
    }
    if (isLinkedBox(localFolder)) {
        return EngineResult::DiskFull;  // never written through a link out of the data folder
    }
    EngineScope scope(*this, localFolder);
    CFileMng files(*m_cancel);
    std::string path = paths::join(localFolder, std::string(fileName));
    // The listed size tells a complete transfer from a short one.
    VoiceSizeResult listed = listedVoiceSize(fileName, remoteDir);
    if (listed.code != EngineResult::Done) {
        return listed.code;
    }
    if (!listed.size) {
        return EngineResult::FilesGone;  // no longer on the main unit
    }
    // A complete voice file here stays as it is; anything else under the name is replaced as
    // a whole once the new copy is complete, so the lists never show a broken transfer.
    if (files.isCompleteDownload(path, listed.size)) {
        return EngineResult::Done;
    }
    IncomingMessage::removeLeftovers(localFolder);
    TransferResult got = retrieveMessage(fileName, localFolder, listed.size, false, true, false);
    if (got == TransferResult::NoSuchFile) {
        return EngineResult::FilesGone;
    }
    if (got == TransferResult::Malformed) {
        return EngineResult::Malformed;
    }
    if (got != TransferResult::Done) {
        return engineResultOf(got);
    }
    if (m_env.settings.convertOnDownload && m_env.convertToWav) {
        auto room = m_env.freeSpace(localFolder);
        if (room && *room < listing::conversionSpace(fileSize(path))) {
            return EngineResult::DiskFull;
        }
        if (m_env.convertToWav(path, m_env.settings, m_progress, *m_cancel) != FileOp::Done) {
            removeFile(path);
            return EngineResult::Cancelled;
        }
    }
    if (m_env.messageStored) {
        m_env.messageStored(path);
    }
    return EngineResult::Done;
}

TransferResult CFtpMng::uploadResponseMessage(std::span<const std::uint8_t> data, std::string_view fileName,
                                              const std::string& localFolder) {
    if (!connected()) {
        return TransferResult::Failed;
    }
    EngineScope scope(*this, localFolder);
    const TransferResult stored = storeResponseMessage(fileName, data);
    if (stored != TransferResult::Done) {
        return stored;
    }
    // A main unit has been seen to answer 226 as soon as the data connection opened, or after
    // reading only part of the data. The message counts as uploaded only once /outou/ lists it
    // with every byte; a server without a detailed listing may show it by SIZE instead.
    const VoiceSizeResult listed = listedVoiceSize(fileName, "/outou/");
    if (listed.code == EngineResult::Done && listed.size == data.size()) {
        return TransferResult::Done;
    }
    if (listed.code == EngineResult::CommFailure || listed.size) {
        return TransferResult::Failed;
    }
    std::string reply;
    if (sendCommand("SIZE", "/outou/" + std::string(fileName), &reply) == 0 && ftp::replyCode(reply) == 213) {
        const std::string_view digits =
            std::string_view(reply).substr(std::min<std::size_t>(4, reply.size()));
        std::uint64_t size = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
        if (ec == std::errc() && end != digits.data() && size == data.size()) {
            return TransferResult::Done;
        }
    }
    return TransferResult::Failed;
}

}  // namespace voxmg
