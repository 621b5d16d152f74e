#include "core/lists/delete_operation.h"

#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

#include "core/audio/wav_files.h"
#include "core/base/paths.h"
#include "core/device/ftp_mng.h"
#include "core/device/listing_lines.h"
#include "core/lists/row_run.h"
#include "core/store/box_links.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg::delete_op {

namespace {

namespace fs = std::filesystem;

// The path with its message extension replaced.
std::string withExtension(const std::string& path, std::string_view ext) {
    std::string base = naming::baseName(path);
    return base + std::string(ext);
}

// True when the file went; a file that is there and cannot be removed sets `refused`.
bool removeIfPresent(const std::string& path, bool& refused) {
    std::error_code ec;
    const bool removed = fs::remove(path, ec);
    refused = refused || (ec && ec != std::errc::no_such_file_or_directory);
    return removed;
}

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

// What a row is before anything is deleted: the PC part of "both" removes the files the main
// unit part would read the protection from.
struct Row {
    std::string path;
    bool voice = false;  // the record path names the voice data file
    bool isProtected = false;
    RowOutcome outcome = RowOutcome::Skipped;
    bool somethingDeleted = false;
};

bool protectedOnPc(const CFileMng& files, const std::string& path) {
    for (std::string_view ext : {naming::kVoiceExt, naming::kInfoExt}) {
        FILESTS_INFO record;
        if (files.readRecord(withExtension(path, ext), record) && record.protect != 0) {
            return true;
        }
    }
    return false;
}

// A row's outcome after one more part: the first refusal stays.
void settle(Row& row, RowOutcome outcome) {
    if (outcome == RowOutcome::Deleted) {
        row.somethingDeleted = true;
    }
    if (row.outcome == RowOutcome::Skipped || row.outcome == RowOutcome::Deleted) {
        row.outcome = outcome;
    }
}

RowOutcome deleteOnPc(Row& row, DeleteKind kind, bool responseList) {
    if (responseList) {
        if (!row.voice) {
            return RowOutcome::Skipped;  // an empty slot or recording info only
        }
        // The audio kept beside the message first (an imported message keeps the user's file
        // as ".WAV" or ".WMA"): a run stopped half way leaves the message, not a lone companion.
        bool removed = false;
        bool refused = false;
        for (const std::string& companion : audio::companionAudioFiles(row.path)) {
            removed = removeIfPresent(companion, refused) || removed;
        }
        for (std::string_view ext : {naming::kVoiceExt, naming::kInfoExt}) {
            removed = removeIfPresent(withExtension(row.path, ext), refused) || removed;
        }
        if (refused) {
            return RowOutcome::CannotWrite;
        }
        return removed ? RowOutcome::Deleted : RowOutcome::NotDownloaded;
    }
    if ((row.voice && exists(row.path)) || kind == DeleteKind::PcOnly) {
        bool removed = false;
        bool refused = false;
        for (const std::string& wav : audio::companionAudioFiles(row.path, true)) {
            removed = removeIfPresent(wav, refused) || removed;
        }
        for (std::string_view ext : {naming::kVoiceExt, naming::kInfoExt}) {
            removed = removeIfPresent(withExtension(row.path, ext), refused) || removed;
        }
        if (refused) {
            return RowOutcome::CannotWrite;  // the message is still here, whole or in part
        }
        if (removed) {
            return RowOutcome::Deleted;
        }
    }
    return RowOutcome::NotDownloaded;
}

// The sizes the main unit lists for the voice data files of one remote directory, read once
// per directory and run.
class ListedSizes {
public:
    explicit ListedSizes(CFtpMng& ftp) : m_ftp(ftp) {}

