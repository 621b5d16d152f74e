#include "core/lists/convert_operation.h"

#include <filesystem>

#include "core/audio/wav_conversion.h"
#include "core/store/box_links.h"
#include "core/store/file_mng.h"

namespace voxmg {

namespace {

namespace fs = std::filesystem;

constexpr char kVoiceEnding[] = ".vmdat";
constexpr char kInfoEnding[] = ".vminf";

bool endsWith(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool isFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

std::uint64_t fileSize(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

audio::WavSaveSettings saveSettingsFor(const std::string& destination) {
    return {destination.empty() ? 0 : 1, destination};
}

// The marks the selection carries before anything is converted: info-only messages, and, in
// box lists, messages whose file is gone.
ConvertMarks prescan(const ConvertRequest& request) {
    ConvertMarks marks;
    for (const auto& row : request.rows) {
        if (row.path.empty()) {
            continue;  // an empty response slot
        }
        const bool exists = isFile(row.path);
        if (exists && row.state == 0) {
            marks.notDownloaded = true;
        } else if ((!exists || (endsWith(row.path, kInfoEnding) && row.state != 0)) && request.boxList) {
            marks.alreadyDeleted = true;
        }
    }
    return marks;
}

const char kSourceMissing[] = "音声ファイルは既に消去されています。";
const char kNotDownloaded[] = "音声ファイルがダウンロードされて\nいません。";
const char kNoSpace[] = "ＰＣのメモリ不足です。";
const char kFailed[] = "変換に失敗しました。";
const char kDoneCaption[] = "変換完了";
const char kErrorCaption[] = "エラー";

}  // namespace

bool hasRoomForWav(const std::string& voicePath, const std::string& target, const FreeSpaceProbe& probe) {
    if (!probe) {
        return true;
    }
    const auto free = probe(target);
    return !free || *free >= wavSpaceNeeded(fileSize(voicePath));
}

std::string wavPathFor(const std::string& messagePath, const std::string& destination) {
    std::string voice = messagePath;
    if (endsWith(voice, kInfoEnding)) {
        voice.replace(voice.size() - 6, 6, kVoiceEnding);
    } else if (!endsWith(voice, kVoiceEnding)) {
        return {};
    }
    return audio::wavTargetsFor(voice, saveSettingsFor(destination)).wavFile;
}

std::optional<UserText> convertRefusal(const ConvertRequest& request, const FreeSpaceProbe& probe) {
    if (request.rows.size() != 1) {
        return std::nullopt;
    }
    const ConvertMarks marks = prescan(request);
    if (marks.notDownloaded) {
        return UserText{kNotDownloaded, kErrorCaption};
    }
    if (marks.alreadyDeleted) {
        return UserText{kSourceMissing, kErrorCaption};
    }
    const std::string& path = request.rows.front().path;
    const std::string target =
        request.destination.empty() ? std::string(paths::parentOf(path)) : request.destination;
    if (endsWith(path, kVoiceEnding) && !hasRoomForWav(path, target, probe)) {
        return UserText{kNoSpace, kErrorCaption};
    }
    return std::nullopt;
}

namespace {

// What became of one row: the run goes on with the next row or stops here.
enum class Next { Row, Stop };

// One row: its WAV file made, unless the message is not here, has one already or finds no room.
Next convertRow(const ConvertRequest& request, ConvertEnv& env, const ConvertRow& row,
                ConvertFileResult& file, ConvertResult& result) {
    if (row.state == 0) {
        file.outcome = ConvertOutcome::NotDownloaded;
        return Next::Row;
    }
    if (!endsWith(row.path, kVoiceEnding) || !isFile(row.path)) {
        file.outcome = ConvertOutcome::Missing;
        // Gone since the run began (moved or deleted by another run): not a success either.
        result.marks.alreadyDeleted = result.marks.alreadyDeleted || request.boxList;
        return Next::Row;
    }
    if (request.destination.empty() && isInLinkedBox(row.path)) {
        // The WAV file would go beside the message, through a link out of the data folder.
        file.outcome = ConvertOutcome::Failed;
        result.marks.failed = true;
        return Next::Row;
    }
    if (isFile(file.wavPath)) {
        file.outcome = ConvertOutcome::AlreadyPresent;
        ++result.present;
        return Next::Row;
    }
    const std::string target =
        request.destination.empty() ? std::string(paths::parentOf(row.path)) : request.destination;
    if (!hasRoomForWav(row.path, target, env.freeSpace)) {
        // The disk stays full for the rest: stop here.
        file.outcome = ConvertOutcome::NoSpace;
        result.marks.noSpace = true;
        return Next::Stop;
    }
    const CFileMng files(env.flags);
    const audio::CallerContext caller{env.flags, env.pump, env.progress};
    if (files.convertToWav(env.engine, row.path, request.gainSetting, saveSettingsFor(request.destination),
                           caller) == FileOp::Done) {
        file.outcome = ConvertOutcome::Converted;
        ++result.converted;
        if (env.interrupt && env.interrupt()) {
            result.interrupted = true;
            return Next::Stop;
        }
    } else if (env.flags.cancelAll.load() != 0) {
        result.cancelled = true;
        return Next::Stop;
    } else {
        file.outcome = ConvertOutcome::Failed;
        result.marks.failed = true;
    }
    pumpOnce(env.pump);
    return Next::Row;
}

}  // namespace

ConvertResult convertMessages(const ConvertRequest& request, ConvertEnv& env) {
    WorkerPause pause(env.flags, env.pump);
    env.flags.cancelAll = 0;

    ConvertResult result;
    result.marks = prescan(request);
    for (const auto& row : request.rows) {
        result.files.push_back(
            {row.path, wavPathFor(row.path, request.destination), ConvertOutcome::NotReached});
    }
    for (std::size_t i = 0; i < request.rows.size(); ++i) {
        if (env.flags.cancelAll.load() != 0) {
            result.cancelled = true;
            break;
        }
        if (env.progress) {
            env.progress->nextFile();
        }
        if (convertRow(request, env, request.rows[i], result.files[i], result) == Next::Stop) {
            break;
        }
    }
    return result;
}

std::vector<UserText> convertSummary(const ConvertResult& result) {
    if (result.cancelled || result.interrupted) {
        return {};
    }
    const ConvertMarks& m = result.marks;
    if (!m.any()) {
        return {{"ＷＡＶファイルへの変換が正常に完了しました。", kDoneCaption, false}};
    }
    std::vector<UserText> out;
    // A WAV file that was there already is as good as one made now: only when no selected
    // message has its WAV file does the run count as failed throughout.
    if (result.converted + result.present == 0) {
        if (m.notDownloaded) {
            out.push_back({kNotDownloaded, kErrorCaption});
        }
        if (m.alreadyDeleted) {
            out.push_back({kSourceMissing, kErrorCaption});
        }
        if (m.noSpace) {
            out.push_back({kNoSpace, kErrorCaption});
        }
        if (m.failed) {
            out.push_back({kFailed, kErrorCaption});
        }
        return out;
    }
    const std::string partial = "一部の音声メッセージはＷＡＶファイルへ変換\nできませんでした";
    if (m.notDownloaded || m.alreadyDeleted) {
        out.push_back({partial + "(変換元の音声ファイルなし)。", kDoneCaption, false});
    }
    if (m.noSpace) {
        out.push_back({partial + "(ＰＣのメモリ不足)。", kDoneCaption, false});
    }
    if (m.failed) {
        out.push_back({partial + "(変換失敗)。", kDoneCaption, false});
    }
    return out;
}

bool convertSucceeded(const ConvertResult& result) {
    return !result.cancelled && !result.interrupted && !result.marks.any();
}

}  // namespace voxmg
