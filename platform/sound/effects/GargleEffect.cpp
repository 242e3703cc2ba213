#include "platform/sound/effects/GargleEffect.h"

namespace snd {

void GargleEffect::reset() { lfo_.reset(); }

void GargleEffect::configure() {
    lfo_.setRate(params().dwRateHz, sampleRate());
    square_ = params().dwWaveShape == kGargleWaveSquare;
}

void GargleEffect::run(float* frames, std::size_t frameCount) {
    const auto n = static_cast<std::size_t>(channels());
    for (std::size_t f = 0; f < frameCount; ++f, frames += n) {
        // Rises over the first half turn, falls over the second (or holds, for the square).
        const double p = lfo_.phase();
        const auto level = static_cast<float>(square_ ? (p < 0.5 ? 1.0 : 0.0)
                                                      : (p < 0.5 ? 2.0 * p : 2.0 - 2.0 * p));
        for (std::size_t c = 0; c < n; ++c) frames[c] = fx::cleanSample(level * fx::cleanSample(frames[c]));
        lfo_.advance();
    }
}

}  // namespace snd
