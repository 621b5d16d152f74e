#include "core/lists/response_import.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/base/text.h"
#include "core/device/listing_lines.h"
#include "core/lists/convert_operation.h"
#include "core/store/box_links.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg::response_import {

namespace {

namespace fs = std::filesystem;

void removeFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

UserMessage error(std::u16string text) {
    return {std::move(text), u"エラー", UserMessage::Icon::Exclamation};
}

ImportResult refused(ImportOutcome outcome, std::u16string text) {
    ImportResult result;
    result.outcome = outcome;
    result.summary = error(std::move(text));
    return result;
}

ImportResult cannotWrite(const std::string& responseFolder) {
    return refused(ImportOutcome::CannotWrite,
                   u"書き込みできません。\n" + text::utf16FromUtf8(responseFolder));
}

ImportResult unsupported() {
    return refused(ImportOutcome::Unsupported, u"このフォーマットには対応していません。");
}

// ".wav" or ".wma" in the case the user's file has it; empty for anything else.
std::string importExtension(const std::string& source) {
    const std::string name(paths::fileName(source));
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) {
        return {};
    }
    const std::string ext = name.substr(dot);
    const std::string lower = text::asciiLower(ext);
    return lower == ".wav" || lower == ".wma" ? ext : std::string();
}

// The files of one message that go with it when it is replaced, whatever the case of their
// extension: an earlier import left its source as ".WAV" or ".WMA" beside the voice file, and
// a conversion its ".wav". The new message's own files are kept: an import within the same
// minute gives the same base name. The voice file goes last, so a run killed in between
// leaves a message without its audio copy rather than an audio copy without its message.
void removeMessageFiles(const std::string& folder, const std::string& baseName,
                        std::initializer_list<std::string_view> keep) {
    const std::string base = text::asciiLower(baseName);
    std::vector<std::string> doomed;
    for (const char* ext : {".wav", ".wma", ".vminf", ".vmdat"}) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string fileName = it->path().filename().string();
            if (std::find(keep.begin(), keep.end(), fileName) == keep.end() &&
                text::asciiLower(fileName) == base + ext) {
                doomed.push_back(it->path().string());
            }
        }
    }
    for (const std::string& path : doomed) {
        removeFile(path);
    }
}

// Work folders of imports carry this prefix: hidden, and no list takes them for messages.
constexpr std::string_view kWorkPrefix = ".import-";

// What killed imports left in the response folder: their work folders, and audio copies
// (".WAV", ".wav", ".WMA", ".wma") whose voice file is missing, which no list shows and
// nothing else would ever remove. Runs only inside an import, which changes the folder anyway.
void removeLeftovers(const std::string& folder) {
    std::vector<fs::path> doomed;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(kWorkPrefix)) {
            doomed.push_back(it->path());
            continue;
        }
        const std::string lower = text::asciiLower(name);
        std::error_code typeError;
        if (!(lower.ends_with(".wav") || lower.ends_with(".wma")) || !it->is_regular_file(typeError)) {
            continue;
        }
        const fs::path voice = it->path().parent_path() / (name.substr(0, name.size() - 4) + ".vmdat");
        std::error_code statusError;
        const fs::file_status status = fs::symlink_status(voice, statusError);
        if (status.type() == fs::file_type::not_found) {
            doomed.push_back(it->path());
        }
    }
    for (const fs::path& path : doomed) {
        std::error_code ignored;
        // remove_all takes a symbolic link itself away, never what it points to.
        fs::remove_all(path, ignored);
    }
}

