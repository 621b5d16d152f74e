#include "core/lists/response_upload.h"

#include <span>

#include "core/base/paths.h"
#include "core/device/ftp_mng.h"
#include "core/lists/convert_operation.h"
#include "core/store/file_io.h"
#include "core/store/file_mng.h"
#include "core/store/file_naming.h"

namespace voxmg::response_upload {

namespace {

// The main unit's bytes of a message file: everything after the record. Nothing when the file
// is gone or cannot hold a header.
std::optional<std::vector<std::uint8_t>> unitBytes(const std::string& path) {
    auto bytes = fileio::readAll(path);
    if (!bytes || bytes->size() < kFramesOffset) {
        return std::nullopt;
    }
    bytes->erase(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(kRecordSize));
    return bytes;
}

// The "済み" mark follows what the main unit holds: set after a complete store, cleared after
// anything else, since a broken or refused store may have left no message there.
void markUploaded(const CFileMng& files, const std::string& path, bool uploaded) {
    FILESTS_INFO record;
    if (files.readRecord(path, record)) {
        record.played = uploaded ? 1 : 0;
        files.writeBackRecord(record, path);
    }
}

const std::u16string kComplete = u"アップロードが完了しました。";
const std::u16string kRefused =
    u"メッセージを使用中か主装置の容量不足\nもしくはアップロードするメッセージが古いため、\nアップロードでき"
    u"ませんでした。";

UserMessage summarize(const UploadResult& result, bool refusal) {
    if (!refusal) {
        return {kComplete, u"アップロード完了", UserMessage::Icon::Information};
    }
    if (result.rows.size() > 1 && result.uploaded > 0) {
        return {u"一部のファイルをアップロード\nできませんでした。", u"エラー",
                UserMessage::Icon::Information};
    }
    return {kRefused, u"エラー", UserMessage::Icon::Exclamation};
}

}  // namespace

UploadResult run(const UploadRequest& request, CFtpMng& ftp, Flags& flags, const Pump& pump,
                 ProgressSink* progress) {
    UploadResult result;
    WorkerPause pause(flags, pump);
    flags.cancelAll = 0;
    CFileMng files(flags);
    if (progress != nullptr) {
        progress->setRange(static_cast<int>(request.paths.size()));
    }
    bool refusal = false;
    bool stopped = false;
    int position = 0;
    for (const std::string& path : request.paths) {
        RowResult& row = result.rows.emplace_back(RowResult{path, RowOutcome::Skipped});
        if (stopped) {
            continue;
        }
        if (flags.cancelAll != 0) {
            result.cancelled = stopped = true;
            continue;
        }
        const std::string fileName(paths::fileName(path));
        // Only voice data files go up: an empty slot, or a row that is not one, is passed over.
        if (!path.empty() && naming::isVoiceName(fileName)) {
            const auto bytes = unitBytes(path);
            if (!bytes) {
                row.outcome = RowOutcome::Missing;
                refusal = true;
            } else {
                const TransferResult rc =
                    ftp.uploadResponseMessage(*bytes, fileName, std::string(paths::parentOf(path)));
                const bool done = rc == TransferResult::Done;
                markUploaded(files, path, done);
                if (flags.cancelAll != 0) {
                    row.outcome = done ? RowOutcome::Uploaded : RowOutcome::Cancelled;
                    result.uploaded += done ? 1 : 0;
                    result.cancelled = stopped = true;
                    continue;
                }
                if (done) {
                    row.outcome = RowOutcome::Uploaded;
                    ++result.uploaded;
                } else if (code(rc) == 450) {
                    row.outcome = RowOutcome::Refused;
                    refusal = true;
                } else {
                    row.outcome = RowOutcome::CommError;
                    result.connectionLost = stopped = true;
                    continue;
                }
            }
        }
        if (progress != nullptr) {
            progress->setPosition(++position);
        }
        pumpOnce(pump);
        if (request.interrupt && request.interrupt()) {
            result.interrupted = stopped = true;
        }
    }
    if (result.connectionLost) {
        ftp.disconnect();
        result.summary = {u"通信エラーが発生しました。", u"エラー", UserMessage::Icon::Exclamation};
        return result;
    }
    if (result.cancelled || result.interrupted) {
        return result;
    }
    result.summary = summarize(result, refusal);
    result.success = !refusal;
    return result;
}

}  // namespace voxmg::response_upload
