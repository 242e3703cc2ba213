#include "platform/sound/effects/DspSupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace snd::fx {

#if defined(__SSE__) || defined(__x86_64__)
// MXCSR: flush-to-zero (bit 15) and denormals-are-zero (bit 6).
DenormalGuard::DenormalGuard() : saved_(_mm_getcsr()) {
    _mm_setcsr(static_cast<unsigned>(saved_) | 0x8040u);
}
DenormalGuard::~DenormalGuard() { _mm_setcsr(static_cast<unsigned>(saved_)); }
#elif defined(__aarch64__)
// FPCR bit 24 (FZ) flushes both operands and results.
DenormalGuard::DenormalGuard() {
    std::uint64_t fpcr;
    asm volatile("mrs %0, fpcr" : "=r"(fpcr));
    saved_ = fpcr;
    asm volatile("msr fpcr, %0" : : "r"(fpcr | (1ull << 24)));
}
DenormalGuard::~DenormalGuard() { asm volatile("msr fpcr, %0" : : "r"(saved_)); }
#else
DenormalGuard::DenormalGuard() = default;
DenormalGuard::~DenormalGuard() = default;
#endif

void DelayLine::resize(std::size_t maxDelay) {
    std::size_t size = 1;
    while (size < maxDelay + 2) size <<= 1;
    buffer_.assign(size, 0.0f);
    mask_ = size - 1;
    write_ = 0;
}

void DelayLine::clear() {
    std::fill(buffer_.begin(), buffer_.end(), 0.0f);
    write_ = 0;
}

void DelayLine::readBlock(std::size_t d, std::size_t n, float* out) const {
    const std::size_t start = (write_ - d) & mask_;
    const std::size_t first = std::min(n, buffer_.size() - start);
    std::copy_n(buffer_.begin() + start, first, out);
    std::copy_n(buffer_.begin(), n - first, out + first);
}

void DelayLine::pushBlock(const float* in, std::size_t n) {
    const std::size_t first = std::min(n, buffer_.size() - write_);
    std::copy_n(in, first, buffer_.begin() + write_);
    std::copy_n(in + first, n - first, buffer_.begin());
    write_ = (write_ + n) & mask_;
}

namespace {

// One turn of a sine in a table with one guard point, read with linear interpolation: the
// error stays below 2e-6, far under what a modulated delay can make audible, at a fraction
// of the cost of std::sin per sample and channel.
constexpr int kSineSize = 2048;

const std::array<float, kSineSize + 1>& sineTable() {
    static const auto table = [] {
        std::array<float, kSineSize + 1> t{};
        for (int i = 0; i <= kSineSize; ++i)
            t[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * i / kSineSize));
        return t;
    }();
    return table;
}

}  // namespace

float Lfo::value(Wave wave, double offset) const {
    double p = phase_ + offset;
    if (p >= 1.0) p -= 1.0;
    if (wave == Wave::Triangle) {
        double q = p + 0.25;
        if (q >= 1.0) q -= 1.0;
        return static_cast<float>(1.0 - 4.0 * std::abs(q - 0.5));
    }
    const auto& table = sineTable();
    const double x = p * kSineSize;
    const int i = std::min(static_cast<int>(x), kSineSize - 1);
    const float frac = static_cast<float>(x - i);
    return table[i] + frac * (table[i + 1] - table[i]);
}

std::size_t samplesFor(double ms, int sampleRate, std::size_t minimum) {
    const double n = std::round(ms * sampleRate / 1000.0);
    return std::max(minimum, n > 0 ? static_cast<std::size_t>(n) : std::size_t{0});
}

double dbToGain(double db) { return std::pow(10.0, db / 20.0); }

}  // namespace snd::fx
