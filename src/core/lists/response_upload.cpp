#include "core/lists/response_upload.h"

#include <span>

#include "core/base/paths.h"
#include "core/device/ftp_mng.h"
#include "core/lists/convert_operation.h"
#include "core/lists/row_run.h"
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

// One upload over the rows, in list order; a communication error, a cancel or a backup that
// takes over stops it, and the rows after it stay skipped. Used once: the worker is paused while
// it lives.
class Upload {
public:
    Upload(const UploadRequest& request, CFtpMng& ftp, Flags& flags, const Pump& pump, ProgressSink* progress)
        : m_request(request),
          m_ftp(ftp),
          m_run(flags, pump, progress, static_cast<int>(request.paths.size())),
          m_files(flags) {}

    UploadResult run() {
        for (const std::string& path : m_request.paths) {
            RowResult& row = m_result.rows.emplace_back(RowResult{path, RowOutcome::Skipped});
            if (!m_stopped) {
                uploadRow(row);
            }
        }
        summarizeRun();
        return std::move(m_result);
    }

private:
    void uploadRow(RowResult& row) {
        if (m_run.cancelled()) {
            m_result.cancelled = m_stopped = true;
            return;
        }
        // Only voice data files go up: an empty slot, or a row that is not one, is passed over.
        if (!row.path.empty() && naming::isVoiceName(paths::fileName(row.path)) && !sendMessage(row)) {
            return;
        }
        m_run.step();
        if (m_request.interrupt && m_request.interrupt()) {
            m_result.interrupted = m_stopped = true;
        }
    }

    // Stores one message on the main unit; false when the run stops with it.
    bool sendMessage(RowResult& row) {
        const auto bytes = unitBytes(row.path);
        if (!bytes) {
            row.outcome = RowOutcome::Missing;
            m_refusal = true;
            return true;
        }
        const std::string fileName(paths::fileName(row.path));
        const TransferResult rc =
            m_ftp.uploadResponseMessage(*bytes, fileName, std::string(paths::parentOf(row.path)));
        const bool done = rc == TransferResult::Done;
        markUploaded(m_files, row.path, done);
        if (m_run.cancelled()) {
            row.outcome = done ? RowOutcome::Uploaded : RowOutcome::Cancelled;
            m_result.uploaded += done ? 1 : 0;
            m_result.cancelled = m_stopped = true;
            return false;
        }
        if (done) {
            row.outcome = RowOutcome::Uploaded;
            ++m_result.uploaded;
        } else if (code(rc) == 450) {
            row.outcome = RowOutcome::Refused;
            m_refusal = true;
        } else {
            row.outcome = RowOutcome::CommError;
            m_result.connectionLost = m_stopped = true;
            return false;
        }
        return true;
    }

    void summarizeRun() {
        if (m_result.connectionLost) {
            m_ftp.disconnect();
            m_result.summary = RowRun::commErrorMessage();
            return;
        }
        if (m_result.cancelled || m_result.interrupted) {
            return;
        }
        m_result.summary = summarize(m_result, m_refusal);
        m_result.success = !m_refusal;
    }

    const UploadRequest& m_request;
    CFtpMng& m_ftp;
    RowRun m_run;
    CFileMng m_files;
    UploadResult m_result;
    bool m_refusal = false;
    bool m_stopped = false;
};

}  // namespace

UploadResult run(const UploadRequest& request, CFtpMng& ftp, Flags& flags, const Pump& pump,
                 ProgressSink* progress) {
    return Upload(request, ftp, flags, pump, progress).run();
}

}  // namespace voxmg::response_upload