    // Done with the size (none when not listed), NoDirectory, or CommFailure.
    VoiceSizeResult sizeOf(const std::string& remoteDir, const std::string& voiceName) {
        auto it = m_listings.find(remoteDir);
        if (it == m_listings.end()) {
            DetailedListing listing;
            ListingResult rc = m_ftp.detailedListing(remoteDir, ListKind::VoiceData, listing);
            if (rc == ListingResult::NoDirectory) {
                return {EngineResult::NoDirectory};
            }
            if (rc != ListingResult::Listed) {
                return {EngineResult::CommFailure};
            }
            std::map<std::string, std::uint64_t> sizes;
            for (const std::string& line : listing::messageLines(listing.text)) {
                if (auto e = listing::detailedEntry(line)) {
                    sizes.emplace(e->name, e->size);
                }
            }
            it = m_listings.emplace(remoteDir, std::move(sizes)).first;
        }
        auto found = it->second.find(voiceName);
        if (found == it->second.end()) {
            return {EngineResult::Done, std::nullopt};
        }
        return {EngineResult::Done, found->second};
    }

private:
    CFtpMng& m_ftp;
    std::map<std::string, std::map<std::string, std::uint64_t>> m_listings;
};

std::string remoteDirOf(const std::string& remotePath) {
    return remotePath.substr(0, remotePath.rfind('/'));
}

RowOutcome deleteOnUnit(Row& row, DeleteKind kind, bool responseList, CFtpMng& ftp, ListedSizes& listed,
                        const CFileMng& files) {
    if (!row.voice && (kind == DeleteKind::UnitOnly || !responseList)) {
        return RowOutcome::NotDownloaded;
    }
    if (!responseList && kind == DeleteKind::Both && !exists(row.path) &&
        exists(withExtension(row.path, naming::kInfoExt))) {
        return RowOutcome::NotDownloaded;
    }
    const std::string fileName(paths::fileName(row.path));
    if (!responseList && boxOfFileName(fileName) != paths::fileName(paths::parentOf(row.path))) {
        return RowOutcome::WrongBox;
    }
    const std::string remotePath = remotePathOf(row.path, responseList);
    if (remotePath.empty()) {
        return RowOutcome::WrongBox;
    }
    if (kind == DeleteKind::UnitOnly) {
        // The main unit's copy goes only when this one is the whole message: a short or
        // differently sized voice file here would leave nothing to play.
        const std::string voiceName = naming::baseName(fileName) + std::string(naming::kVoiceExt);
        VoiceSizeResult size = listed.sizeOf(remoteDirOf(remotePath), voiceName);
        if (size.code == EngineResult::CommFailure) {
            return RowOutcome::CommError;
        }
        if (size.code == EngineResult::NoDirectory || !size.size) {
            return RowOutcome::Gone;
        }
        if (!files.isCompleteDownload(row.path, size.size)) {
            return RowOutcome::NotDownloaded;
        }
    }
    const std::string localFolder(paths::parentOf(row.path));
    // What stays here of the message (all of it for the main unit only) is synced first.
    const std::vector<std::string> localFiles{withExtension(row.path, naming::kVoiceExt),
                                              withExtension(row.path, naming::kInfoExt)};
    const TransferResult deleted = ftp.deleteOnMainUnit(localFolder, remotePath, localFiles);
    if (deleted == TransferResult::DiskRefused) {
        // The copy here is not surely on the disk: the main unit keeps the only sure one.
        return RowOutcome::NotDownloaded;
    }
    const int rc = code(deleted);
    if (rc == 450) {
        return RowOutcome::InUse;
    }
    if (rc == 550) {
        return RowOutcome::Gone;
    }
    if (rc != 0) {
        return RowOutcome::CommError;
    }
    if (kind == DeleteKind::UnitOnly) {
        FILESTS_INFO record;
        if (files.readRecord(row.path, record)) {
            record.state = static_cast<std::uint8_t>(DownloadState::DeletedOnUnit);
            files.writeBackRecord(record, row.path);
        }
    }
    return RowOutcome::Deleted;
}

UserMessage errorMessage(std::u16string text) {
    return {std::move(text), u"エラー", UserMessage::Icon::Exclamation};
}

UserMessage doneMessage(std::u16string text) {
    return {std::move(text), u"消去完了", UserMessage::Icon::Information};
}

struct Marks {
    bool absentOrProtected = false;
    bool inUse = false;
    bool notDownloaded = false;
    bool cannotWrite = false;
};

UserMessage summarize(const Marks& marks, int deleted, std::size_t rows, bool responseList) {
    static const std::u16string kSuccess = u"音声メッセージの消去が正常に完了しました。";
    static const std::u16string kAbsent = u"音声メッセージがありません。\nまたは｢保護｣に設定されています。";
    static const std::u16string kInUse = u"音声メッセージは使用中のため\n消去できません。";
    static const std::u16string kNotDownloaded = u"音声ファイルがダウンロードされて\nいません。";
    static const std::u16string kCannotWrite =
        u"書き込みできません。\n音声メッセージのフォルダを確認してください。";
    if (marks.cannotWrite && (rows == 1 || deleted == 0)) {
        return errorMessage(kCannotWrite);
    }
    if (marks.cannotWrite) {
        return doneMessage(u"一部の音声メッセージが消去できませんでした。\n(書き込みできません)。");
    }
    if (rows == 1) {
        if (marks.inUse) {
            return errorMessage(responseList ? u"音声メッセージは\n使用中のため消去できません。" : kInUse);
        }
        if (marks.notDownloaded) {
            return errorMessage(kNotDownloaded);
        }
        if (marks.absentOrProtected) {
            return errorMessage(kAbsent);
        }
        return doneMessage(kSuccess);
    }
    if (deleted == 0) {
        if (marks.absentOrProtected) {
            return errorMessage(kAbsent);
        }
        if (marks.inUse) {
            return errorMessage(kInUse);
        }
        if (marks.notDownloaded) {
            return errorMessage(kNotDownloaded);
        }
        return doneMessage(kSuccess);
    }
    if (marks.absentOrProtected) {
        return doneMessage(
            u"一部の音声メッセージが消去できませんでした。\n(音声メッセージなし または｢保護｣)。");
    }
    if (marks.inUse) {
        return doneMessage(u"一部の音声メッセージが消去できませんでした。\n(音声メッセージ使用中)。");
    }
    if (marks.notDownloaded) {
        return doneMessage(u"一部の音声メッセージが消去できませんでした。\n(音声ファイル未ダウンロード)。");
    }
    return doneMessage(kSuccess);
}

// The progress range: three steps a row for each side it is deleted on.
int progressRange(const DeleteRequest& request) {
    const int stepsPerRow = request.kind == DeleteKind::Both ? 6 : 3;
    return static_cast<int>(request.paths.size()) * stepsPerRow;
}

// One delete run: the rows read before anything goes, the PC part, the main unit part and the
// summary, each a step over the same rows. Used once: the worker is paused while it lives.
class DeleteRun {
public:
    DeleteRun(const DeleteRequest& request, CFtpMng* ftp, Flags& flags, const Pump& pump,
              ProgressSink* progress)
        : m_request(request),
          m_ftp(ftp),
          m_run(flags, pump, progress, progressRange(request)),
          m_files(flags) {}

