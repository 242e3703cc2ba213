#include "platform/mixer/Mixer.h"

#include "platform/wave/WaveDevice.h"

#include <alsa/asoundlib.h>

namespace mixer {

namespace {

class AlsaMixer : public MixerDevice {
public:
    AlsaMixer(snd_mixer_t* m, std::string name) : m_(m), name_(std::move(name)) {}
    ~AlsaMixer() override { snd_mixer_close(m_); }
    std::string name() const override { return name_; }

private:
    snd_mixer_t* m_;
    std::string name_;
};

class AlsaMixerSystem : public MixerSystem {
public:
    int deviceCount() override
    {
        int count = 0;
        for (int card = -1; snd_card_next(&card) == 0 && card >= 0;)
            ++count;
        return count;
    }
    int32_t open(int device, std::unique_ptr<MixerDevice>& out) override
    {
        if (device < 0 || device >= deviceCount())
            return wave::result::kBadDeviceId;
        // Cards are numbered in the order snd_card_next gives them.
        int card = -1;
        for (int i = 0; i <= device; ++i)
            if (snd_card_next(&card) < 0 || card < 0)
                return wave::result::kBadDeviceId;
        std::string hw = "hw:" + std::to_string(card);
        snd_mixer_t* m = nullptr;
        if (snd_mixer_open(&m, 0) < 0)
            return wave::result::kNoMem;
        if (snd_mixer_attach(m, hw.c_str()) < 0 || snd_mixer_selem_register(m, nullptr, nullptr) < 0 ||
            snd_mixer_load(m) < 0) {
            snd_mixer_close(m);
            return wave::result::kNoDriver;
        }
        out = std::make_unique<AlsaMixer>(m, hw);
        return wave::result::kOk;
    }
};

class MemoryMixer : public MixerDevice {
public:
    MemoryMixer(std::shared_ptr<int> open, int device) : open_(std::move(open)), device_(device) { ++*open_; }
    ~MemoryMixer() override { --*open_; }
    std::string name() const override { return "Memory mixer " + std::to_string(device_); }

private:
    std::shared_ptr<int> open_;
    int device_;
};

}  // namespace

std::shared_ptr<MixerSystem> alsaMixerSystem() { return std::make_shared<AlsaMixerSystem>(); }

int32_t MemoryMixerSystem::open(int device, std::unique_ptr<MixerDevice>& out)
{
    if (device < 0 || device >= devices_)
        return wave::result::kBadDeviceId;
    out = std::make_unique<MemoryMixer>(open_, device);
    return wave::result::kOk;
}

}  // namespace mixer
