#include "platform/sound/effects/FlangerEffect.h"

namespace snd {

void FlangerEffect::reset() { engine_.reset(sampleRate(), channels(), kFlangerDelayRange.hi); }

void FlangerEffect::configure() {
    const auto& p = params();
    engine_.configure({p.fWetDryMix, p.fDepth, p.fFeedback, p.fFrequency, p.lWaveform, p.fDelay,
                       p.lPhase});
}

void FlangerEffect::run(float* frames, std::size_t frameCount) { engine_.run(frames, frameCount); }

}  // namespace snd
