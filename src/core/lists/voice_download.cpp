#include "core/lists/voice_download.h"

#include "core/base/text.h"
#include "core/device/ftp_mng.h"
#include "core/store/file_naming.h"

namespace voxmg::voice_download {

namespace {

UserMessage errorMessage(std::u16string text) {
    return {std::move(text), u"エラー", UserMessage::Icon::Exclamation};
}

UserMessage doneMessage(std::u16string text) {
    return {std::move(text), u"ダウンロード完了", UserMessage::Icon::Information};
}

}  // namespace

FetchResult run(const std::vector<std::string>& paths, CFtpMng& ftp, Flags& flags, const Pump& pump,
                ProgressSink* progress, const FreeSpaceProbe& freeSpace) {
    FetchResult result;
    flags.pauseWorker(1, pump);
    flags.cancelAll = 0;
    if (progress != nullptr) {
        progress->setRange(100);
    }
    bool alreadyDeleted = false;
    bool noSpace = false;
    EngineResult last = EngineResult::Done;
    int fetched = 0;
    std::u16string malformed;  // files of the main unit that are no message, one a line
    for (const std::string& path : paths) {
        result.rows.push_back({path, RowOutcome::NotReached});
    }
    for (RowResult& row : result.rows) {
        if (flags.cancelAll != 0) {
            result.cancelled = true;
            break;
        }
        const std::string fileName =
            naming::baseName(paths::fileName(row.path)) + std::string(naming::kVoiceExt);
        const std::string folder(paths::parentOf(row.path));
        const std::string box(paths::fileName(folder));
        if (box.empty() || paths::isUnsafeName(box) || !naming::isMessageName(paths::fileName(row.path))) {
            row.outcome = RowOutcome::AlreadyDeleted;
            alreadyDeleted = true;
            continue;
        }
        const bool extension = row.path.find("/naisen/") != std::string::npos;
        const std::string remoteDir = std::string(extension ? "/naisen/" : "/rusuroku/") + box;

        VoiceSizeResult size = ftp.voiceDataSize(fileName, folder, remoteDir);
        if (size.code == EngineResult::CommFailure) {
            last = size.code;
            row.outcome = RowOutcome::Failed;
            break;
        }
        if (!size.size) {
            row.outcome = RowOutcome::AlreadyDeleted;
            alreadyDeleted = true;
            continue;
        }
        auto room = freeSpace ? freeSpace(folder) : std::nullopt;
        if (room && *size.size > *room) {
            row.outcome = RowOutcome::NoSpace;
            noSpace = true;
            break;
        }
        if (progress != nullptr) {
            progress->setRange(static_cast<int>(*size.size / 1024));
        }
        last = ftp.fetchVoiceData(folder, remoteDir, fileName);
        if (last == EngineResult::FilesGone) {
            row.outcome = RowOutcome::AlreadyDeleted;
            alreadyDeleted = true;
            last = EngineResult::Done;
            continue;
        }
        if (last == EngineResult::Malformed) {
            // A broken file on the main unit, not a broken link: the others still come.
            row.outcome = RowOutcome::Malformed;
            malformed += u"\n" + text::utf16FromUtf8(remoteDir + "/" + fileName);
            last = EngineResult::Done;
            continue;
        }
        if (last == EngineResult::DiskFull) {
            row.outcome = RowOutcome::NoSpace;
            noSpace = true;
            break;
        }
        if (last != EngineResult::Done) {
            row.outcome = RowOutcome::Failed;
            result.cancelled = flags.cancelAll != 0;
            break;
        }
        row.outcome = RowOutcome::Fetched;
        ++fetched;
        if (progress != nullptr) {
            progress->setPosition(-1);
            progress->nextFile();
        }
        pumpOnce(pump);
    }
    flags.resumeWorker();
    if (result.cancelled) {
        return result;
    }
    if (!malformed.empty()) {
        result.messages.push_back(
            errorMessage(u"主装置の次のファイルは音声メッセージとして読めないため、\nダウンロードせずに主装置"
                         u"に残しました：" +
                         malformed));
        if (fetched == 0 && !alreadyDeleted && !noSpace && last == EngineResult::Done) {
            return result;
        }
    }

    const bool allFailed = fetched == 0;
    const bool oneRow = paths.size() == 1;
    if (alreadyDeleted) {
        if (oneRow || allFailed) {
            result.messages.push_back(errorMessage(u"音声ファイルは既に消去されています。"));
            if (allFailed && noSpace) {
                result.messages.push_back(errorMessage(u"ＰＣのメモリ不足です。"));
            }
            result.refreshList = false;
            return result;
        }
        result.messages.push_back(
            doneMessage(u"一部の音声ファイルがダウンロードできませんでした\n(音声ファイルなし)。"));
    }
    if (noSpace) {
        result.messages.push_back(
            oneRow || allFailed
                ? errorMessage(u"ＰＣのメモリ不足です。")
                : doneMessage(u"一部の音声ファイルがダウンロードできませんでした\n(ＰＣのメモリ不足)。"));
        result.refreshList = false;
        return result;
    }
    if (alreadyDeleted) {
        return result;
    }
    if (last != EngineResult::Done) {
        // Also a conversion that failed after the fetch: the connection is in an unknown state.
        ftp.disconnect();
        result.connectionLost = true;
        result.messages.push_back(errorMessage(u"通信エラーが発生しました。"));
        return result;
    }
    result.messages.push_back(doneMessage(u"ファイルのダウンロードが正常に完了しました。"));
    result.success = true;
    return result;
}

}  // namespace voxmg::voice_download
