// An effect in a sound buffer's effect chain: the stand-in for the platform's standard DMO
// effects (chorus, compressor, echo, flanger, gargle, parametric equaliser, waves reverb).
//
// A SoundBuffer owns its chain. The device thread runs every effect of a playing buffer on
// the buffer's own frames, in chain order, before the buffer is resampled to its playback
// frequency and mixed. Frames are interleaved floats in [-1, 1]; an effect writes in place.
//
// Threads: prepare() and process() run on the device thread only; the parameter calls of the
// concrete effects may come from any thread and take effect at the next process() call.
#pragma once

#include <cstddef>

namespace snd {

enum class EffectKind { Chorus, Compressor, Echo, Flanger, Gargle, ParamEq, WavesReverb };

class SoundEffect {
public:
    virtual ~SoundEffect() = default;
    virtual EffectKind kind() const = 0;
    // Called before the first process() and whenever the buffer's format changes; clears
    // all history (delay lines, envelopes, oscillator phases).
    virtual void prepare(int sampleRate, int channels) = 0;
    // Processes frameCount interleaved frames in place. State carries over from one call to
    // the next, so a buffer's wrap-around is seamless.
    virtual void process(float* frames, std::size_t frameCount) = 0;
};

}  // namespace snd
