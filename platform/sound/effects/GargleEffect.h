// Gargle: amplitude modulation of every channel by one oscillator between silence and full
// level, a triangle (a fast tremolo) or a square (chopping) at the given rate.
//
// Device thread for prepare/process; parameter calls from any thread (StandardEffect.h).
#pragma once

#include "platform/sound/effects/StandardEffect.h"

namespace snd {

class GargleEffect final : public StandardEffect<DSFXGargle, EffectKind::Gargle> {
protected:
    void reset() override;
    void configure() override;
    void run(float* frames, std::size_t frameCount) override;

private:
    fx::Lfo lfo_;
    bool square_ = false;
};

}  // namespace snd
