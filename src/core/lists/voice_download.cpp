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

// What became of one row: the run goes on with the next row or stops here.
enum class Next { Row, Stop };

// One run over the selected rows; the members are the tallies the closing messages are made of.
class VoiceFetch {
public:
    VoiceFetch(const std::vector<std::string>& paths, CFtpMng& ftp, Flags& flags, const Pump& pump,
               ProgressSink* progress, const FreeSpaceProbe& freeSpace)
        : m_paths(paths),
          m_ftp(ftp),
          m_flags(flags),
          m_pump(pump),
          m_progress(progress),
          m_freeSpace(freeSpace) {}

    FetchResult run() {
        fetchAll();
        if (!m_result.cancelled) {
            report();
        }
        return std::move(m_result);
    }

private:
    // The worker stays paused for the fetches alone, however the loop ends; the closing
    // messages (and a disconnect after a failure) come after it is free again.
    void fetchAll() {
        const WorkerPause pause(m_flags, m_pump);
        m_flags.cancelAll = 0;
        if (m_progress != nullptr) {
            m_progress->setRange(100);
        }
        for (const std::string& path : m_paths) {
            m_result.rows.push_back({path, RowOutcome::NotReached});
        }
        for (RowResult& row : m_result.rows) {
            if (m_flags.cancelAll != 0) {
                m_result.cancelled = true;
                break;
            }
            if (fetchRow(row) == Next::Stop) {
                break;
            }
        }
    }

    Next fetchRow(RowResult& row) {
        const std::string fileName =
            naming::baseName(paths::fileName(row.path)) + std::string(naming::kVoiceExt);
        const std::string folder(paths::parentOf(row.path));
        const std::string box(paths::fileName(folder));
        if (box.empty() || paths::isUnsafeName(box) || !naming::isMessageName(paths::fileName(row.path))) {
            return passOverDeleted(row);
        }
        const bool extension = row.path.find("/naisen/") != std::string::npos;
        const std::string remoteDir = std::string(extension ? "/naisen/" : "/rusuroku/") + box;

        VoiceSizeResult size = m_ftp.voiceDataSize(fileName, folder, remoteDir);
        if (size.code == EngineResult::CommFailure) {
            m_last = size.code;
            row.outcome = RowOutcome::Failed;
            return Next::Stop;
        }
        if (!size.size) {
            return passOverDeleted(row);
        }
        auto room = m_freeSpace ? m_freeSpace(folder) : std::nullopt;
        if (room && *size.size > *room) {
            return stopForSpace(row);
        }
        if (m_progress != nullptr) {
            m_progress->setRange(static_cast<int>(*size.size / 1024));
        }
        m_last = m_ftp.fetchVoiceData(folder, remoteDir, fileName);
        return afterFetch(row, remoteDir + "/" + fileName);
    }

    Next afterFetch(RowResult& row, const std::string& remotePath) {
        if (m_last == EngineResult::FilesGone) {
            m_last = EngineResult::Done;
            return passOverDeleted(row);
        }
        if (m_last == EngineResult::Malformed) {
            // A broken file on the main unit, not a broken link: the others still come.
            row.outcome = RowOutcome::Malformed;
            m_malformed += u"\n" + text::utf16FromUtf8(remotePath);
            m_last = EngineResult::Done;
            return Next::Row;
        }
        if (m_last == EngineResult::DiskFull) {
            return stopForSpace(row);
        }
        if (m_last != EngineResult::Done) {
            row.outcome = RowOutcome::Failed;
            m_result.cancelled = m_flags.cancelAll != 0;
            return Next::Stop;
        }
        row.outcome = RowOutcome::Fetched;
        ++m_fetched;
        if (m_progress != nullptr) {
            m_progress->setPosition(-1);
            m_progress->nextFile();
        }
        pumpOnce(m_pump);
        return Next::Row;
    }

    Next passOverDeleted(RowResult& row) {
        row.outcome = RowOutcome::AlreadyDeleted;
        m_alreadyDeleted = true;
        return Next::Row;
    }

    Next stopForSpace(RowResult& row) {
        row.outcome = RowOutcome::NoSpace;
        m_noSpace = true;
        return Next::Stop;
    }

    void report() {
        if (!m_malformed.empty()) {
            m_result.messages.push_back(errorMessage(
                u"主装置の次のファイルは音声メッセージとして読めないため、\nダウンロードせずに主装置"
                u"に残しました：" +
                m_malformed));
            if (m_fetched == 0 && !m_alreadyDeleted && !m_noSpace && m_last == EngineResult::Done) {
                return;
            }
        }
        if (reportShortfall() || m_alreadyDeleted) {
            return;
        }
        if (m_last != EngineResult::Done) {
            // Also a conversion that failed after the fetch: the connection is in an unknown state.
            m_ftp.disconnect();
            m_result.connectionLost = true;
            m_result.messages.push_back(errorMessage(u"通信エラーが発生しました。"));
            return;
        }
        m_result.messages.push_back(doneMessage(u"ファイルのダウンロードが正常に完了しました。"));
        m_result.success = true;
    }

    // The texts for voice files that were gone or had no room; true when they end the report.
    bool reportShortfall() {
        const bool allFailed = m_fetched == 0;
        const bool oneRow = m_paths.size() == 1;
        if (m_alreadyDeleted) {
            if (oneRow || allFailed) {
                m_result.messages.push_back(errorMessage(u"音声ファイルは既に消去されています。"));
                if (allFailed && m_noSpace) {
                    m_result.messages.push_back(errorMessage(u"ＰＣのメモリ不足です。"));
                }
                m_result.refreshList = false;
                return true;
            }
            m_result.messages.push_back(
                doneMessage(u"一部の音声ファイルがダウンロードできませんでした\n(音声ファイルなし)。"));
        }
        if (m_noSpace) {
            m_result.messages.push_back(
                oneRow || allFailed
                    ? errorMessage(u"ＰＣのメモリ不足です。")
                    : doneMessage(u"一部の音声ファイルがダウンロードできませんでした\n(ＰＣのメモリ不足)。"));
            m_result.refreshList = false;
            return true;
        }
        return false;
    }

    const std::vector<std::string>& m_paths;
    CFtpMng& m_ftp;
    Flags& m_flags;
    const Pump& m_pump;
    ProgressSink* m_progress;
    const FreeSpaceProbe& m_freeSpace;
    FetchResult m_result;
    bool m_alreadyDeleted = false;
    bool m_noSpace = false;
    EngineResult m_last = EngineResult::Done;
    int m_fetched = 0;
    std::u16string m_malformed;  // files of the main unit that are no message, one a line
};

}  // namespace

FetchResult run(const std::vector<std::string>& paths, CFtpMng& ftp, Flags& flags, const Pump& pump,
                ProgressSink* progress, const FreeSpaceProbe& freeSpace) {
    return VoiceFetch(paths, ftp, flags, pump, progress, freeSpace).run();
}

}  // namespace voxmg::voice_download
