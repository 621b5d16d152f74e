#include "core/device/download_env.h"

#include "core/app/settings.h"
#include "core/audio/wav_conversion.h"
#include "core/base/flags.h"
#include "core/base/profile_file.h"
#include "core/base/text.h"
#include "core/store/file_mng.h"

namespace voxmg {

DownloadEnv makeDownloadEnv(const Settings& settings, std::string settingsPath,
                            audio::DecodingEngine& decoder, Flags& flags, Pump pump,
                            std::string programFolder) {
    DownloadEnv env;
    env.programFolder = std::move(programFolder);
    const Settings* live = &settings;
    auto wavSave = [live] {
        return audio::WavSaveSettings{live->wavSaveEnable, text::utf8FromUtf16(live->wavSavePath)};
    };
    env.convertOnDownload = [live] { return live->downConv == 1; };
    env.wavPathFor = [wavSave](const std::string& voicePath) {
        return audio::wavTargetsFor(voicePath, wavSave()).wavFile;
    };
    env.convertToWav = [live, wavSave, &decoder, &flags, pump](const std::string& voicePath,
                                                               ProgressSink* progress) {
        audio::CallerContext caller{flags, pump, progress};
        return CFileMng(flags).convertToWav(decoder, voicePath, live->levelOrWav, wavSave(), caller);
    };
    env.autoDeleteSelected = [path = std::move(settingsPath)](std::string_view kind, std::string_view box) {
        return profile::readInt(path, text::utf16FromUtf8(kind), text::utf16FromUtf8(box), 0) == 1;
    };
    return env;
}

}  // namespace voxmg
