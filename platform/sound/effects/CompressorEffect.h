// Compressor: a peak detector, linked over all channels, follows the input with the attack
// and release times; where its level exceeds the threshold, the gain falls so that the
// excess comes out divided by the ratio. The output gain is added after that. The signal
// itself runs the pre-delay behind the detector, so the gain is already down when a sudden
// peak arrives.
//
// Device thread for prepare/process; parameter calls from any thread (StandardEffect.h).
#pragma once

#include <vector>

#include "platform/sound/effects/StandardEffect.h"

namespace snd {

class CompressorEffect final : public StandardEffect<DSFXCompressor, EffectKind::Compressor> {
protected:
    void reset() override;
    void configure() override;
    void run(float* frames, std::size_t frameCount) override;

private:
    float gainFor(float level) const;

    std::vector<fx::DelayLine> lines_;
    std::size_t predelay_ = 0;  // samples
    float envelope_ = 0.0f;
    float attack_ = 0.0f;       // one-pole coefficients of the detector
    float release_ = 0.0f;
    float thresholdDb_ = 0.0f;
    float slope_ = 0.0f;        // dB of reduction per dB over the threshold
    float makeupDb_ = 0.0f;
};

}  // namespace snd
