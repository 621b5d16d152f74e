#include "core/audio/wav_format.h"

#include <cstring>

namespace voxmg::audio {

namespace {

// RIFF sizes are 32-bit; a WAV file cannot hold more samples than this.
constexpr std::uint64_t kMaxSamples = (0xFFFFFFFFull - 36) / 2;

void putTag(std::span<std::uint8_t> bytes, std::size_t offset, const char (&tag)[5]) {
    std::memcpy(bytes.data() + offset, tag, 4);
}

}  // namespace

std::uint16_t readLe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t readLe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(readLe16(bytes, offset)) |
           (static_cast<std::uint32_t>(readLe16(bytes, offset + 2)) << 16);
}

void writeLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void writeLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    writeLe16(bytes, offset, static_cast<std::uint16_t>(value & 0xFFFF));
    writeLe16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

std::array<std::uint8_t, kWavHeaderSize> initialWavHeader() {
    std::array<std::uint8_t, kWavHeaderSize> h{};
    putTag(h, 0, "RIFF");
    writeLe32(h, 4, 36);
    putTag(h, 8, "WAVE");
    putTag(h, 12, "fmt ");
    writeLe32(h, 16, 16);
    writeLe16(h, 20, 1);
    writeLe16(h, 22, 1);
    writeLe32(h, 24, kSampleRate);
    writeLe32(h, 28, kSampleRate * 2);
    writeLe16(h, 32, 2);
    writeLe16(h, 34, 16);
    putTag(h, 36, "data");
    writeLe32(h, 40, 0);
    return h;
}

std::optional<PcmFormat> parsePcmFormat(std::span<const std::uint8_t> header) {
    if (header.size() < 36) {
        return std::nullopt;
    }
    PcmFormat f;
    f.formatTag = readLe16(header, 20);
    f.channels = readLe16(header, 22);
    f.sampleRate = readLe32(header, 24);
    f.bitsPerSample = readLe16(header, 34);
    return f;
}

bool WavWriter::begin() {
    m_file = openFile(m_path, "wb");
    if (!m_file) {
        return false;
    }
    m_begun = true;
    m_samples = 0;
    const auto header = initialWavHeader();
    return std::fwrite(header.data(), 1, header.size(), m_file.get()) == header.size();
}

bool WavWriter::append(std::span<const std::int16_t> samples) {
    if (m_samples + samples.size() > kMaxSamples) {
        return false;
    }
    if (!m_begun && !begin()) {
        return false;
    }
    if (!m_file) {
        return false;
    }
    m_bytes.resize(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        writeLe16(m_bytes, i * 2, static_cast<std::uint16_t>(samples[i]));
    }
    if (std::fwrite(m_bytes.data(), 1, m_bytes.size(), m_file.get()) != m_bytes.size()) {
        return false;
    }
    m_samples += samples.size();
    return true;
}

bool WavWriter::finish() {
    if (!m_begun || !closeFile(m_file)) {
        return false;
    }
    FileHandle f = openFile(m_path, "r+b");
    if (!f) {
        return false;
    }
    const auto dataBytes = static_cast<std::uint32_t>(m_samples * 2);
    std::array<std::uint8_t, 4> field{};
    // Our own header puts "data" at offset 36; check it is still there before patching.
    std::array<std::uint8_t, 4> tag{};
    if (std::fseek(f.get(), 36, SEEK_SET) != 0 || std::fread(tag.data(), 1, 4, f.get()) != 4 ||
        std::memcmp(tag.data(), "data", 4) != 0) {
        return false;
    }
    writeLe32(field, 0, 36 + dataBytes);
    if (std::fseek(f.get(), 4, SEEK_SET) != 0 || std::fwrite(field.data(), 1, 4, f.get()) != 4) {
        return false;
    }
    writeLe32(field, 0, dataBytes);
    if (std::fseek(f.get(), 40, SEEK_SET) != 0 || std::fwrite(field.data(), 1, 4, f.get()) != 4) {
        return false;
    }
    return closeFile(f);
}

}  // namespace voxmg::audio
