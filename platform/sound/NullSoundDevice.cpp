#include "platform/sound/NullSoundDevice.h"

#include <chrono>
#include <thread>

namespace snd {

namespace {
constexpr int kPeriodMs = 20;
}

std::shared_ptr<NullSoundDevice> NullSoundDevice::create(const WaveFormat& output, const std::string& reason)
{
    auto d = std::shared_ptr<NullSoundDevice>(new NullSoundDevice(output));
    d->reason_ = reason;
    d->started_ = std::chrono::steady_clock::now();
    d->thread_.start([raw = d.get()] { return raw->playPeriod(); });
    return d;
}

NullSoundDevice::NullSoundDevice(const WaveFormat& output) : SoundDevice(output) {}

NullSoundDevice::~NullSoundDevice() { thread_.stop(); }

bool NullSoundDevice::playPeriod()
{
    WaveFormat f = primaryFormat();
    size_t frames = f.samplesPerSec * kPeriodMs / 1000;
    scratch_.resize(frames * f.blockAlign);
    render(scratch_.data(), frames);
    ++periodsDone_;
    std::this_thread::sleep_until(started_ + std::chrono::milliseconds(periodsDone_ * kPeriodMs));
    return true;
}

int32_t NullSoundDevice::applyFormat(WaveFormat&) { return result::kOk; }

}  // namespace snd
