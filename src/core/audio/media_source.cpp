#include "core/audio/media_source.h"

#include <memory>
#include <mutex>
#include <vector>

#include "core/audio/wav_format.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

namespace voxmg::audio {

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct SwrCloser {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct PacketCloser {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameCloser {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecCloser>;
using SwrPtr = std::unique_ptr<SwrContext, SwrCloser>;
using PacketPtr = std::unique_ptr<AVPacket, PacketCloser>;
using FramePtr = std::unique_ptr<AVFrame, FrameCloser>;

// The engine never talks to the user; FFmpeg's own complaints about broken files would only
// end up on a terminal nobody reads.
void quietLogs() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// An opened file with its best audio stream.
struct OpenedAudio {
    FormatPtr format;
    int stream = -1;
    const AVCodec* codec = nullptr;
};

std::optional<OpenedAudio> openAudio(const std::string& path) {
    quietLogs();
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return std::nullopt;
    }
    OpenedAudio a;
    a.format.reset(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0) {
        return std::nullopt;
    }
    a.stream = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &a.codec, 0);
    if (a.stream < 0 || !a.codec) {
        return std::nullopt;
    }
    return a;
}

// Converts decoded frames to mono s16 at 8000 Hz and appends them to the WAV file.
class PcmSink {
public:
    explicit PcmSink(WavWriter& wav) : m_wav(wav) {}

    bool push(const AVFrame* frame) {
        if (!m_swr && !setUp(frame)) {
            return false;
        }
        if (frame->format != m_inFormat || frame->sample_rate != m_inRate) {
            return false;  // the stream changed its format midway; not something we resample
        }
        return convert(const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
    }

    // Drains what the resampler still holds.
    bool flush() { return !m_swr || convert(nullptr, 0); }

private:
    bool setUp(const AVFrame* frame) {
        AVChannelLayout in{};
        if (av_channel_layout_copy(&in, &frame->ch_layout) < 0) {
            return false;
        }
        if (in.order == AV_CHANNEL_ORDER_UNSPEC) {
            const int channels = in.nb_channels;
            av_channel_layout_uninit(&in);
            av_channel_layout_default(&in, channels);
        }
        if (in.nb_channels <= 0) {
            av_channel_layout_uninit(&in);
            return false;
        }
        AVChannelLayout mono{};
        av_channel_layout_default(&mono, 1);
        SwrContext* raw = nullptr;
        const int rc =
            swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_S16, static_cast<int>(kSampleRate), &in,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&mono);
        m_swr.reset(raw);
        if (rc < 0 || !m_swr || swr_init(m_swr.get()) < 0) {
            m_swr.reset();
            return false;
        }
        m_inFormat = frame->format;
        m_inRate = frame->sample_rate;
        return true;
    }

    bool convert(const std::uint8_t** in, int count) {
        for (;;) {
            const int room = swr_get_out_samples(m_swr.get(), count);
            if (room < 0) {
                return false;
            }
            m_buffer.resize(static_cast<std::size_t>(room) + 32);
            auto* out = reinterpret_cast<std::uint8_t*>(m_buffer.data());
            const int got = swr_convert(m_swr.get(), &out, static_cast<int>(m_buffer.size()), in, count);
            if (got < 0) {
                return false;
            }
            if (got > 0 && !m_wav.append(std::span<const std::int16_t>(m_buffer.data(), got))) {
                return false;
            }
            // Feeding input converts in one call; a drain repeats until nothing comes out.
            if (in || got == 0) {
                return true;
            }
        }
    }

    WavWriter& m_wav;
    SwrPtr m_swr;
    int m_inFormat = -1;
    int m_inRate = 0;
    std::vector<std::int16_t> m_buffer;
};

// Receives every frame the decoder has ready. False on a decoder error.
bool drainDecoder(AVCodecContext* codec, AVFrame* frame, PcmSink& sink) {
    for (;;) {
        const int rc = avcodec_receive_frame(codec, frame);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return true;
        }
        if (rc < 0) {
            return false;
        }
        const bool ok = sink.push(frame);
        av_frame_unref(frame);
        if (!ok) {
            return false;
        }
    }
}

}  // namespace

std::optional<std::int64_t> ffmpegDurationMs(const std::string& path) {
    std::optional<OpenedAudio> a = openAudio(path);
    if (!a) {
        return std::nullopt;
    }
    if (a->format->duration != AV_NOPTS_VALUE && a->format->duration >= 0) {
        return av_rescale(a->format->duration, 1000, AV_TIME_BASE);
    }
    const AVStream* s = a->format->streams[a->stream];
    if (s->duration != AV_NOPTS_VALUE && s->duration >= 0) {
        return av_rescale_q(s->duration, s->time_base, AVRational{1, 1000});
    }
    return std::nullopt;
}

bool ffmpegDecodeToPcmWav(const std::string& source, const std::string& wavPath,
                          const std::function<bool()>& stopRequested) {
    std::optional<OpenedAudio> a = openAudio(source);
    if (!a) {
        return false;
    }
    CodecPtr codec(avcodec_alloc_context3(a->codec));
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!codec || !packet || !frame ||
        avcodec_parameters_to_context(codec.get(), a->format->streams[a->stream]->codecpar) < 0 ||
        avcodec_open2(codec.get(), a->codec, nullptr) < 0) {
        return false;
    }
    WavWriter wav(wavPath);
    if (!wav.begin()) {
        return false;
    }
    PcmSink sink(wav);
    for (;;) {
        if (stopRequested && stopRequested()) {
            return false;
        }
        const int rc = av_read_frame(a->format.get(), packet.get());
        if (rc == AVERROR_EOF) {
            break;
        }
        if (rc < 0) {
            return false;
        }
        if (packet->stream_index == a->stream) {
            const int sent = avcodec_send_packet(codec.get(), packet.get());
            // A damaged packet costs its few milliseconds of sound, not the whole import.
            if (sent < 0 && sent != AVERROR_INVALIDDATA) {
                av_packet_unref(packet.get());
                return false;
            }
        }
        av_packet_unref(packet.get());
        if (!drainDecoder(codec.get(), frame.get(), sink)) {
            return false;
        }
    }
    avcodec_send_packet(codec.get(), nullptr);
    return drainDecoder(codec.get(), frame.get(), sink) && sink.flush() && wav.finish();
}

}  // namespace voxmg::audio
