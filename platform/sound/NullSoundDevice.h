// The backend used when no sound card can be opened: it consumes sound at the speed of the
// monotonic clock and discards it, so playback, positions and end-of-track events behave as
// with a card, silently.
//
// Threads: one device thread (DeviceThread) renders 20 ms periods on time.
#pragma once

#include "platform/sound/DeviceThread.h"
#include "platform/sound/SoundDevice.h"

#include <chrono>

namespace snd {

class NullSoundDevice : public SoundDevice {
public:
    // `reason`: why the null device plays in place of a card (see silentReason).
    static std::shared_ptr<NullSoundDevice> create(const WaveFormat& output = WaveFormat::pcm(44100, 2, 16),
                                                   const std::string& reason = "no sound device");
    ~NullSoundDevice() override;
    std::string name() const override { return "null"; }
    std::string silentReason() const override { return reason_; }

protected:
    int32_t applyFormat(WaveFormat& format) override;

private:
    explicit NullSoundDevice(const WaveFormat& output);
    bool playPeriod();

    std::string reason_;
    DeviceThread thread_;
    std::vector<uint8_t> scratch_;
    int64_t periodsDone_ = 0;
    std::chrono::steady_clock::time_point started_;
};

}  // namespace snd
