// Building blocks shared by the effects: the denormal guard, sample clean-up, delay lines,
// the low-frequency oscillator and the hand-over of parameters between threads.
//
// Everything here except ParamBox is used on the device thread only and never allocates
// outside of prepare-time resizing.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace snd::fx {

// Flushes denormal results and operands to zero for the lifetime of the guard and restores
// the caller's floating-point mode afterwards. A decaying feedback network otherwise spends
// its tail in denormal arithmetic, which is many times slower and would starve the device
// thread. Built for x86-64 (MXCSR) and AArch64 (FPCR); elsewhere the guard does nothing and
// a tail may cost more while it fades.
class DenormalGuard {
public:
    DenormalGuard();
    ~DenormalGuard();
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
    std::uint64_t saved_ = 0;
};

// What an effect may send on: a finite sample in [-1, 1]. NaN becomes silence.
inline float cleanSample(float x) {
    if (!(x == x)) return 0.0f;
    return x < -1.0f ? -1.0f : (x > 1.0f ? 1.0f : x);
}

// Feedback paths are held inside this bound, so that even 100 % feedback of steady input
// cannot grow without limit. It lies well above anything that reaches the output unclipped.
inline constexpr float kLineLimit = 4.0f;
inline float limitLine(float x) {
    return x < -kLineLimit ? -kLineLimit : (x > kLineLimit ? kLineLimit : x);
}

// A mono delay line of power-of-two length. read(d) returns the sample pushed d pushes ago
// (d = 1 is the latest), so a feedback loop reads before it pushes.
class DelayLine {
public:
    // Makes room for delays up to maxDelay samples and clears the history.
    void resize(std::size_t maxDelay);
    void clear();
    void push(float x) {
        buffer_[write_] = x;
        write_ = (write_ + 1) & mask_;
    }
    float read(std::size_t d) const { return buffer_[(write_ - d) & mask_]; }
    // Linear interpolation between whole-sample delays; d >= 1.
    float readFraction(float d) const {
        const auto whole = static_cast<std::size_t>(d);
        const float frac = d - static_cast<float>(whole);
        const float a = read(whole);
        const float b = read(whole + 1);
        return a + frac * (b - a);
    }
    // Block forms for loops whose shortest delay is at least the block: out[k] is what
    // read(d) would return before the k-th of the next n pushes (d >= n).
    void readBlock(std::size_t d, std::size_t n, float* out) const;
    void pushBlock(const float* in, std::size_t n);

private:
    std::vector<float> buffer_;
    std::size_t mask_ = 0;
    std::size_t write_ = 0;
};

// A phase accumulator with sine and triangle read-outs, both in [-1, 1] and starting at 0
// on the way up. The phase is kept in double so that hours of play do not drift.
class Lfo {
public:
    enum class Wave { Triangle, Sine };
    void setRate(double hz, int sampleRate) { increment_ = hz / sampleRate; }
    void reset() { phase_ = 0.0; }
    void advance() {
        phase_ += increment_;
        if (phase_ >= 1.0) phase_ -= 1.0;
    }
    double phase() const { return phase_; }
    // Value at the current phase plus offset turns (offset in [0, 1)).
    float value(Wave wave, double offset) const;

private:
    double phase_ = 0.0;
    double increment_ = 0.0;
};

// Hands a parameter record from any thread to the device thread. set() and get() lock;
// the device thread only ever tries the lock, so a writer can delay a change by one
// buffer but never stall the device.
template <class Record>
class ParamBox {
public:
    explicit ParamBox(const Record& initial) : record_(initial) {}
    Record get() const {
        std::lock_guard lock(mutex_);
        return record_;
    }
    void set(const Record& r) {
        std::lock_guard lock(mutex_);
        record_ = r;
        changed_.store(true, std::memory_order_release);
    }
    // Device thread: copies a newer record into `into`; false when there is none to take.
    bool fetch(Record& into) {
        if (!changed_.load(std::memory_order_acquire)) return false;
        std::unique_lock lock(mutex_, std::try_to_lock);
        if (!lock.owns_lock()) return false;
        into = record_;
        changed_.store(false, std::memory_order_relaxed);
        return true;
    }

private:
    mutable std::mutex mutex_;
    Record record_;
    std::atomic<bool> changed_{false};
};

// Delay in whole samples for a time in milliseconds, at least `minimum`.
std::size_t samplesFor(double ms, int sampleRate, std::size_t minimum);

// Linear gain of a level in dB.
double dbToGain(double db);

}  // namespace snd::fx
