#include "core/audio/g729_codec.h"

extern "C" {
#include <bcg729/decoder.h>
#include <bcg729/encoder.h>
}

namespace voxmg::audio {

namespace {

class Bcg729Decoder final : public FrameDecoder {
public:
    explicit Bcg729Decoder(bcg729DecoderChannelContextStruct* ctx) : m_ctx(ctx) {}
    ~Bcg729Decoder() override { closeBcg729DecoderChannel(m_ctx); }
    Bcg729Decoder(const Bcg729Decoder&) = delete;
    Bcg729Decoder& operator=(const Bcg729Decoder&) = delete;

    bool decode(CodedFrame frame, bool erased, std::span<std::int16_t, kFrameSamples> out) override {
        bcg729Decoder(m_ctx, frame.data(), static_cast<std::uint8_t>(kFrameBytes), erased ? 1 : 0, 0, 0,
                      out.data());
        return true;
    }

private:
    bcg729DecoderChannelContextStruct* m_ctx;
};

class Bcg729Encoder final : public FrameEncoder {
public:
    explicit Bcg729Encoder(bcg729EncoderChannelContextStruct* ctx) : m_ctx(ctx) {}
    ~Bcg729Encoder() override { closeBcg729EncoderChannel(m_ctx); }
    Bcg729Encoder(const Bcg729Encoder&) = delete;
    Bcg729Encoder& operator=(const Bcg729Encoder&) = delete;

    bool encode(std::span<const std::int16_t, kFrameSamples> in,
                std::span<std::uint8_t, kFrameBytes> out) override {
        std::uint8_t length = 0;
        bcg729Encoder(m_ctx, in.data(), out.data(), &length);
        return length == kFrameBytes;
    }

private:
    bcg729EncoderChannelContextStruct* m_ctx;
};

}  // namespace

bool isErasedFrame(CodedFrame frame) {
    for (std::size_t i = 0; i < kFrameBytes; i += 2) {
        if (frame[i] == 0 && frame[i + 1] == 0) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<FrameDecoder> makeBcg729Decoder() {
    bcg729DecoderChannelContextStruct* ctx = initBcg729DecoderChannel();
    if (!ctx) {
        return nullptr;
    }
    return std::make_unique<Bcg729Decoder>(ctx);
}

std::unique_ptr<FrameEncoder> makeBcg729Encoder() {
    bcg729EncoderChannelContextStruct* ctx = initBcg729EncoderChannel(0);
    if (!ctx) {
        return nullptr;
    }
    return std::make_unique<Bcg729Encoder>(ctx);
}

}  // namespace voxmg::audio
