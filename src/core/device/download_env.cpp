#include "core/device/download_env.h"

#include "core/audio/wav_conversion.h"
#include "core/base/flags.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/settings/settings.h"
#include "core/store/file_mng.h"

namespace voxmg {

namespace {

audio::WavSaveSettings wavSaveOf(const DownloadSettings& s) {
    return audio::WavSaveSettings{s.wavSaveEnable ? 1 : 0, s.wavSavePath};
}

}  // namespace

DownloadSettings downloadSettingsOf(const Settings& settings) {
    return DownloadSettings{settings.downConv, settings.levelOrWav, settings.wavSaveEnable,
                            text::utf8FromUtf16(settings.wavSavePath.str())};
}

DownloadEnv makeDownloadEnv(const Settings& settings, std::string settingsPath,
                            audio::DecodingEngine& decoder, Flags& flags, Pump pump,
                            std::string programFolder) {
    DownloadEnv env;
    env.settings = downloadSettingsOf(settings);
    env.programFolder = std::move(programFolder);
    env.wavPathFor = [](const std::string& voicePath, const DownloadSettings& s) {
        return audio::wavTargetsFor(voicePath, wavSaveOf(s)).wavFile;
    };
    env.convertToWav = [&decoder, &flags, pump](const std::string& voicePath, const DownloadSettings& s,
                                                ProgressSink* progress, std::atomic<int>& cancel) {
        audio::CallerContext caller{flags, pump, progress, &cancel};
        return CFileMng(cancel).convertToWav(decoder, voicePath, s.wavGain, wavSaveOf(s), caller);
    };
    env.autoDeleteSelected = [path = std::move(settingsPath)](std::string_view kind, std::string_view box) {
        return profile::readInt(path, text::utf16FromUtf8(kind), text::utf16FromUtf8(box), 0) == 1;
    };
    return env;
}

}  // namespace voxmg
