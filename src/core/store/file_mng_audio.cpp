// The message store's audio operations: the conversion engine does the work on its workers.
#include "core/audio/audio_import.h"
#include "core/audio/wav_conversion.h"
#include "core/store/file_mng.h"

namespace voxmg {

FileOp CFileMng::convertToWav(audio::DecodingEngine& engine, const std::string& voicePath, int gainSetting,
                              const audio::WavSaveSettings& wavSave,
                              const audio::CallerContext& caller) const {
    return audio::convertVoiceFileToWav(engine, voicePath, gainSetting, wavSave, caller) == 1
               ? FileOp::Done
               : FileOp::NotDone;
}

FileOp CFileMng::importAudio(audio::EncodingEngine& engine, const std::string& source,
                             const std::string& extension, const audio::ImportGains& gains,
                             const audio::CallerContext& caller) const {
    return audio::importAudioFile(engine, source, extension, gains, caller) == 1 ? FileOp::Done
                                                                                 : FileOp::NotDone;
}

}  // namespace voxmg
