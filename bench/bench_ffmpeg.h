#pragma once

// The FFmpeg half of the import baselines: decode and resample to what the encoder takes.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace bench {

// FFmpeg decode + resample to mono s16 8000 Hz into memory, no files, no checks beyond need.
inline std::vector<std::int16_t> bareFfmpegDecode(const std::string& path) {
    std::vector<std::int16_t> pcm;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        return pcm;
    }
    avformat_find_stream_info(fmt, nullptr);
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(ctx, fmt->streams[stream]->codecpar);
    avcodec_open2(ctx, codec, nullptr);
    AVChannelLayout mono{};
    av_channel_layout_default(&mono, 1);
    SwrContext* swr = nullptr;
    swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_S16, 8000, &ctx->ch_layout, ctx->sample_fmt,
                        ctx->sample_rate, 0, nullptr);
    swr_init(swr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<std::int16_t> buf;
    auto drain = [&] {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            buf.resize(static_cast<std::size_t>(swr_get_out_samples(swr, frame->nb_samples)) + 32);
            auto* out = reinterpret_cast<std::uint8_t*>(buf.data());
            const int got =
                swr_convert(swr, &out, static_cast<int>(buf.size()),
                            const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
            pcm.insert(pcm.end(), buf.begin(), buf.begin() + std::max(got, 0));
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == stream) {
            avcodec_send_packet(ctx, pkt);
            drain();
        }
        av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    swr_free(&swr);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return pcm;
}

}  // namespace bench
