#pragma once

#include <cstdint>
#include <string>

#include "core/audio/encoding_engine.h"
#include "core/audio/media_source.h"
#include "core/audio/poll_job.h"

// Import of a WAV or WMA file as bare G.729 frames: the prechecks that refuse unsuitable
// files before anything is copied, and the import call the message store offers.
namespace voxmg::audio {

// Longest source the main unit takes as a response message, in seconds.
inline constexpr int kLongestImportSeconds = 601;
// A WAV source may hold at most this many bytes (614.4 s of 16-bit PCM at 8000 Hz).
inline constexpr std::uint64_t kMaxWavBytes = 9'830'400;
// A WMA source may play at most this many tenths of a second (so 600,099 ms passes and
// 600,100 ms does not).
inline constexpr std::int64_t kMaxWmaTenths = 6000;

// True for a file whose name contains ".wav" (any case), of at most kMaxWavBytes bytes, whose
// header says 16-bit mono PCM at 8000 samples per second.
bool wavPrecheck(const std::string& path);

// True when the decoder can open the file and reports a playing length of at most
// kMaxWmaTenths tenths of a second.
bool wmaPrecheck(const std::string& path, const DurationProbe& duration = &ffmpegDurationMs);

struct ImportGains {
    int wav = 0;  // LEVELRVWAVOR, as stored
    int wma = 0;  // LEVELRVWMAOR, as stored
};

// Imports `source` (the program's own copy of the user's file), whose extension is
// `extension` (".wav" or ".wma", any case), into the file named like it with "vmdat" in
// place of its three-letter extension. Returns 1 when the frames were written; otherwise 0,
// and the source copy and any output are deleted (except when the extension is refused,
// where nothing was touched).
int importAudioFile(EncodingEngine& engine, const std::string& source, const std::string& extension,
                    const ImportGains& gains, const CallerContext& caller);

// Runs one encoding job from `source` to `output` and reports 1 when it finished. Deletes
// nothing; callers decide what a failure removes.
int runEncodingJob(EncodingEngine& engine, const std::string& source, const std::string& output,
                   int gainSetting, const CallerContext& caller);

}  // namespace voxmg::audio
