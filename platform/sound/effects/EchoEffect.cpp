#include "platform/sound/effects/EchoEffect.h"

namespace snd {

void EchoEffect::reset() {
    const auto maxDelay = fx::samplesFor(kEchoDelayRange.hi, sampleRate(), 1);
    lines_.assign(channels(), {});
    for (auto& line : lines_) line.resize(maxDelay);
    delays_.assign(channels(), 1);
    partner_.assign(channels(), 0);
    taps_.assign(channels(), 0.0f);
}

void EchoEffect::configure() {
    const auto& p = params();
    wet_ = p.fWetDryMix / 100.0f;
    feedback_ = p.fFeedback / 100.0f;
    const auto n = static_cast<std::size_t>(channels());
    for (std::size_t c = 0; c < n; ++c) {
        const float ms = (c % 2 == 0) ? p.fLeftDelay : p.fRightDelay;
        delays_[c] = fx::samplesFor(ms, sampleRate(), 1);
        // A mono buffer, or the last of an odd number of channels, has no partner.
        const std::size_t other = c ^ 1u;
        partner_[c] = (p.lPanDelay != 0 && other < n) ? other : c;
    }
}

void EchoEffect::run(float* frames, std::size_t frameCount) {
    const auto n = static_cast<std::size_t>(channels());
    const float dry = 1.0f - wet_;
    for (std::size_t f = 0; f < frameCount; ++f, frames += n) {
        for (std::size_t c = 0; c < n; ++c) taps_[c] = lines_[c].read(delays_[c]);
        for (std::size_t c = 0; c < n; ++c) {
            const float x = fx::cleanSample(frames[c]);
            // With pan delay on, the line takes the partner channel's repeat.
            lines_[c].push(fx::limitLine(x + feedback_ * taps_[partner_[c]]));
            frames[c] = fx::cleanSample(dry * x + wet_ * taps_[c]);
        }
    }
}

}  // namespace snd
