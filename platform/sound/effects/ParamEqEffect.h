// Parametric equaliser: one peaking filter per channel that raises or lowers a band around
// the centre frequency by the gain, the band as wide as the bandwidth in semitones. A centre
// above what the sample rate can carry is moved just below its Nyquist frequency.
//
// Device thread for prepare/process; parameter calls from any thread (StandardEffect.h).
#pragma once

#include <vector>

#include "platform/sound/effects/StandardEffect.h"

namespace snd {

class ParamEqEffect final : public StandardEffect<DSFXParamEq, EffectKind::ParamEq> {
protected:
    void reset() override;
    void configure() override;
    void run(float* frames, std::size_t frameCount) override;

private:
    struct State {
        double s1 = 0.0;
        double s2 = 0.0;
    };
    std::vector<State> state_;
    // Normalised biquad: y = b0 x + b1 x[-1] + b2 x[-2] - a1 y[-1] - a2 y[-2].
    double b0_ = 1.0, b1_ = 0.0, b2_ = 0.0, a1_ = 0.0, a2_ = 0.0;
};

}  // namespace snd