    DeleteResult run() {
        readRows();
        const bool pcPart = m_request.kind != DeleteKind::UnitOnly;
        const bool unitPart = m_request.kind != DeleteKind::PcOnly;
        const bool stopped = pcPart && !deleteOnPcRows();
        if (unitPart && !stopped) {
            deleteOnUnitRows();
        }
        const Marks marks = collectRows();
        if (!m_result.interrupted) {
            summarizeRun(marks);
        }
        return std::move(m_result);
    }

private:
    void readRows() {
        m_rows.reserve(m_request.paths.size());
        for (const std::string& path : m_request.paths) {
            Row row;
            row.path = path;
            row.voice = naming::isVoiceName(paths::fileName(path));
            // A message in a box that lies outside the data folder (a link) is kept on both
            // sides, as a protected one is: nothing is deleted through the link, and its copy
            // there is none the main unit's may be deleted for.
            row.isProtected = !path.empty() && (protectedOnPc(m_files, path) || isInLinkedBox(path));
            m_rows.push_back(std::move(row));
        }
    }

    // False when the run stops here (cancelled, or a backup took over).
    bool deleteOnPcRows() {
        for (Row& row : m_rows) {
            if (m_run.cancelled()) {
                return false;
            }
            if (row.path.empty()) {
                continue;
            }
            settle(row, row.isProtected ? RowOutcome::Protected
                                        : deleteOnPc(row, m_request.kind, m_request.responseList));
            m_run.step(3);
            if (m_request.kind == DeleteKind::PcOnly && m_request.interrupt && m_request.interrupt()) {
                m_result.interrupted = true;
                return false;
            }
        }
        return true;
    }

