// Signals and measurements shared by the effect tests.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/sound/effects/SoundEffects.h"

namespace fxtest {

inline constexpr int kRate = 44100;

// An effect of the kind, with `params` set when given, prepared for kRate and `channels`.
template <class Effect>
std::unique_ptr<Effect> make(int channels = 2, const typename Effect::Parameters& params = {}) {
    auto effect = std::make_unique<Effect>();
    if (effect->SetAllParameters(&params) != snd::kFxOk) return nullptr;
    effect->prepare(kRate, channels);
    return effect;
}

// Interleaved frames of silence with a unit impulse in every channel at `at`.
std::vector<float> impulse(std::size_t frames, int channels, std::size_t at = 0);

// Deterministic white noise in [-amplitude, amplitude].
std::vector<float> noise(std::size_t samples, float amplitude, unsigned seed = 1);

// One channel of interleaved frames.
std::vector<float> channel(const std::vector<float>& frames, int channels, int c);

// Reverberation time in seconds: a line fitted to the Schroeder decay curve of the energy
// of `response` between -5 and -35 dB, extrapolated to 60 dB.
double reverbTime(const std::vector<float>& response, int rate);

// Centre of gravity, in samples, of |signal| over [from, to).
double centroid(const std::vector<float>& signal, std::size_t from, std::size_t to);

}  // namespace fxtest
