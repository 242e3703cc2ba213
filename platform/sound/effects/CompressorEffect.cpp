#include "platform/sound/effects/CompressorEffect.h"

#include <algorithm>
#include <cmath>

namespace snd {

namespace {

float smoothing(double ms, int sampleRate) {
    return static_cast<float>(std::exp(-1000.0 / (ms * sampleRate)));
}

}  // namespace

void CompressorEffect::reset() {
    lines_.assign(channels(), {});
    for (auto& line : lines_) line.resize(fx::samplesFor(kCompPredelayRange.hi, sampleRate(), 0) + 1);
    envelope_ = 0.0f;
}

void CompressorEffect::configure() {
    const auto& p = params();
    predelay_ = fx::samplesFor(p.fPredelay, sampleRate(), 0);
    attack_ = smoothing(p.fAttack, sampleRate());
    release_ = smoothing(p.fRelease, sampleRate());
    thresholdDb_ = p.fThreshold;
    slope_ = 1.0f - 1.0f / p.fRatio;
    makeupDb_ = p.fGain;
}

float CompressorEffect::gainFor(float level) const {
    constexpr float kFloor = 1e-6f;  // -120 dB: below any threshold
    const float levelDb = 20.0f * std::log10(std::max(level, kFloor));
    const float reductionDb = std::max(0.0f, levelDb - thresholdDb_) * slope_;
    return std::pow(10.0f, (makeupDb_ - reductionDb) / 20.0f);
}

void CompressorEffect::run(float* frames, std::size_t frameCount) {
    const auto n = static_cast<std::size_t>(channels());
    for (std::size_t f = 0; f < frameCount; ++f, frames += n) {
        float peak = 0.0f;
        for (std::size_t c = 0; c < n; ++c) {
            const float x = fx::cleanSample(frames[c]);
            lines_[c].push(x);
            peak = std::max(peak, std::abs(x));
        }
        const float coefficient = peak > envelope_ ? attack_ : release_;
        envelope_ = peak + coefficient * (envelope_ - peak);
        const float gain = gainFor(envelope_);
        for (std::size_t c = 0; c < n; ++c)
            frames[c] = fx::cleanSample(gain * lines_[c].read(predelay_ + 1));
    }
}

}  // namespace snd
