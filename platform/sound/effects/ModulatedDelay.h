// The engine behind chorus and flanger: per channel, a delay line read at a delay that an
// oscillator sweeps around a base delay, with feedback from the swept tap into the line and
// a wet/dry mix at the output.
//
//   delay(t) = base * (1 + depth * lfo(t + channel offset)),  at least one sample
//   line    <- x + feedback * tap,     out = (1 - mix) * x + mix * (1 + feedback) * tap
//
// So depth 100 % sweeps the delay between zero and twice the base, which is what makes the
// flanger's comb notches travel over the whole spectrum, while the chorus' 10 % only
// detunes. Odd channels read the oscillator shifted by the phase parameter.
//
// The wet scale 1 + feedback keeps the notches of an even mix complete whatever the
// feedback: with D the delay, out / x = (1 + D) / 2 / (1 - feedback D) at 50 %, so feedback
// only narrows the notches (negative) or sharpens the peaks between them (positive). A plain
// wet tap would fill the notches in as soon as there is feedback, and the default flanger
// (feedback -50 %) would sweep a 4 dB ripple instead of a comb.
//
// Device thread only; the owning effect passes its parameters in through configure().
#pragma once

#include <cstddef>
#include <vector>

#include "platform/sound/effects/DspSupport.h"

namespace snd::fx {

class ModulatedDelay {
public:
    struct Settings {
        float wetDryMix;   // percent
        float depth;       // percent
        float feedback;    // percent
        float frequency;   // Hz
        int waveform;      // kLfoWave...
        float delayMs;
        int phase;         // kLfoPhase...
    };

    // Sizes the lines for delays up to twice maxBaseMs and clears all history.
    void reset(int sampleRate, int channels, float maxBaseMs);
    void configure(const Settings& s);
    void run(float* frames, std::size_t frameCount);

private:
    std::vector<DelayLine> lines_;
    Lfo lfo_;
    Lfo::Wave wave_ = Lfo::Wave::Sine;
    int sampleRate_ = 0;
    std::size_t channels_ = 0;
    float maxDelay_ = 1.0f;     // longest delay the lines can be read at, samples
    float base_ = 1.0f;         // samples
    float depth_ = 0.0f;
    float feedback_ = 0.0f;
    float dry_ = 1.0f;
    float wet_ = 0.0f;          // mix times the wet scale
    double oddOffset_ = 0.0;    // turns
};

}  // namespace snd::fx
