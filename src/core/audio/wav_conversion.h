#pragma once

#include <optional>
#include <string>

#include "core/audio/decoding_engine.h"
#include "core/audio/poll_job.h"

// Conversion of a voice data file to a WAV file: the operation the message store offers as
// "convert to WAV". It copies the frames of the file into a frame file, drives the decoding
// engine while keeping the caller's dialog live, and cleans up. Results: 1 when the WAV file
// was written, 0 otherwise; on 0 no WAV file and no frame file remain.
namespace voxmg::audio {

// Where a voice data file's frames start: behind the 990-byte message record and the
// 256-byte main unit header.
inline constexpr std::size_t kVoiceFramesOffset = 990 + 256;

struct WavSaveSettings {
    int enable = 0;    // WavSave/Enable: 1 = write WAV files into `path`
    std::string path;  // WavSave/Path
};

struct WavTargets {
    std::string frameFile;  // the bare frames, only during the conversion (".tmp")
    std::string wavFile;
};

// The frame file and WAV file for a voice data file: beside it, or in the WAV save folder
// when that is switched on. Doubled separators in the path are folded first.
WavTargets wavTargetsFor(const std::string& voicePath, const WavSaveSettings& wavSave);

// `gainSetting`: the LEVELRVORWAV setting as stored. `caller.progress` null means a
// background conversion (no progress shown).
int convertVoiceFileToWav(DecodingEngine& engine, const std::string& voicePath, int gainSetting,
                          const WavSaveSettings& wavSave, const CallerContext& caller);

// The same with the two output paths given.
int convertVoiceFileToWavAt(DecodingEngine& engine, const std::string& voicePath, const WavTargets& targets,
                            int gainSetting, const CallerContext& caller);

}  // namespace voxmg::audio
