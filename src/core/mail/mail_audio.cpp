#include "core/mail/mail_audio.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "core/audio/voice_pcm.h"
#include "core/audio/wav_format.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace voxmg::mail {
namespace {

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FormatFree {
    void operator()(AVFormatContext* f) const { avformat_free_context(f); }
};
struct IoFree {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

// FFmpeg 6.1 made the written bytes const.
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 16, 100)
using WriteData = const std::uint8_t*;
#else
using WriteData = std::uint8_t*;
#endif

// The MP3 muxer goes back to the start to fill in its Xing frame, so the memory it writes to
// takes seeks as a file does.
struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;

    static int write(void* opaque, WriteData data, int size) {
        auto* f = static_cast<MemoryFile*>(opaque);
        if (f->at + size > f->bytes.size()) {
            f->bytes.resize(f->at + size);
        }
        std::memcpy(f->bytes.data() + f->at, data, static_cast<std::size_t>(size));
        f->at += static_cast<std::size_t>(size);
        return size;
    }
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
        auto* f = static_cast<MemoryFile*>(opaque);
        if (whence == AVSEEK_SIZE) {
            return static_cast<std::int64_t>(f->bytes.size());
        }
        const std::int64_t base = whence == SEEK_CUR   ? static_cast<std::int64_t>(f->at)
                                  : whence == SEEK_END ? static_cast<std::int64_t>(f->bytes.size())
                                                       : 0;
        if (base + offset < 0) {
            return -1;
        }
        f->at = static_cast<std::size_t>(base + offset);
        return static_cast<std::int64_t>(f->at);
    }
};

std::unique_ptr<AVCodecContext, CodecFree> openMp3Encoder() {
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* codec = avcodec_find_encoder_by_name("libmp3lame");
    if (codec == nullptr) {
        return nullptr;
    }
    std::unique_ptr<AVCodecContext, CodecFree> c(avcodec_alloc_context3(codec));
    if (!c) {
        return nullptr;
    }
    c->sample_rate = audio::kVoiceSampleRate;
    c->sample_fmt = AV_SAMPLE_FMT_S16P;  // one channel: planar and packed are the same bytes
    c->bit_rate = kMp3BitRate;
    c->time_base = AVRational{1, audio::kVoiceSampleRate};
    av_channel_layout_default(&c->ch_layout, 1);
    if (avcodec_open2(c.get(), codec, nullptr) < 0) {
        return nullptr;
    }
    return c;
}

// Hands the encoder's packets to the muxer until it wants more input.
bool drain(AVCodecContext* codec, AVFormatContext* format, AVPacket* packet) {
    while (true) {
        const int rc = avcodec_receive_packet(codec, packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return true;
        }
        if (rc < 0) {
            return false;
        }
        packet->stream_index = 0;
        av_packet_rescale_ts(packet, codec->time_base, format->streams[0]->time_base);
        if (av_interleaved_write_frame(format, packet) < 0) {
            return false;
        }
    }
}

bool encodeSamples(AVCodecContext* codec, AVFormatContext* format, std::span<const std::int16_t> samples) {
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!frame || !packet) {
        return false;
    }
    const std::size_t step = codec->frame_size > 0 ? static_cast<std::size_t>(codec->frame_size) : 576;
    for (std::size_t at = 0; at < samples.size(); at += step) {
        const std::size_t n = std::min(step, samples.size() - at);
        frame->nb_samples = static_cast<int>(n);
        frame->format = codec->sample_fmt;
        frame->sample_rate = codec->sample_rate;
        if (av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout) < 0 ||
            av_frame_get_buffer(frame.get(), 0) < 0) {
            return false;
        }
        std::memcpy(frame->data[0], samples.data() + at, n * sizeof(std::int16_t));
        frame->pts = static_cast<std::int64_t>(at);
        if (avcodec_send_frame(codec, frame.get()) < 0 || !drain(codec, format, packet.get())) {
            return false;
        }
        av_frame_unref(frame.get());
    }
    return avcodec_send_frame(codec, nullptr) >= 0 && drain(codec, format, packet.get());
}

}  // namespace

std::optional<std::vector<std::int16_t>> decodeMessageVoice(const std::string& voicePath, int gainSetting) {
    std::vector<std::uint8_t> frames;
    if (audio::loadVoiceFrames(voicePath, frames) != audio::VoiceLoad::Loaded) {
        return std::nullopt;
    }
    audio::VoiceBlockDecoder decoder(frames, gainSetting);
    if (!decoder.ready()) {
        return std::nullopt;
    }
    std::vector<std::int16_t> samples(decoder.totalSamples() +
                                      audio::kVoiceBlockFrames * audio::kFrameSamples);
    std::size_t done = 0;
    while (!decoder.finished()) {
        const std::size_t n = decoder.decodeBlock(std::span(samples).subspan(done));
        if (n == 0) {
            return std::nullopt;
        }
        done += n;
    }
    samples.resize(done);
    return samples;
}

bool isSilent(std::span<const std::int16_t> samples) {
    constexpr std::size_t kWindow = 160;        // 20 ms
    constexpr double kSpeechRms = 400.0;        // about -38 dBFS, above a quiet line's hiss
    constexpr std::size_t kSpeechWindows = 10;  // 200 ms of speech in all
    std::size_t loud = 0;
    for (std::size_t at = 0; at + kWindow <= samples.size(); at += kWindow) {
        double energy = 0;
        for (std::size_t i = at; i < at + kWindow; ++i) {
            energy += static_cast<double>(samples[i]) * samples[i];
        }
        if (std::sqrt(energy / kWindow) >= kSpeechRms && ++loud >= kSpeechWindows) {
            return false;
        }
    }
    return true;
}

std::optional<std::vector<std::uint8_t>> encodeMp3(std::span<const std::int16_t> samples) {
    auto codec = openMp3Encoder();
    const AVOutputFormat* mp3 = av_guess_format("mp3", nullptr, nullptr);
    AVFormatContext* raw = nullptr;
    if (!codec || mp3 == nullptr || avformat_alloc_output_context2(&raw, mp3, nullptr, nullptr) < 0) {
        return std::nullopt;
    }
    std::unique_ptr<AVFormatContext, FormatFree> format(raw);
    MemoryFile out;
    constexpr int kIoBuffer = 16384;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
    std::unique_ptr<AVIOContext, IoFree> io(buffer ? avio_alloc_context(buffer, kIoBuffer, 1, &out, nullptr,
                                                                        &MemoryFile::write, &MemoryFile::seek)
                                                   : nullptr);
    AVStream* stream = avformat_new_stream(format.get(), nullptr);
    if (!io || stream == nullptr || avcodec_parameters_from_context(stream->codecpar, codec.get()) < 0) {
        if (!io) {
            av_free(buffer);
        }
        return std::nullopt;
    }
    stream->time_base = codec->time_base;
    format->pb = io.get();
    if (avformat_write_header(format.get(), nullptr) < 0 ||
        !encodeSamples(codec.get(), format.get(), samples) || av_write_trailer(format.get()) < 0) {
        return std::nullopt;
    }
    avio_flush(io.get());
    return std::move(out.bytes);
}

std::vector<std::uint8_t> wavFileBytes(std::span<const std::int16_t> samples) {
    const auto header = audio::initialWavHeader();
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> out(header.begin(), header.end());
    audio::writeLe32(out, 4, 36 + dataBytes);
    audio::writeLe32(out, 40, dataBytes);
    out.reserve(out.size() + dataBytes);
    for (std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

}  // namespace voxmg::mail
