#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/audio/g729_codec.h"

// Codec stand-ins that record what the workers hand them.
namespace voxmg::audio::testing {

struct DecodedCall {
    std::array<std::uint8_t, kFrameBytes> frame{};
    bool erased = false;
};

struct DecoderLog {
    std::mutex lock;
    std::vector<DecodedCall> calls;
    int contexts = 0;
    std::int16_t outputSample = 1000;  // every decoded sample
    std::size_t slowFrame = SIZE_MAX;  // the decoder dawdles on this frame (for cancel tests)
};

class FakeDecoder final : public FrameDecoder {
public:
    explicit FakeDecoder(std::shared_ptr<DecoderLog> log) : m_log(std::move(log)) {}
    bool decode(CodedFrame frame, bool erased, std::span<std::int16_t, kFrameSamples> out) override {
        std::size_t index = 0;
        {
            std::lock_guard guard(m_log->lock);
            DecodedCall call;
            std::copy(frame.begin(), frame.end(), call.frame.begin());
            call.erased = erased;
            m_log->calls.push_back(call);
            index = m_log->calls.size() - 1;
        }
        if (index == m_log->slowFrame) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        std::fill(out.begin(), out.end(), m_log->outputSample);
        return true;
    }

private:
    std::shared_ptr<DecoderLog> m_log;
};

inline DecoderFactory fakeDecoderFactory(const std::shared_ptr<DecoderLog>& log) {
    return [log]() -> std::unique_ptr<FrameDecoder> {
        {
            std::lock_guard guard(log->lock);
            ++log->contexts;
        }
        return std::make_unique<FakeDecoder>(log);
    };
}

struct EncoderLog {
    std::mutex lock;
    std::vector<std::array<std::int16_t, kFrameSamples>> frames;
};

// Writes frame number n (from 1) as the bytes 16n, 16n + 1, ... 16n + 9 (mod 256), so the
// order of the bytes in the output shows whether anything reordered them.
class FakeEncoder final : public FrameEncoder {
public:
    explicit FakeEncoder(std::shared_ptr<EncoderLog> log) : m_log(std::move(log)) {}
    bool encode(std::span<const std::int16_t, kFrameSamples> in,
                std::span<std::uint8_t, kFrameBytes> out) override {
        std::lock_guard guard(m_log->lock);
        std::array<std::int16_t, kFrameSamples> copy{};
        std::copy(in.begin(), in.end(), copy.begin());
        m_log->frames.push_back(copy);
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = static_cast<std::uint8_t>(m_log->frames.size() * 16 + i);
        }
        return true;
    }

private:
    std::shared_ptr<EncoderLog> m_log;
};

inline EncoderFactory fakeEncoderFactory(const std::shared_ptr<EncoderLog>& log) {
    return [log] { return std::make_unique<FakeEncoder>(log); };
}

}  // namespace voxmg::audio::testing
