#include "platform/wave/TestWave.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wave {

namespace {

// Noise that depends only on the frame and channel, so any stretch can be rendered again.
double noiseAt(int64_t frame, int channel)
{
    uint64_t x = uint64_t(frame) * 0x9E3779B97F4A7C15ull + uint64_t(channel) * 0xBF58476D1CE4E5B9ull;
    x ^= x >> 31;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 29;
    return double(x >> 11) / double(1ull << 52) * 2.0 - 1.0;
}

double valueAt(const std::vector<Segment>& segments, uint32_t rate, int64_t frame, int channel)
{
    double t = double(frame) / rate;
    for (const Segment& s : segments) {
        if (t < s.seconds) {
            switch (s.kind) {
            case Segment::Silence: return 0;
            case Segment::Tone: return s.level * std::sin(2 * std::numbers::pi * s.frequency * double(frame) / rate);
            case Segment::Noise: return s.level * noiseAt(frame, channel);
            }
        }
        t -= s.seconds;
    }
    return 0;
}

}  // namespace

std::vector<uint8_t> GeneratedWaveSystem::render(const InputScript& script, const snd::WaveFormat& f, int64_t first,
                                                 int64_t frames)
{
    std::vector<uint8_t> out;
    out.reserve(size_t(frames) * f.blockAlign);
    for (int64_t n = first; n < first + frames; ++n)
        for (int c = 0; c < f.channels; ++c) {
            double v = std::clamp(valueAt(c == 0 ? script.left : script.right, f.samplesPerSec, n, c), -1.0, 1.0);
            if (f.bitsPerSample == 8) {
                out.push_back(uint8_t(128 + std::lround(v * 127)));
            } else {
                auto s = uint16_t(int16_t(std::lround(v * 32767)));
                out.push_back(uint8_t(s));
                out.push_back(uint8_t(s >> 8));
            }
        }
    return out;
}

class GeneratedWaveSystem::Input : public CaptureSource {
public:
    Input(snd::ManualClock& clock, const InputScript& script) : clock_(clock), script_(script) {}
    int32_t open(const snd::WaveFormat& f) override
    {
        format_ = f;
        return result::kOk;
    }
    int32_t start() override
    {
        std::lock_guard lk(m_);
        // Created here, on the owner's thread, before the device thread runs: the clock then
        // waits for that thread to reach its first wait before moving on.
        waiter_ = clock_.createWaiter();
        interrupted_ = false;
        startMs_ = clock_.nowMs();
        produced_ = 0;
        return result::kOk;
    }
    int64_t read(uint8_t* dst, uint32_t maxFrames) override
    {
        for (;;) {
            if (interrupted_)
                return 0;
            int64_t due = (clock_.nowMs() - startMs_) * format_.samplesPerSec / 1000;
            if (due > produced_) {
                int64_t n = std::min<int64_t>(due - produced_, maxFrames);
                auto bytes = render(script_, format_, position_, n);
                std::copy(bytes.begin(), bytes.end(), dst);
                produced_ += n;
                position_ += n;
                return n;
            }
            waiter_->wait(10);
        }
    }
    void interrupt() override
    {
        std::lock_guard lk(m_);
        interrupted_ = true;
        if (waiter_)
            waiter_->wake();
    }
    void stop() override
    {
        std::lock_guard lk(m_);
        waiter_.reset();
    }

private:
    snd::ManualClock& clock_;
    const InputScript& script_;
    snd::WaveFormat format_;
    std::mutex m_;
    std::unique_ptr<snd::Waiter> waiter_;
    std::atomic<bool> interrupted_{false};
    int64_t startMs_ = 0;
    int64_t produced_ = 0;
    int64_t position_ = 0;  // in the script: a restart goes on where the last run stopped
};

class GeneratedWaveSystem::Output : public PlaybackSink {
public:
    explicit Output(GeneratedWaveSystem& owner) : owner_(owner) {}
    int32_t open(const snd::WaveFormat& f) override
    {
        format_ = f;
        return result::kOk;
    }
    int64_t write(const uint8_t* src, uint32_t frames) override
    {
        std::lock_guard lk(owner_.m_);
        owner_.played_.insert(owner_.played_.end(), src, src + size_t(frames) * format_.blockAlign);
        return frames;
    }
    void interrupt() override {}
    void stop() override {}

private:
    GeneratedWaveSystem& owner_;
    snd::WaveFormat format_;
};

GeneratedWaveSystem::GeneratedWaveSystem(snd::ManualClock& clock, InputScript script, int inputs, int outputs)
    : clock_(clock), script_(std::move(script)), inputs_(inputs), outputs_(outputs)
{
}

std::vector<std::string> GeneratedWaveSystem::inputDevices()
{
    std::vector<std::string> names;
    for (int i = 0; i < inputs_; ++i)
        names.push_back("Generated input " + std::to_string(i));
    return names;
}

std::vector<std::string> GeneratedWaveSystem::outputDevices()
{
    std::vector<std::string> names;
    for (int i = 0; i < outputs_; ++i)
        names.push_back("Recording output " + std::to_string(i));
    return names;
}

std::unique_ptr<CaptureSource> GeneratedWaveSystem::createInput(int device)
{
    lastInput_ = device;
    return std::make_unique<Input>(clock_, script_);
}

std::unique_ptr<PlaybackSink> GeneratedWaveSystem::createOutput(int device)
{
    lastOutput_ = device;
    return std::make_unique<Output>(*this);
}

std::vector<uint8_t> GeneratedWaveSystem::played() const
{
    std::lock_guard lk(m_);
    return played_;
}

}  // namespace wave
