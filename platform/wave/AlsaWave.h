// The ALSA wave devices: capture and playback PCMs named by ALSA. Device 0 (and the mapper) is
// "default", then the other PCMs ALSA's hints list for that direction, up to ten.
//
// Threads: as WaveDevice.h says; ALSA calls are made from the device thread only, except
// open/start/stop on the owner's thread while the device thread is not running.
#pragma once

#include "platform/wave/WaveDevice.h"

namespace wave {

class AlsaWaveSystem : public WaveSystem {
public:
    // The machine's PCMs, read from ALSA's own configuration.
    AlsaWaveSystem();
    // Fixed PCM names, opened with the ALSA configuration `config` (text) instead of the
    // system's: a test defines its PCMs this way without touching the process's environment.
    AlsaWaveSystem(std::vector<std::string> inputs, std::vector<std::string> outputs, std::string config);

    std::vector<std::string> inputDevices() override { return inputs_; }
    std::vector<std::string> outputDevices() override { return outputs_; }
    std::unique_ptr<CaptureSource> createInput(int device) override;
    std::unique_ptr<PlaybackSink> createOutput(int device) override;

private:
    std::vector<std::string> inputs_, outputs_;
    std::string config_;
};

}  // namespace wave
