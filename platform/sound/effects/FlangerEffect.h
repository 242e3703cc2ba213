// Flanger: a very short delay (2 ms by default) swept from zero to twice its length by a slow
// oscillator, with feedback, so the comb-filter notches of the mix sweep up and down the spectrum.
// The processing is fx::ModulatedDelay; this class maps the parameter record onto it.
//
// Device thread for prepare/process; parameter calls from any thread (StandardEffect.h).
#pragma once

#include "platform/sound/effects/ModulatedDelay.h"
#include "platform/sound/effects/StandardEffect.h"

namespace snd {

class FlangerEffect final : public StandardEffect<DSFXFlanger, EffectKind::Flanger> {
protected:
    void reset() override;
    void configure() override;
    void run(float* frames, std::size_t frameCount) override;

private:
    fx::ModulatedDelay engine_;
};

}  // namespace snd
