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

// Loops over one block. The restrict qualifiers tell the compiler that the blocks never
// overlap, so that it vectorises these loops without run-time overlap checks.
constexpr std::size_t kN = WavesReverbEffect::kBlock;

void allPass(float* __restrict x, float* __restrict delayed, float g) {
    for (std::size_t k = 0; k < kN; ++k) {
        const float v = x[k] + g * delayed[k];
        x[k] = delayed[k] - g * v;
        delayed[k] = v;  // now what enters the line
    }
}

void addSigned(float* __restrict sum, const float* __restrict x, float sign) {
    for (std::size_t k = 0; k < kN; ++k) sum[k] += sign * x[k];
}

void butterfly(float* __restrict a, float* __restrict b) {
    for (std::size_t k = 0; k < kN; ++k) {
        const float x = a[k];
        const float y = b[k];
        a[k] = x + y;
        b[k] = x - y;
    }
}

void feedBack(float* __restrict line, const float* __restrict input, float scale, float sign) {
    for (std::size_t k = 0; k < kN; ++k) line[k] = fx::limitLine(scale * line[k] + sign * input[k]);
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
    block_ = std::min({kBlock, *std::min_element(lineDelay_.begin(), lineDelay_.end()),
                       *std::min_element(diffuserDelay_.begin(), diffuserDelay_.end())});
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

void WavesReverbEffect::diffuse(std::size_t n) {
    for (int i = 0; i < kDiffusers; ++i) {
        diffusers_[i].readBlock(diffuserDelay_[i], n, scratch_.data());
        allPass(input_.data(), scratch_.data(), kDiffuserGain[i]);
        diffusers_[i].pushBlock(scratch_.data(), n);
    }
}

void WavesReverbEffect::reverberate(std::size_t n) {
    auto& f = lineBlock_;
    // Line outputs through their absorption filters; the eight recursions run side by side
    // so that each one's latency hides behind the others.
    for (int i = 0; i < kLines; ++i) lines_[i].readBlock(lineDelay_[i], n, f[i].data());
    std::array<float, kLines> y = filtered_;
    for (std::size_t k = 0; k < n; ++k)
        for (int i = 0; i < kLines; ++i) f[i][k] = y[i] = loopGain_[i] * f[i][k] + pole_[i] * y[i];
    filtered_ = y;
    even_.fill(0.0f);
    odd_.fill(0.0f);
    for (int i = 0; i < kLines; ++i) {
        addSigned(even_.data(), f[i].data(), kEvenSign[i]);
        addSigned(odd_.data(), f[i].data(), kOddSign[i]);
    }
    // Normalised fast Walsh-Hadamard transform across the lines, then back in with the input.
    for (int span = 1; span < kLines; span *= 2)
        for (int i = 0; i < kLines; i += 2 * span)
            for (int j = i; j < i + span; ++j) butterfly(f[j].data(), f[j + span].data());
    const float scale = static_cast<float>(1.0 / std::sqrt(double(kLines)));
    for (int i = 0; i < kLines; ++i) {
        feedBack(f[i].data(), input_.data(), scale, kInputSign[i]);
        lines_[i].pushBlock(f[i].data(), n);
    }
}

void WavesReverbEffect::runBlock(float* frames, std::size_t n) {
    const auto channels = static_cast<std::size_t>(this->channels());
    const float toMono = 1.0f / static_cast<float>(channels);
    for (std::size_t k = 0; k < n; ++k) {
        float sum = 0.0f;
        for (std::size_t c = 0; c < channels; ++c) {
            float& x = frames[k * channels + c];
            x = inGain_ * fx::cleanSample(x);
            sum += x;
        }
        input_[k] = sum * toMono;
    }
    diffuse(n);
    reverberate(n);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t c = 0; c < channels; ++c) {
            float& x = frames[k * channels + c];
            x = fx::cleanSample(x + wetGain_ * (c % 2 == 0 ? even_[k] : odd_[k]));
        }
}

void WavesReverbEffect::run(float* frames, std::size_t frameCount) {
    const auto channels = static_cast<std::size_t>(this->channels());
    for (std::size_t done = 0; done < frameCount;) {
        const std::size_t n = std::min(block_, frameCount - done);
        runBlock(frames + done * channels, n);
        done += n;
    }
}

}  // namespace snd
