#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/audio/file_handle.h"

// The WAV files this program writes: a fixed 44-byte header (RIFF, a 16-byte "fmt " chunk,
// "data") in front of 16-bit mono PCM at 8000 samples per second, all little-endian.
namespace voxmg::audio {

inline constexpr std::size_t kWavHeaderSize = 44;
inline constexpr std::uint32_t kSampleRate = 8000;

std::uint16_t readLe16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t readLe32(std::span<const std::uint8_t> bytes, std::size_t offset);
void writeLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value);
void writeLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);

// The header as written at the start of a file, before the sizes are known.
std::array<std::uint8_t, kWavHeaderSize> initialWavHeader();

// The format fields of a WAV header, read at their fixed offsets (20, 22, 24, 34).
struct PcmFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t bitsPerSample = 0;

    // 16-bit mono PCM at 8000 samples per second, the only input the G.729 encoder takes.
    bool isTelephonePcm() const {
        return formatTag == 1 && channels == 1 && sampleRate == kSampleRate && bitsPerSample == 16;
    }
};
// Empty when fewer than 36 bytes are given.
std::optional<PcmFormat> parsePcmFormat(std::span<const std::uint8_t> header);

// Writes a WAV file in two passes: samples are appended behind a header with zero sizes, and
// finish() closes the file, reopens it and writes the two sizes. The file is created (anew)
// by the first append, so a job that never produced a sample leaves no header behind.
class WavWriter {
public:
    explicit WavWriter(std::string path) : m_path(std::move(path)) {}

    // Creates the file anew with the header; append() does it on its first call.
    bool begin();
    bool append(std::span<const std::int16_t> samples);
    // False when nothing was appended or the sizes cannot be written.
    bool finish();
    // Drops the open handle without fixing the sizes.
    void close() { m_file.reset(); }

    std::uint64_t samples() const { return m_samples; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    FileHandle m_file;
    bool m_begun = false;
    std::uint64_t m_samples = 0;
    std::vector<std::uint8_t> m_bytes;  // reused between appends
};

}  // namespace voxmg::audio
