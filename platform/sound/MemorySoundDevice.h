// The test backend: a device that plays on a ManualClock and records every output frame.
// Each step of the clock renders exactly the frames that fall into it (time × rate), so what
// a test plays comes out the same on every run. It holds nothing back: what is rendered is
// heard at once.
//
// Threads: rendering runs on the thread that advances the clock; the recording is read by
// the test thread between advances.
#pragma once

#include "platform/sound/Clock.h"
#include "platform/sound/SoundDevice.h"

namespace snd {

class MemorySoundDevice : public SoundDevice {
public:
    static std::shared_ptr<MemorySoundDevice> create(ManualClock& clock,
                                                     const WaveFormat& output = WaveFormat::pcm(44100, 2, 16));
    ~MemorySoundDevice() override;

    std::string name() const override { return "memory"; }
    // Every byte played since creation or the last take, in the primary format.
    std::vector<uint8_t> takeRecorded();
    int64_t framesPlayed() const;

protected:
    int32_t applyFormat(WaveFormat& format) override;

private:
    MemorySoundDevice(ManualClock& clock, const WaveFormat& output);
    void playUntil(int64_t nowMs);

    ManualClock& clock_;
    int listener_ = 0;
    int64_t startMs_ = 0;
    int64_t framesPlayed_ = 0;  // since startMs_, at the current format's rate
    std::vector<uint8_t> recorded_;
};

}  // namespace snd