// A folder of this run's own beside the messages (same file system, so its files are renamed
// into place), mode 0700, removed with whatever is still in it when the object goes.
class WorkFolder {
public:
    explicit WorkFolder(const std::string& parent) {
        std::string pattern = paths::join(parent, std::string(kWorkPrefix) + "XXXXXX");
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~WorkFolder() {
        if (!m_path.empty()) {
            std::error_code ignored;
            fs::remove_all(m_path, ignored);
        }
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    bool valid() const { return !m_path.empty(); }
    std::string file(const char* name) const { return paths::join(m_path, name); }

private:
    std::string m_path;
};

// A copy of `source` that is complete and on the disk.
bool copyDurably(const std::string& source, const std::string& target) {
    std::error_code ec;
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
    return !ec && fileio::syncFile(target);
}

// The voice data files holding slot `slot` (the list's reading: the record's number). A
// killed replacement can leave two.
std::vector<std::string> messagesInSlot(const std::string& responseFolder, int slot) {
    std::atomic<int> noCancel{0};
    CFileMng files(noCancel);
    std::vector<FILESTS_INFO> records;
    files.loadBoxFolder(responseFolder, records);
    char number[8];
    std::snprintf(number, sizeof number, "%03d", slot);
    const std::u16string text(number, number + 3);
    std::vector<std::string> found;
    for (const FILESTS_INFO& record : records) {
        if (record.boxNumberText().substr(0, 3) == text) {
            found.push_back(record.pathUtf8());
        }
    }
    return found;
}

// The names one import gives the new message in the response folder. Reimporting into the
// same slot within the same minute gives the same names.
struct ImportNames {
    std::tm time{};
    std::string ext;        // the user's file's extension, in its own case
    std::string companion;  // the user's file kept beside the message
    std::string voiceName;
    std::string voicePath;
};

ImportNames namesFor(const ImportRequest& request) {
    ImportNames names;
    names.time = request.now();
    names.ext = importExtension(request.source);
    const std::string name = naming::responseMessageName(names.time, request.slot, names.ext);
    names.companion = paths::join(request.responseFolder, name);
    names.voiceName = name.substr(0, name.size() - 3) + "vmdat";
    names.voicePath = paths::join(request.responseFolder, names.voiceName);
    return names;
}

// The user's file copied into the work folder and coded there into the new message's voice
// file; a refusal (or the cancel) when it could not be.
std::optional<ImportResult> encode(const ImportRequest& request, const ImportNames& names,
                                   const WorkFolder& work, audio::EncodingEngine& engine,
                                   const audio::CallerContext& caller) {
    const std::string copyTemp = work.file("source");
    const std::string framesTemp = work.file("frames");
    if (!copyDurably(request.source, copyTemp)) {
        return caller.flags.cancelAll.load() != 0 ? ImportResult{ImportOutcome::Cancelled, {}, {}, {}}
                                                  : unsupported();
    }
    if (caller.progress != nullptr) {
        caller.progress->beforeConversion();
    }
    const int gain = text::asciiLower(names.ext) == ".wav" ? request.gains.wav : request.gains.wma;
    if (audio::runEncodingJob(engine, copyTemp, framesTemp, gain, caller) != 1) {
        if (caller.flags.cancelAll.load() != 0) {
            return ImportResult{ImportOutcome::Cancelled, {}, {}, {}};
        }
        return unsupported();
    }
    // Less than 100 ms of frames would make a message of length 0: nothing to play.
    const std::optional<std::uint64_t> coded = fileio::fileSize(framesTemp);
    if (!coded || *coded < 100) {
        return refused(ImportOutcome::NoFrames, u"ＰＣのメモリ不足です。");
    }
    CFileMng files(caller.flags);
    if (files.buildImportedResponse(framesTemp, request.slot, names.time) != FileOp::Done) {
        return refused(ImportOutcome::NoFrames, u"ＰＣのメモリ不足です。");
    }
    return std::nullopt;
}

// The coded message under its name, then the user's file beside it, then the slot's old
// message removed.
ImportResult install(const ImportRequest& request, const ImportNames& names, const WorkFolder& work,
                     const std::vector<std::string>& old) {
    // The message first, its audio copy after it: a run killed in between leaves a message
    // without the copy, never a copy that no list shows. Same names as the old message's
    // replace its files.
    std::error_code ec;
    fs::rename(work.file("frames"), names.voicePath, ec);
    if (ec) {
        return unsupported();
    }
    // A copy that cannot take its name goes with the work folder: the message stands without it.
    fs::rename(work.file("source"), names.companion, ec);
    fileio::syncFolder(request.responseFolder);

    ImportResult result;
    result.outcome = ImportOutcome::Imported;
    result.voicePath = names.voicePath;
    // The old message goes only now that the new one is complete.
    const std::string companionName(paths::fileName(names.companion));
    for (const std::string& replaced : old) {
        removeMessageFiles(request.responseFolder, naming::baseName(paths::fileName(replaced)),
                           {names.voiceName, companionName});
        if (result.replacedPath.empty()) {
            result.replacedPath = replaced;
        }
    }
    result.summary = {u"音声ファイルの読み込みが完了しました。", u"取り込み完了",
                      UserMessage::Icon::Information};
    return result;
}

}  // namespace

std::optional<std::string> messageInSlot(const std::string& responseFolder, int slot) {
    std::vector<std::string> found = messagesInSlot(responseFolder, slot);
    return found.empty() ? std::nullopt : std::optional<std::string>(std::move(found.front()));
}

std::optional<ImportResult> precheck(const ImportRequest& request) {
    if (request.slot < 1 || request.slot > kSlots) {
        return refused(ImportOutcome::BadSlot, u"選択されていません。");
    }
    if (isLinkedBox(request.responseFolder)) {
        // A response folder that is a link lies outside the data folder: nothing goes there.
        return cannotWrite(request.responseFolder);
    }
    if (!request.replace && messageInSlot(request.responseFolder, request.slot)) {
        char number[8];
        std::snprintf(number, sizeof number, "%03d", request.slot);
        return refused(ImportOutcome::SlotTaken, u"メッセージ" + std::u16string(number, number + 3) +
                                                     u"は既に存在します。\n上書きしますか？");
    }
    std::error_code ec;
    // Only a plain file: a FIFO or a device would hold the import up for ever.
    if (!fs::is_regular_file(request.source, ec)) {
        return unsupported();
    }
    const std::uintmax_t size = fs::file_size(request.source, ec);
    if (ec) {
        return unsupported();
    }
    const std::optional<std::uint64_t> room =
        request.freeSpace ? request.freeSpace(request.responseFolder) : std::nullopt;
    if (room && *room < listing::retrievalSpace(size)) {
        return refused(ImportOutcome::NoSpace, u"ＰＣのメモリ不足です。");
    }
    const std::string ext = text::asciiLower(importExtension(request.source));
    if (ext.empty() || (ext == ".wav" && !audio::wavPrecheck(request.source)) ||
        (ext == ".wma" && !audio::wmaPrecheck(request.source, request.duration))) {
        return unsupported();
    }
    return std::nullopt;
}

ImportResult run(const ImportRequest& request, audio::EncodingEngine& engine,
                 const audio::CallerContext& caller) {
    if (auto refusal = precheck(request)) {
        return *refusal;
    }
    // The response folder is the always-download worker's too. A cancel left from an earlier
    // operation or a logout must not end this one before it starts.
    WorkerPause pause(caller.flags, caller.pump);
    caller.flags.cancelAll = 0;
    removeLeftovers(request.responseFolder);
    const std::vector<std::string> old = messagesInSlot(request.responseFolder, request.slot);
    const ImportNames names = namesFor(request);
    // Every work file is this run's own: two imports at once, from the window and voxmgctl,
    // must not write into each other's files.
    const WorkFolder work(request.responseFolder);
    if (!work.valid()) {
        return cannotWrite(request.responseFolder);
    }
    if (auto failure = encode(request, names, work, engine, caller)) {
        return *failure;
    }
    return install(request, names, work, old);
}

}  // namespace voxmg::response_import
