#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What the import needs from a media decoder: the playing length of a WAV or WMA file, and
// the file decoded to 16-bit mono PCM at 8000 samples per second in a WAV file, as fast as
// the machine allows. FFmpeg does both (resampling and down-mixing included); tests put
// their own functions in place of either.
namespace voxmg::audio {

// Playing length in milliseconds; empty when the file cannot be opened or holds no audio.
using DurationProbe = std::function<std::optional<std::int64_t>(const std::string& path)>;
// Decodes `source` into the WAV file `wavPath` (header written even for an empty stream).
// `stopRequested` is asked now and then; when it says yes the decoder gives up. False on
// any failure.
using PcmDecoder = std::function<bool(const std::string& source, const std::string& wavPath,
                                      const std::function<bool()>& stopRequested)>;

std::optional<std::int64_t> ffmpegDurationMs(const std::string& path);
bool ffmpegDecodeToPcmWav(const std::string& source, const std::string& wavPath,
                          const std::function<bool()>& stopRequested);

struct MediaBackend {
    DurationProbe duration = &ffmpegDurationMs;
    PcmDecoder decodeToPcmWav = &ffmpegDecodeToPcmWav;
};

}  // namespace voxmg::audio
