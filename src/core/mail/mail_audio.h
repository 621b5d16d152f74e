#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The recording a mail carries: the message's voice decoded with the program's G.729 decoder,
// measured for speech, and packed as MP3 (FFmpeg's libmp3lame) or WAV.
namespace voxmg::mail {

// 8 kHz mono voice needs no more: 16 kbit/s keeps speech clear at 2 kB a second.
inline constexpr int kMp3BitRate = 16000;

// The voice of a message file as 8 kHz mono samples; nothing when the file holds no voice or
// the codec cannot be set up. `gainSetting`: LEVELRVORWAV as stored, as the WAV conversion uses.
std::optional<std::vector<std::int16_t>> decodeMessageVoice(const std::string& voicePath, int gainSetting);

// No speech in the samples: fewer than 200 ms of 20 ms stretches whose loudness stands above
// the line noise a decoder gives for a quiet line (a caller who hung up at the tone).
bool isSilent(std::span<const std::int16_t> samples);

// An MP3 file (MPEG-2.5 layer III, mono 8 kHz, kMp3BitRate, with a Xing/LAME frame so players
// know its exact length); nothing when the encoder is not there.
std::optional<std::vector<std::uint8_t>> encodeMp3(std::span<const std::int16_t> samples);

// A WAV file of the samples, the same 44-byte header the conversion to WAV writes.
std::vector<std::uint8_t> wavFileBytes(std::span<const std::int16_t> samples);

}  // namespace voxmg::mail
