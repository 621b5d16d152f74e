#pragma once

#include <string>

#include "core/audio/decoding_engine.h"
#include "core/audio/encoding_engine.h"

namespace voxmg::audio {

// The conversion engine: one decoding and one encoding job slot, each with its own worker,
// so a conversion to WAV and an audio import can run at the same time. The program makes
// one and hands it to whatever converts.
struct ConversionEngine {
    explicit ConversionEngine(std::string workFolder) : encoding(std::move(workFolder)) {}

    DecodingEngine decoding;
    EncodingEngine encoding;
};

}  // namespace voxmg::audio
