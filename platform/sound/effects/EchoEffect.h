// Echo: each channel goes through a delay line whose output is fed back into it, so a sound
// repeats every delay with the feedback's share of the previous repeat. The left delay serves
// the even channels, the right delay the odd ones. With pan delay on, each channel's repeat
// is fed into its partner's line instead, so successive repeats change sides.
//
// Device thread for prepare/process; parameter calls from any thread (StandardEffect.h).
#pragma once

#include <vector>

#include "platform/sound/effects/StandardEffect.h"

namespace snd {

class EchoEffect final : public StandardEffect<DSFXEcho, EffectKind::Echo> {
protected:
    void reset() override;
    void configure() override;
    void run(float* frames, std::size_t frameCount) override;

private:
    std::vector<fx::DelayLine> lines_;
    std::vector<std::size_t> delays_;   // per channel, in samples
    std::vector<std::size_t> partner_;  // line that a channel's repeat feeds
    std::vector<float> taps_;           // this frame's line outputs
    float wet_ = 0.0f;
    float feedback_ = 0.0f;
};

}  // namespace snd
