#include "platform/sound/effects/ModulatedDelay.h"

#include <algorithm>

#include "platform/sound/effects/EffectParameters.h"

namespace snd::fx {

void ModulatedDelay::reset(int sampleRate, int channels, float maxBaseMs) {
    sampleRate_ = sampleRate;
    channels_ = static_cast<std::size_t>(channels);
    const std::size_t longest = samplesFor(2.0 * maxBaseMs, sampleRate, 1) + 2;
    lines_.assign(channels_, {});
    for (auto& line : lines_) line.resize(longest);
    maxDelay_ = static_cast<float>(longest);
    lfo_.reset();
}

void ModulatedDelay::configure(const Settings& s) {
    dry_ = 1.0f - s.wetDryMix / 100.0f;
    depth_ = s.depth / 100.0f;
    feedback_ = s.feedback / 100.0f;
    wet_ = s.wetDryMix / 100.0f * (1.0f + feedback_);
    base_ = static_cast<float>(s.delayMs * sampleRate_ / 1000.0);
    wave_ = s.waveform == kLfoWaveTriangle ? Lfo::Wave::Triangle : Lfo::Wave::Sine;
    lfo_.setRate(s.frequency, sampleRate_);
    // Phase codes count quarter turns from -180 degrees; keep the offset in [0, 1).
    oddOffset_ = (s.phase - kLfoPhaseZero + 4) % 4 * 0.25;
}

void ModulatedDelay::run(float* frames, std::size_t frameCount) {
    for (std::size_t f = 0; f < frameCount; ++f, frames += channels_) {
        const float evenLfo = lfo_.value(wave_, 0.0);
        const float oddLfo = lfo_.value(wave_, oddOffset_);
        for (std::size_t c = 0; c < channels_; ++c) {
            const float lfo = (c % 2 == 0) ? evenLfo : oddLfo;
            const float delay = std::clamp(base_ * (1.0f + depth_ * lfo), 1.0f, maxDelay_);
            const float tap = lines_[c].readFraction(delay);
            const float x = cleanSample(frames[c]);
            lines_[c].push(limitLine(x + feedback_ * tap));
            frames[c] = cleanSample(dry_ * x + wet_ * tap);
        }
        lfo_.advance();
    }
}

}  // namespace snd::fx
