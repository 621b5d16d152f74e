#include "core/lists/play_operation.h"

#include <filesystem>

#include "core/audio/wav_conversion.h"
#include "core/store/file_mng.h"

namespace voxmg {

namespace {

bool endsWith(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool isFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

}  // namespace

bool markPlayedOnPc(const CFileMng& files, const std::string& path) {
    FILESTS_INFO record;
    if (!files.readRecord(path, record)) {
        return false;
    }
    record.played = 1;
    return files.writeBackRecord(record, path) == FileOp::Done;
}

PlayOutcome playMessage(const PlayRequest& request, ConvertEnv& env, const PlayHooks& hooks) {
    PlayOutcome out;
    if (!endsWith(request.path, ".vmdat")) {
        out.result = PlayResult::NotDownloaded;
        return out;
    }
    const audio::WavSaveSettings beside{};
    out.wavPath = audio::wavTargetsFor(request.path, beside).wavFile;

    // The conversion and the record write-back touch message files: always-download waits.
    WorkerPause pause(env.flags, env.pump);
    const CFileMng files(env.flags);
    if (!isFile(out.wavPath)) {
        if (!isFile(request.path)) {
            out.result = PlayResult::Missing;
            return out;
        }
        if (!hasRoomForWav(request.path, out.wavPath, env.freeSpace)) {
            out.result = PlayResult::NoSpace;
            return out;
        }
        if (hooks.beforeConversion) {
            hooks.beforeConversion();
        }
        env.flags.cancelAll = 0;
        const audio::CallerContext caller{env.flags, env.pump, env.progress};
        if (env.progress) {
            env.progress->nextFile();
        }
        if (files.convertToWav(env.engine, request.path, request.gainSetting, beside, caller) !=
            FileOp::Done) {
            out.result = env.flags.cancelAll.load() != 0 ? PlayResult::Cancelled : PlayResult::ConvertFailed;
            return out;
        }
        out.converted = true;
    }
    if (!hooks.open || !hooks.open(out.wavPath)) {
        out.result = PlayResult::NoPlayer;
        return out;
    }
    out.result = PlayResult::Played;
    // In a response list the byte means "uploaded" and is not the player's to set.
    if (request.boxList) {
        out.marked = markPlayedOnPc(files, request.path);
    }
    return out;
}

std::optional<UserText> playMessageText(PlayResult result) {
    switch (result) {
        case PlayResult::NotDownloaded:
            return UserText{"音声ファイルがダウンロードされていません。", "エラー"};
        case PlayResult::Missing:
            return UserText{"音声ファイルは既に消去されています。", "エラー"};
        case PlayResult::NoSpace:
            return UserText{"ＰＣのメモリ不足です。", "エラー"};
        case PlayResult::ConvertFailed:
            return UserText{"変換に失敗しました。", "エラー"};
        case PlayResult::NoPlayer:
            return UserText{"ＷＡＶファイルを再生できるアプリケーションがありません。", "エラー"};
        case PlayResult::Played:
        case PlayResult::Cancelled:
            break;
    }
    return std::nullopt;
}

}  // namespace voxmg
