#include "platform/sound/effects/ParamEqEffect.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace snd {

void ParamEqEffect::reset() { state_.assign(channels(), {}); }

// The peaking filter of the audio-EQ cookbook formulas, bandwidth given in octaves.
void ParamEqEffect::configure() {
    const auto& p = params();
    const double centre = std::min<double>(p.fCenter, 0.45 * sampleRate());
    const double w0 = 2.0 * std::numbers::pi * centre / sampleRate();
    const double octaves = p.fBandwidth / 12.0;
    const double alpha = std::sin(w0) * std::sinh(std::numbers::ln2 / 2.0 * octaves * w0 / std::sin(w0));
    const double a = std::pow(10.0, p.fGain / 40.0);
    const double a0 = 1.0 + alpha / a;
    b0_ = (1.0 + alpha * a) / a0;
    b1_ = -2.0 * std::cos(w0) / a0;
    b2_ = (1.0 - alpha * a) / a0;
    a1_ = b1_;
    a2_ = (1.0 - alpha / a) / a0;
}

void ParamEqEffect::run(float* frames, std::size_t frameCount) {
    const auto n = static_cast<std::size_t>(channels());
    for (std::size_t f = 0; f < frameCount; ++f, frames += n) {
        for (std::size_t c = 0; c < n; ++c) {
            State& s = state_[c];
            const double x = fx::cleanSample(frames[c]);
            const double y = b0_ * x + s.s1;
            s.s1 = b1_ * x - a1_ * y + s.s2;
            s.s2 = b2_ * x - a2_ * y;
            frames[c] = fx::cleanSample(static_cast<float>(y));
        }
    }
}

}  // namespace snd
