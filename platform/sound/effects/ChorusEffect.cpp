#include "platform/sound/effects/ChorusEffect.h"

namespace snd {

void ChorusEffect::reset() { engine_.reset(sampleRate(), channels(), kChorusDelayRange.hi); }

void ChorusEffect::configure() {
    const auto& p = params();
    engine_.configure({p.fWetDryMix, p.fDepth, p.fFeedback, p.fFrequency, p.lWaveform, p.fDelay,
                       p.lPhase});
}

void ChorusEffect::run(float* frames, std::size_t frameCount) { engine_.run(frames, frameCount); }

}  // namespace snd
