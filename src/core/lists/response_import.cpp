#include "core/lists/response_import.h"

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
// minute gives the same base name.
void removeMessageFiles(const std::string& folder, const std::string& baseName,
                        std::initializer_list<std::string_view> keep) {
    const std::string base = text::asciiLower(baseName);
    std::vector<std::string> doomed;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string fileName = it->path().filename().string();
        const std::string name = text::asciiLower(fileName);
        if (std::find(keep.begin(), keep.end(), fileName) != keep.end()) {
            continue;
        }
        for (const char* ext : {".vmdat", ".vminf", ".wav", ".wma"}) {
            if (name == base + ext) {
                doomed.push_back(it->path().string());
            }
        }
    }
    for (const std::string& path : doomed) {
        removeFile(path);
    }
}

// A copy of `source` that stands under `target` only once it is complete and on the disk.
bool copyDurably(const std::string& source, const std::string& target, const std::string& temporary) {
    std::error_code ec;
    fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, ec);
    if (ec || !fileio::syncFile(temporary)) {
        removeFile(temporary);
        return false;
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        removeFile(temporary);
        return false;
    }
    fileio::syncFolder(paths::parentOf(target).empty() ? "." : std::string(paths::parentOf(target)));
    return true;
}

// Removes what an import created when it does not end in a message.
class Leftovers {
public:
    void add(std::string path) { m_paths.push_back(std::move(path)); }
    void keep() { m_paths.clear(); }
    ~Leftovers() {
        for (const std::string& path : m_paths) {
            removeFile(path);
        }
    }
    Leftovers() = default;
    Leftovers(const Leftovers&) = delete;
    Leftovers& operator=(const Leftovers&) = delete;

private:
    std::vector<std::string> m_paths;
};

}  // namespace

std::optional<std::string> messageInSlot(const std::string& responseFolder, int slot) {
    std::atomic<int> noCancel{0};
    CFileMng files(noCancel);
    std::vector<FILESTS_INFO> records;
    files.loadBoxFolder(responseFolder, records);
    char number[8];
    std::snprintf(number, sizeof number, "%03d", slot);
    const std::u16string text(number, number + 3);
    for (const FILESTS_INFO& record : records) {
        if (record.boxNumberText().substr(0, 3) == text) {
            return record.pathUtf8();
        }
    }
    return std::nullopt;
}

std::optional<ImportResult> precheck(const ImportRequest& request) {
    if (request.slot < 1 || request.slot > kSlots) {
        return refused(ImportOutcome::BadSlot, u"選択されていません。");
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
    const std::optional<std::string> old = messageInSlot(request.responseFolder, request.slot);
    const std::tm importTime = request.now();
    const std::string ext = importExtension(request.source);
    const std::string name = naming::responseMessageName(importTime, request.slot, ext);
    const std::string companion = paths::join(request.responseFolder, name);
    const std::string voiceName = name.substr(0, name.size() - 3) + "vmdat";
    const std::string voicePath = paths::join(request.responseFolder, voiceName);
    // Work files carry no message extension, so no list takes them for messages meanwhile.
    char slotText[8];
    std::snprintf(slotText, sizeof slotText, "%03d", request.slot);
    const std::string copyTemp =
        paths::join(request.responseFolder, std::string(".import-A") + slotText + ".src");
    const std::string framesTemp =
        paths::join(request.responseFolder, std::string(".import-A") + slotText + ".frames");

    // Reimporting into the same slot within the same minute gives the same names: the old
    // companion is then overwritten, and the old voice file replaced by the rename below.
    Leftovers leftovers;
    leftovers.add(framesTemp);
    if (!copyDurably(request.source, companion, copyTemp)) {
        return caller.flags.cancelAll.load() != 0 ? ImportResult{ImportOutcome::Cancelled, {}, {}, {}}
                                                  : unsupported();
    }
    leftovers.add(companion);

    if (caller.progress != nullptr) {
        caller.progress->beforeConversion();
    }
    const int gain = text::asciiLower(ext) == ".wav" ? request.gains.wav : request.gains.wma;
    if (audio::runEncodingJob(engine, companion, framesTemp, gain, caller) != 1) {
        if (caller.flags.cancelAll.load() != 0) {
            return {ImportOutcome::Cancelled, {}, {}, {}};
        }
        return unsupported();
    }
    // Less than 100 ms of frames would make a message of length 0: nothing to play.
    const std::optional<std::uint64_t> coded = fileio::fileSize(framesTemp);
    if (!coded || *coded < 100) {
        return refused(ImportOutcome::NoFrames, u"ＰＣのメモリ不足です。");
    }
    CFileMng files(caller.flags);
    if (files.buildImportedResponse(framesTemp, request.slot, importTime) != FileOp::Done) {
        return refused(ImportOutcome::NoFrames, u"ＰＣのメモリ不足です。");
    }
    std::error_code ec;
    fs::rename(framesTemp, voicePath, ec);
    if (ec) {
        return unsupported();
    }
    fileio::syncFolder(request.responseFolder);
    leftovers.keep();

    ImportResult result;
    result.outcome = ImportOutcome::Imported;
    result.voicePath = voicePath;
    // The old message goes only now that the new one is complete.
    if (old) {
        removeMessageFiles(request.responseFolder, naming::baseName(paths::fileName(*old)),
                           {voiceName, name});
        result.replacedPath = *old;
    }
    result.summary = {u"音声ファイルの読み込みが完了しました。", u"取り込み完了",
                      UserMessage::Icon::Information};
    return result;
}

}  // namespace voxmg::response_import
