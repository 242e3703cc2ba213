#include "platform/sound/effects/WavesReverbEffect.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace snd {

namespace {

// Line lengths spread between 23 and 57 ms with no common ratios, for an even modal
// density with no audible flutter.
constexpr std::array<double, WavesReverbEffect::kLines> kLineMs{23.3, 28.9, 33.1, 37.7,
                                                                41.3, 46.1, 51.7, 57.1};
constexpr std::array<double, WavesReverbEffect::kDiffusers> kDiffuserMs{5.3, 3.7, 11.3, 8.9};
constexpr std::array<float, WavesReverbEffect::kDiffusers> kDiffuserGain{0.7f, 0.7f, 0.625f,
                                                                         0.625f};
// Which lines the input enters with which sign, and the two orthogonal output mixes.
constexpr std::array<float, WavesReverbEffect::kLines> kInputSign{1, -1, 1, 1, -1, 1, -1, -1};
constexpr std::array<float, WavesReverbEffect::kLines> kEvenSign{1, -1, 1, -1, 1, -1, 1, -1};
constexpr std::array<float, WavesReverbEffect::kLines> kOddSign{1, 1, -1, -1, 1, 1, -1, -1};

// Level of the reverberation against the dry signal at 0 dB mix: an impulse's
// reverberation at the default (dark, 1 s) settings carries about a sixth of the impulse's
// energy, an even treble decay about the whole of it.
constexpr float kWetLevel = 0.35f;
constexpr double kDarkestCutoffHz = 2500.0;
constexpr double kReferenceHz = 500.0;
// Below unity so that even the longest decay at the lowest frequencies stays stable.
constexpr double kMaxLoopGain = 0.9995;

// In-place fast Walsh-Hadamard transform of eight values, scaled to keep energy.
void hadamard(std::array<float, WavesReverbEffect::kLines>& v) {
    for (int span = 1; span < WavesReverbEffect::kLines; span *= 2)
        for (int i = 0; i < WavesReverbEffect::kLines; i += 2 * span)
            for (int j = i; j < i + span; ++j) {
                const float a = v[j];
                const float b = v[j + span];
                v[j] = a + b;
                v[j + span] = a - b;
            }
    const float scale = static_cast<float>(1.0 / std::sqrt(double(WavesReverbEffect::kLines)));
    for (float& x : v) x *= scale;
}

// Magnitude of the one-pole low-pass (1 - b) / (1 - b z^-1) at angular frequency w.
double lowPassMagnitude(double b, double w) {
    return (1.0 - b) / std::sqrt(1.0 - 2.0 * b * std::cos(w) + b * b);
}

}  // namespace

void WavesReverbEffect::reset() {
    for (int i = 0; i < kDiffusers; ++i) {
        diffuserDelay_[i] = fx::samplesFor(kDiffuserMs[i], sampleRate(), 1);
        diffusers_[i].resize(diffuserDelay_[i]);
    }
    for (int i = 0; i < kLines; ++i) {
        lineDelay_[i] = fx::samplesFor(kLineMs[i], sampleRate(), 1);
        lines_[i].resize(lineDelay_[i]);
    }
    filtered_.fill(0.0f);
}

void WavesReverbEffect::configure() {
    const auto& p = params();
    inGain_ = static_cast<float>(fx::dbToGain(p.fInGain));
    wetGain_ = static_cast<float>(fx::dbToGain(p.fReverbMix)) * kWetLevel;
    const double fs = sampleRate();
    const double seconds = p.fReverbTime / 1000.0;
    const double darkest = std::exp(-2.0 * std::numbers::pi * kDarkestCutoffHz / fs);
    const double reference = 2.0 * std::numbers::pi * std::min(kReferenceHz, 0.25 * fs) / fs;
    for (int i = 0; i < kLines; ++i) {
        const double m = static_cast<double>(lineDelay_[i]);
        const double mid = std::pow(10.0, -3.0 * m / (seconds * fs));
        const double treble = std::pow(10.0, -3.0 * m / (seconds * p.fHighFreqRTRatio * fs));
        // Pole that gives the treble gain at Nyquist for a filter with the mid gain at DC.
        const double b = mid > 0.0 ? std::clamp((mid - treble) / (mid + treble), 0.0, darkest) : 0.0;
        pole_[i] = static_cast<float>(b);
        loopGain_[i] = static_cast<float>(
            std::min(mid / lowPassMagnitude(b, reference), kMaxLoopGain) * (1.0 - b));
    }
}

float WavesReverbEffect::diffuse(float x) {
    for (int i = 0; i < kDiffusers; ++i) {
        const float delayed = diffusers_[i].read(diffuserDelay_[i]);
        const float v = x + kDiffuserGain[i] * delayed;
        diffusers_[i].push(v);
        x = delayed - kDiffuserGain[i] * v;
    }
    return x;
}

void WavesReverbEffect::step(float input, float& even, float& odd) {
    std::array<float, kLines> mix;
    even = 0.0f;
    odd = 0.0f;
    for (int i = 0; i < kLines; ++i) {
        const float s = lines_[i].read(lineDelay_[i]);
        filtered_[i] = loopGain_[i] * s + pole_[i] * filtered_[i];
        mix[i] = filtered_[i];
        even += kEvenSign[i] * filtered_[i];
        odd += kOddSign[i] * filtered_[i];
    }
    hadamard(mix);
    for (int i = 0; i < kLines; ++i) lines_[i].push(fx::limitLine(mix[i] + kInputSign[i] * input));
}

void WavesReverbEffect::run(float* frames, std::size_t frameCount) {
    const auto n = static_cast<std::size_t>(channels());
    const float toMono = 1.0f / static_cast<float>(n);
    for (std::size_t f = 0; f < frameCount; ++f, frames += n) {
        float sum = 0.0f;
        for (std::size_t c = 0; c < n; ++c) {
            frames[c] = inGain_ * fx::cleanSample(frames[c]);
            sum += frames[c];
        }
        float even = 0.0f;
        float odd = 0.0f;
        step(diffuse(sum * toMono), even, odd);
        for (std::size_t c = 0; c < n; ++c)
            frames[c] = fx::cleanSample(frames[c] + wetGain_ * (c % 2 == 0 ? even : odd));
    }
}

}  // namespace snd
