// Waves reverb: a room reverberation of our own design whose decay time is the reverb time
// parameter (the time the reverberation of an impulse takes to fall by 60 dB in the middle
// of the spectrum) and whose high-frequency ratio shortens the decay of the treble.
//
// Design: the channels are summed to mono and run through four series all-pass diffusers,
// which smear an impulse into a dense burst, then into a feedback delay network of eight
// lines (23-57 ms) mixed by a normalised 8x8 Hadamard matrix. Each line ends in a one-pole
// low-pass absorption filter whose gain sets the decay: a loop of m samples is attenuated by
// 10^(-3 m / (T fs)), so every mode decays by 60 dB in T seconds whatever line it travels.
// The low-pass pole comes from the high-frequency ratio; a one-pole filter cannot follow
// very low ratios (below about 0.1 to 0.2, by line and decay time), so those all give the
// darkest setting, a roll-off near 2.5 kHz per pass, which is where the default lies. The filter's gain is normalised at 500 Hz so that the stated decay time holds there.
// Even output channels take one orthogonal mix of the lines, odd ones another, so the two
// sides are decorrelated and the reverberation sounds wide.
//
// The work goes in blocks no longer than the shortest delay, so that every stage is a loop
// over the block that the compiler can vectorise; those loops always run the full block
// length (the tail past the frames in hand is scratch), as fixed trip counts vectorise best.
// The arithmetic is exactly that of one sample after another, so the output does not
// depend on how the frames are split into calls.
//
//   out = g + reverbMix * reverb(g),  g = inGain * x
//
// Device thread for prepare/process; parameter calls from any thread (StandardEffect.h).
#pragma once

#include <array>

#include "platform/sound/effects/StandardEffect.h"

namespace snd {

class WavesReverbEffect final : public StandardEffect<DSFXWavesReverb, EffectKind::WavesReverb> {
public:
    static constexpr int kLines = 8;
    static constexpr int kDiffusers = 4;
    static constexpr std::size_t kBlock = 64;

protected:
    void reset() override;
    void configure() override;
    void run(float* frames, std::size_t frameCount) override;

private:
    using Block = std::array<float, kBlock>;
    // The stages of one block of n frames, from input_ to even_ and odd_.
    void diffuse(std::size_t n);
    void reverberate(std::size_t n);
    void runBlock(float* frames, std::size_t n);

    std::array<fx::DelayLine, kDiffusers> diffusers_;
    std::array<std::size_t, kDiffusers> diffuserDelay_{};
    std::array<fx::DelayLine, kLines> lines_;
    std::array<std::size_t, kLines> lineDelay_{};
    std::array<float, kLines> loopGain_{};   // absorption filter gain
    std::array<float, kLines> pole_{};       // absorption filter pole
    std::array<float, kLines> filtered_{};   // absorption filter state
    std::size_t block_ = kBlock;             // at most the shortest delay
    // Work space of one block.
    Block input_{};
    Block even_{};
    Block odd_{};
    Block scratch_{};
    std::array<Block, kLines> lineBlock_{};
    float inGain_ = 1.0f;
    float wetGain_ = 1.0f;
};

}  // namespace snd
