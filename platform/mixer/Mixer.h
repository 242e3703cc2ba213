// The sound card mixers, as far as opening and closing one goes: a MixerSystem counts the
// mixer devices and opens one by id; the open device is closed when it is destroyed. Lines and
// controls come later. Results are the wave layer's codes (platform/wave/WaveDevice.h).
//
// Backends: ALSA (one mixer per sound card) and an in-memory system for tests.
// Threads: one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace mixer {

class MixerDevice {
public:
    virtual ~MixerDevice() = default;
    virtual std::string name() const = 0;
};

class MixerSystem {
public:
    virtual ~MixerSystem() = default;
    virtual int deviceCount() = 0;
    [[nodiscard]] virtual int32_t open(int device, std::unique_ptr<MixerDevice>& out) = 0;
};

std::shared_ptr<MixerSystem> alsaMixerSystem();

class MemoryMixerSystem : public MixerSystem {
public:
    explicit MemoryMixerSystem(int devices) : devices_(devices) {}
    int deviceCount() override { return devices_; }
    int32_t open(int device, std::unique_ptr<MixerDevice>& out) override;
    // Mixers open right now.
    int openCount() const { return *open_; }

private:
    int devices_;
    std::shared_ptr<int> open_ = std::make_shared<int>(0);
};

}  // namespace mixer
