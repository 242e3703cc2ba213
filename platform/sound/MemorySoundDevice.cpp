#include "platform/sound/MemorySoundDevice.h"

namespace snd {

std::shared_ptr<MemorySoundDevice> MemorySoundDevice::create(ManualClock& clock, const WaveFormat& output)
{
    return std::shared_ptr<MemorySoundDevice>(new MemorySoundDevice(clock, output));
}

MemorySoundDevice::MemorySoundDevice(ManualClock& clock, const WaveFormat& output)
    : SoundDevice(output), clock_(clock), startMs_(clock.nowMs())
{
    listener_ = clock_.addListener([this](int64_t now) { playUntil(now); });
}

MemorySoundDevice::~MemorySoundDevice() { clock_.removeListener(listener_); }

void MemorySoundDevice::playUntil(int64_t nowMs)
{
    WaveFormat f = primaryFormat();
    int64_t due = (nowMs - startMs_) * f.samplesPerSec / 1000;
    if (due <= framesPlayed_ || isLost())
        return;
    size_t frames = size_t(due - framesPlayed_);
    // Rendered straight onto the end of the recording: one pass over the sound, not two.
    std::lock_guard lk(lock_);
    const size_t old = recorded_.size();
    recorded_.resize(old + frames * f.blockAlign);
    render(recorded_.data() + old, frames);
    framesPlayed_ = due;
}

std::vector<uint8_t> MemorySoundDevice::takeRecorded()
{
    std::lock_guard lk(lock_);
    return std::exchange(recorded_, {});
}

int64_t MemorySoundDevice::framesPlayed() const
{
    std::lock_guard lk(lock_);
    return framesPlayed_;
}

int32_t MemorySoundDevice::applyFormat(WaveFormat&)
{
    // A new rate restarts the frame count at the current time.
    std::lock_guard lk(lock_);
    startMs_ = clock_.nowMs();
    framesPlayed_ = 0;
    return result::kOk;
}

}  // namespace snd
