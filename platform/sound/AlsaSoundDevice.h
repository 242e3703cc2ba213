// The real backend: plays through an ALSA PCM ("default" reaches PipeWire or PulseAudio on a
// desktop) with a short device buffer, so the audible play cursor trails the mixer by at most
// about 150 ms. A write error that recovery cannot mend (the card was unplugged) marks the
// device lost, which stops and loses every buffer.
//
// Threads: one device thread (DeviceThread) renders periods and blocks in the ALSA write.
#pragma once

#include "platform/sound/DeviceThread.h"
#include "platform/sound/SoundDevice.h"

struct _snd_pcm;

namespace snd {

class AlsaSoundDevice : public SoundDevice {
public:
    // Null when the PCM cannot be opened with the format; then `error` (when given) says why.
    static std::shared_ptr<AlsaSoundDevice> create(const std::string& pcmName,
                                                   const WaveFormat& output = WaveFormat::pcm(44100, 2, 16),
                                                   std::string* error = nullptr);
    ~AlsaSoundDevice() override;
    std::string name() const override { return "alsa:" + pcmName_; }

    // Output PCMs as (description, name) pairs, from ALSA's device hints.
    static std::vector<Info> devices();

protected:
    int32_t applyFormat(WaveFormat& format) override;

private:
    AlsaSoundDevice(const std::string& pcmName, const WaveFormat& output);
    // 0, or ALSA's negative error code.
    int configure(const WaveFormat& format);
    bool playPeriod();

    std::string pcmName_;
    _snd_pcm* pcm_ = nullptr;
    DeviceThread thread_;
    std::vector<uint8_t> scratch_;
};

}  // namespace snd
