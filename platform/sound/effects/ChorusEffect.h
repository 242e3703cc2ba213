// Chorus: a short delay (16 ms by default) swept slightly by a slow oscillator, mixed with the
// dry signal, so the copy drifts in pitch against the original like a second voice.
// The processing is fx::ModulatedDelay; this class maps the parameter record onto it.
//
// Device thread for prepare/process; parameter calls from any thread (StandardEffect.h).
#pragma once

#include "platform/sound/effects/ModulatedDelay.h"
#include "platform/sound/effects/StandardEffect.h"

namespace snd {

class ChorusEffect final : public StandardEffect<DSFXChorus, EffectKind::Chorus> {
protected:
    void reset() override;
    void configure() override;
    void run(float* frames, std::size_t frameCount) override;

private:
    fx::ModulatedDelay engine_;
};

}  // namespace snd