    void deleteOnUnitRows() {
        // Without a connection the first row that needs the main unit ends the run as a
        // communication error; the listing cache is only made over a real one.
        std::optional<ListedSizes> listed;
        if (m_ftp != nullptr) {
            listed.emplace(*m_ftp);
        }
        for (Row& row : m_rows) {
            if (m_run.cancelled()) {
                break;
            }
            if (row.path.empty()) {
                continue;
            }
            const RowOutcome outcome = row.isProtected ? RowOutcome::Protected
                                       : !listed       ? RowOutcome::CommError
                                                 : deleteOnUnit(row, m_request.kind, m_request.responseList,
                                                                *m_ftp, *listed, m_files);
            if (outcome == RowOutcome::CommError) {
                row.outcome = RowOutcome::CommError;
                m_result.connectionLost = true;
                break;
            }
            settle(row, outcome);
            m_run.step(3);
        }
    }

    Marks collectRows() {
        Marks marks;
        for (const Row& row : m_rows) {
            m_result.rows.push_back({row.path, row.outcome});
            m_result.deleted += row.somethingDeleted ? 1 : 0;
            switch (row.outcome) {
                case RowOutcome::Protected:
                case RowOutcome::WrongBox:
                case RowOutcome::Gone:
                    marks.absentOrProtected = true;
                    break;
                case RowOutcome::InUse:
                    marks.inUse = true;
                    break;
                case RowOutcome::CannotWrite:
                    marks.cannotWrite = true;
                    break;
                case RowOutcome::NotDownloaded:
                    // The response list has no such mark: a slot without voice is simply passed over.
                    marks.notDownloaded = marks.notDownloaded || !m_request.responseList ||
                                          m_request.kind == DeleteKind::UnitOnly;
                    break;
                default:
                    break;
            }
        }
        return marks;
    }

    void summarizeRun(const Marks& marks) {
        if (m_result.connectionLost) {
            if (m_ftp != nullptr) {
                m_ftp->disconnect();
            }
            m_result.summary = RowRun::commErrorMessage();
            return;
        }
        m_result.summary = summarize(marks, m_result.deleted, m_rows.size(), m_request.responseList);
        m_result.success = m_result.summary.text == u"音声メッセージの消去が正常に完了しました。";
    }

    const DeleteRequest& m_request;
    CFtpMng* m_ftp;
    RowRun m_run;
    CFileMng m_files;
    std::vector<Row> m_rows;
    DeleteResult m_result;
};

}  // namespace

std::string boxOfFileName(const std::string& fileName) {
    if (fileName.size() < 16) {
        return {};
    }
    std::string box = fileName.substr(fileName.size() - 16, 4);
    if (!box.empty() && box.front() == 'R') {
        box.erase(0, 1);
    }
    for (char& c : box) {
        if (c == '_') {
            c = ' ';
        }
    }
    while (!box.empty() && box.back() == ' ') {
        box.pop_back();
    }
    return box;
}

std::string remotePathOf(const std::string& localPath, bool responseList) {
    const std::string fileName(paths::fileName(localPath));
    if (!naming::isMessageName(fileName) || paths::isUnsafeName(fileName)) {
        return {};
    }
    if (responseList) {
        return "/outou/" + naming::baseName(fileName) + std::string(naming::kVoiceExt);
    }
    const std::string box(paths::fileName(paths::parentOf(localPath)));
    if (box.empty() || paths::isUnsafeName(box)) {
        return {};
    }
    const bool extension = localPath.find("/naisen/") != std::string::npos;
    return std::string(extension ? "/naisen/" : "/rusuroku/") + box + "/" + naming::baseName(fileName) +
           std::string(naming::kInfoExt);
}

DeleteResult run(const DeleteRequest& request, CFtpMng* ftp, Flags& flags, const Pump& pump,
                 ProgressSink* progress) {
    return DeleteRun(request, ftp, flags, pump, progress).run();
}

}  // namespace voxmg::delete_op
