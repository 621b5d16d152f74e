// The download engines: what brings messages from the main unit into the box folders, and
// what deletes and uploads there. They sit on the listings and transfers of the client.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <system_error>

#include "core/device/box_run.h"
#include "core/device/ftp_mng.h"
#include "core/device/listing_lines.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

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

// The name with ".tmp" in place of its six-character extension.
std::string temporaryName(std::string_view name) {
    return std::string(name.substr(0, name.size() - 6)) + ".tmp";
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

int CFtpMng::countBoxFiles(const std::string& localFolder, std::string_view remoteDir, bool infoOnly) {
    if (!connected()) {
        return -1;
    }
    EngineScope scope(*this, localFolder);
    std::u16string text;
    int rc = nameListing(remoteDir, infoOnly ? ListKind::RecordingInfo : ListKind::All, text);
    if (rc == -2) {
        return -2;
    }
    if (rc != 1) {
        return -1;
    }
    return static_cast<int>(listing::messageLines(text).size());
}

int CFtpMng::downloadBox(std::string_view remoteDir, const std::string& localFolder, int& listed,
                         int& handled, bool byWorker, bool refresh) {
    listed = handled = 0;
    if (!connected()) {
        return -1;
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
    return runBoxDownload(run, listed, handled);
}

int CFtpMng::runBoxDownload(BoxRun& run, int& listed, int& handled) {
    CFileMng files(m_flags);
    files.setDurableWrites(false);  // synced once before the main unit deletes anything
    DetailedListing first;
    int rc = detailedListing(run.remoteDir, ListKind::All, first);
    if (rc == -2) {
        return -2;
    }
    if (rc != 1) {
        return cancelled() ? -3 : -1;
    }
    if (cancelled()) {
        return 0;
    }
    std::vector<std::string> lines = listing::messageLines(first.text);
    listed = static_cast<int>(lines.size());
    for (const std::string& line : lines) {
        run.voiceCount += naming::isVoiceName(line) ? 1 : 0;
    }

    std::set<std::string> listedVoices;
    bool gone = false;
    bool downloaded = false;
    int completed = 0;
    std::string lastHandled;  // the file most recently written or found, for the cancel cleanup

    auto fail = [&](int code) {
        if (run.backup && (code == -4 || code == -1 || code == -3)) {
            run.backup->markIncomplete();
        }
        return code;
    };

    for (const std::string& line : lines) {
        // Between lines: a cancel leaves no half message; a pause request hands the
        // connection over once at least one message is complete.
        if (cancelled()) {
            if (!lastHandled.empty() && !exists(naming::partnerName(lastHandled))) {
                removeFile(lastHandled);
            }
            return fail(-3);
        }
        if (m_flags.suspendRequest.load() == 1 && completed > 0) {
            if (run.byWorker && m_env.refreshRequest) {
                m_env.refreshRequest(run.remoteDir);
            }
            return -5;
        }

        std::optional<listing::Entry> entry = listing::detailedEntry(line);
        if (!entry) {
            continue;  // a line that names no plain message file is never touched
        }
        const bool voice = naming::isVoiceName(entry->name);
        if (voice) {
            listedVoices.insert(entry->name);
        }
        if (run.accept && !run.accept(entry->name)) {
            continue;
        }
        std::string folder = run.destination(entry->name);
        if (folder.empty()) {
            continue;
        }
        if (run.backup) {
            std::error_code ec;
            std::filesystem::create_directories(folder, ec);
        }
        m_conn->localFolder = folder;
        std::string path = paths::join(folder, entry->name);
        std::string partner = naming::partnerName(path);

        if (voice && run.progress && !run.backup) {
            run.progress->setRange(static_cast<int>(entry->size / 1024));
        }
        auto free = m_env.freeSpace(run.spaceFolder.empty() ? folder : run.spaceFolder);
        if (free && *free < listing::retrievalSpace(entry->size)) {
            return fail(-4);
        }

        bool retrievedVoice = false;
        if (exists(path)) {
            if (voice && run.progress && !run.backup) {
                run.progress->setPosition(95);
            }
        } else {
            int got = retrieve(entry->name, entry->name, voice, false);
            if (got == -2) {
                removeFile(path);
                removeFile(partner);
                return fail(-3);
            }
            if (got == 550) {
                gone = true;
                continue;
            }
            if (got != 0) {
                removeFile(path);
                removeFile(partner);
                return fail(-1);
            }
            downloaded = true;
            retrievedVoice = voice;
            if (exists(path)) {
                if (run.response) {
                    files.buildResponseMessageRecord(path);
                } else {
                    files.buildBoxMessageRecord(path);
                }
            }
        }
        lastHandled = path;
        if (run.progress && !run.backup) {
            run.progress->setPosition(-1);
        }
        if (voice) {
            run.lastVoice = path;
            run.lastVoiceRetrieved = retrievedVoice;
            continue;
        }

        // The recording info completes its message.
        std::string voicePath = partner;
        if (m_env.convertOnDownload() && exists(voicePath) && m_env.convertToWav && m_env.wavPathFor &&
            !exists(m_env.wavPathFor(voicePath))) {
            bool fresh = run.lastVoice == voicePath && run.lastVoiceRetrieved;
            auto room = m_env.freeSpace(folder);
            if (room && *room < listing::conversionSpace(fileSize(voicePath))) {
                return fail(-4);
            }
            if (run.progress && !run.backup) {
                run.progress->beforeConversion();
            }
            if (m_env.convertToWav(voicePath, run.backup ? nullptr : run.progress) != 1) {
                if (fresh) {
                    removeFile(m_env.wavPathFor(voicePath));
                    removeFile(voicePath);
                    return fail(-3);
                }
                return fail(-2);
            }
        }
        if (run.progress) {
            if (!run.backup) {
                run.progress->infoFileDone();
            }
            run.progress->nextFile();
        }
        ++handled;
        ++completed;
    }

    int result = gone ? 550 : 0;
    bool changed = false;
    auto [kind, box] = kindAndBox(run.remoteDir);
    if (!gone && !run.response && handled > 0 && m_env.autoDeleteSelected(kind, box)) {
        // The main unit's copy goes next: what we downloaded must be on the disk first.
        if (!fileio::syncFileSystem(run.spaceFolder.empty() ? run.destination({}) : run.spaceFolder)) {
            return fail(-1);
        }
        int deleted = deleteFile(run.remoteDir + "/*.vminf");
        if (deleted == 550) {
            result = 555;
        } else {
            result = deleted;
            DetailedListing after;
            if (detailedListing(run.remoteDir, ListKind::All, after) == 1) {
                std::set<std::string> still;
                for (const std::string& line : listing::messageLines(after.text)) {
                    if (auto e = listing::detailedEntry(line); e && naming::isVoiceName(e->name)) {
                        still.insert(e->name);
                    }
                }
                for (const std::string& name : listedVoices) {
                    if (still.count(name) != 0) {
                        continue;
                    }
                    changed = true;
                    std::string local = paths::join(run.destination(name), name);
                    if (run.destination(name).empty() || !exists(local)) {
                        continue;
                    }
                    FILESTS_INFO record;
                    files.readRecord(local, record);
                    record.state = static_cast<std::uint8_t>(DownloadState::DeletedOnUnit);
                    files.writeBackRecord(record, local);
                }
            }
        }
    }
    if (run.refresh && (downloaded || changed) && run.byWorker && m_env.refreshRequest) {
        m_env.refreshRequest(run.remoteDir);
    }
    return result;
}

int CFtpMng::downloadBoxInfoOnly(const std::string& localFolder, int& listed, std::string_view remoteDir,
                                 int& handled) {
    listed = handled = 0;
    if (!connected()) {
        return -1;
    }
    EngineScope scope(*this, localFolder);
    CFileMng files(m_flags);
    std::u16string text;
    int rc = nameListing(remoteDir, ListKind::RecordingInfo, text);
    if (rc == -2) {
        return -2;
    }
    if (rc != 1) {
        return -1;
    }
    std::vector<std::string> lines = listing::messageLines(text);
    listed = static_cast<int>(lines.size());
    bool gone = false;
    for (const std::string& line : lines) {
        if (cancelled()) {
            return -3;
        }
        std::optional<std::string> name = listing::nameEntry(line);
        if (!name) {
            continue;
        }
        auto free = m_env.freeSpace(localFolder);
        if (free && *free < 4096) {
            return -4;
        }
        std::string path = paths::join(localFolder, *name);
        if (!exists(path)) {
            int got = retrieve(*name, *name, false, true);
            if (got == 550) {
                gone = true;
                continue;
            }
            if (got != 0) {
                removeFile(path);  // a failed retrieval leaves no half file behind
                return got == -2 ? -3 : -1;
            }
            files.buildBoxMessageRecord(path);
        }
        ++handled;
        if (m_progress && m_flags.alwaysDownloadInProgress.load() == 0) {
            m_progress->infoOnlyStep(100);
        }
    }
    if (cancelled()) {
        return -3;
    }
    return gone ? 550 : 0;
}

int CFtpMng::downloadResponseMessages(int& listed, int& handled, const std::string& localFolder,
                                      std::string_view remoteDir) {
    listed = handled = 0;
    if (!connected()) {
        return -1;
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
    return runResponseDownload(run, listed, handled);
}

int CFtpMng::runResponseDownload(BoxRun& run, int& listed, int& handled) {
    // Only a newer copy on the main unit replaces a response message here; the older local
    // file goes, with its WAV/WMA companions, once the newer one has arrived.
    CFileMng files(m_flags);
    std::set<std::string> passedOver;
    std::vector<std::pair<std::string, std::string>> replacements;  // new local path, older path
    run.accept = [&](const std::string& name) {
        if (!naming::isVoiceName(name)) {
            return passedOver.count(naming::partnerName(name)) == 0;
        }
        std::string folder = run.destination(name);
        std::string older;
        int found = files.findResponseMessage(folder, name, older);
        if (found == 0) {
            passedOver.insert(name);
            return false;
        }
        if (found == 2 && !older.empty() && paths::fileName(older) != name) {
            replacements.emplace_back(paths::join(folder, name), older);
        }
        return true;
    };
    int rc = runBoxDownload(run, listed, handled);
    for (const auto& [fresh, older] : replacements) {
        if (!exists(fresh)) {
            continue;  // the newer one did not arrive: keep what we have
        }
        std::string base = older.substr(0, older.size() - 6);
        for (const char* ext : {".vmdat", ".vminf", ".wav", ".wma"}) {
            removeFile(base + ext);
        }
    }
    handled += static_cast<int>(passedOver.size());
    listed = run.voiceCount;
    if (rc == 0 && run.voiceCount == 0) {
        return 550;  // no response message on the main unit
    }
    return rc;
}

int CFtpMng::deleteOnMainUnit(const std::string& localFolder, std::string_view remotePath) {
    if (!connected()) {
        return -1;
    }
    EngineScope scope(*this, localFolder);
    // Whatever was downloaded must be on the disk before the main unit's copy goes.
    fileio::syncFileSystem(localFolder.empty() ? m_env.programFolder : localFolder);
    return deleteFile(remotePath);
}

int CFtpMng::voiceDataSize(std::string_view fileName, const std::string& localFolder,
                           std::string_view remoteDir, std::uint64_t& roundedSize) {
    roundedSize = 0;
    if (!connected()) {
        return -1;
    }
    EngineScope scope(*this, localFolder);
    DetailedListing found;
    int rc = detailedListing(remoteDir, ListKind::VoiceData, found);
    if (rc == -2) {
        return -2;
    }
    if (rc != 1) {
        return -1;
    }
    for (const std::string& line : listing::messageLines(found.text)) {
        if (auto e = listing::detailedEntry(line); e && e->name == fileName) {
            roundedSize = listing::retrievalSpace(e->size);
            return 1;
        }
    }
    return 0;
}

int CFtpMng::fetchVoiceData(const std::string& localFolder, std::string_view remoteDir,
                            std::string_view fileName) {
    if (!connected()) {
        return -1;
    }
    if (paths::isUnsafeName(fileName) || !naming::isVoiceName(fileName)) {
        return -1;
    }
    EngineScope scope(*this, localFolder);
    CFileMng files(m_flags);
    std::string path = paths::join(localFolder, fileName);
    // A voice file already here is fetched beside it and the copy dropped, so the file the
    // lists show is never replaced by a broken transfer.
    bool present = exists(path);
    std::string localName = present ? temporaryName(fileName) : std::string(fileName);
    std::string target = paths::join(localFolder, localName);
    std::string cwd = "CWD " + std::string(remoteDir) + "\r\n";
    if (int moved = commandExchange(cwd); moved != 0) {
        return moved == 550 ? -2 : -1;
    }
    int rc = retrieve(fileName, localName, true, false);
    if (rc == -2) {
        removeFile(target);
        return -3;
    }
    if (rc != 0) {
        removeFile(target);
        return rc;
    }
    if (present) {
        removeFile(target);
        return 0;
    }
    files.buildBoxMessageRecord(path);
    if (m_env.convertOnDownload() && m_env.convertToWav) {
        auto room = m_env.freeSpace(localFolder);
        if (room && *room < listing::conversionSpace(fileSize(path))) {
            return -4;
        }
        if (m_env.convertToWav(path, m_progress) != 1) {
            removeFile(path);
            return -3;
        }
    }
    return 0;
}

int CFtpMng::uploadResponseMessage(std::span<const std::uint8_t> data, std::string_view fileName,
                                   const std::string& localFolder) {
    if (!connected()) {
        return -1;
    }
    EngineScope scope(*this, localFolder);
    return storeResponseMessage(fileName, data);
}

}  // namespace voxmg
