#include "platform/wave/AlsaWave.h"

#include "platform/sound/AlsaQuiet.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace wave {

namespace {

constexpr unsigned kLatencyUs = 100000;
constexpr int kPollMs = 20;

using snd::silenceAlsaOnce;

std::vector<std::string> pcmNames(bool capture)
{
    silenceAlsaOnce();
    std::vector<std::string> list{"default"};
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0)
        return list;
    const std::string want = capture ? "Input" : "Output";
    for (void** h = hints; *h && list.size() < size_t(kMaxDevices); ++h) {
        char* name = snd_device_name_get_hint(*h, "NAME");
        char* io = snd_device_name_get_hint(*h, "IOID");
        if (name && (!io || want == io) && std::string(name) != "null" && std::string(name) != "default")
            list.push_back(name);
        free(name);
        free(io);
    }
    snd_device_name_free_hint(hints);
    return list;
}

// One PCM in non-blocking mode: the device thread polls in short waits so that interrupt()
// is seen within kPollMs without calling ALSA from two threads.
class AlsaPcm {
public:
    AlsaPcm(std::string name, std::string config, snd_pcm_stream_t stream)
        : name_(std::move(name)), config_(std::move(config)), stream_(stream)
    {
    }
    ~AlsaPcm()
    {
        if (pcm_)
            snd_pcm_close(pcm_);
        if (lconf_)
            snd_config_delete(lconf_);
    }

    int32_t open(const snd::WaveFormat& f)
    {
        silenceAlsaOnce();
        int r = 0;
        if (config_.empty()) {
            r = snd_pcm_open(&pcm_, name_.c_str(), stream_, SND_PCM_NONBLOCK);
        } else {
            snd_input_t* in = nullptr;
            if (snd_config_top(&lconf_) < 0 || snd_input_buffer_open(&in, config_.data(), ssize_t(config_.size())) < 0)
                return result::kNoDriver;
            r = snd_config_load(lconf_, in);
            snd_input_close(in);
            if (r >= 0)
                r = snd_pcm_open_lconf(&pcm_, name_.c_str(), stream_, SND_PCM_NONBLOCK, lconf_);
        }
        if (r < 0) {
            pcm_ = nullptr;
            return r == -EBUSY ? result::kAllocated : result::kNoDriver;
        }
        snd_pcm_format_t format = f.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
        if (snd_pcm_set_params(pcm_, format, SND_PCM_ACCESS_RW_INTERLEAVED, f.channels, f.samplesPerSec, 1,
                               kLatencyUs) < 0)
            return result::kBadFormat;
        return result::kOk;
    }

    int32_t start()
    {
        interrupted_ = false;
        if (snd_pcm_prepare(pcm_) < 0)
            return result::kError;
        if (stream_ == SND_PCM_STREAM_CAPTURE && snd_pcm_start(pcm_) < 0)
            return result::kError;
        return result::kOk;
    }

    int64_t transfer(uint8_t* data, uint32_t frames)
    {
        for (int tries = 0; tries < 5 && !interrupted_; ++tries) {
            snd_pcm_sframes_t n = stream_ == SND_PCM_STREAM_CAPTURE ? snd_pcm_readi(pcm_, data, frames)
                                                                    : snd_pcm_writei(pcm_, data, frames);
            if (n > 0)
                return n;
            if (n == -EAGAIN || n == 0) {
                snd_pcm_wait(pcm_, kPollMs);
                continue;
            }
            if (snd_pcm_recover(pcm_, int(n), 1) < 0)
                return -1;
            if (stream_ == SND_PCM_STREAM_CAPTURE)
                snd_pcm_start(pcm_);
        }
        return 0;
    }

    void interrupt() { interrupted_ = true; }
    void stop()
    {
        if (pcm_)
            snd_pcm_drop(pcm_);
        interrupted_ = false;
    }

private:
    std::string name_, config_;
    snd_pcm_stream_t stream_;
    snd_pcm_t* pcm_ = nullptr;
    snd_config_t* lconf_ = nullptr;
    std::atomic<bool> interrupted_{false};
};

class AlsaCapture : public CaptureSource {
public:
    AlsaCapture(std::string name, std::string config) : pcm_(std::move(name), std::move(config), SND_PCM_STREAM_CAPTURE) {}
    int32_t open(const snd::WaveFormat& f) override { return pcm_.open(f); }
    int32_t start() override { return pcm_.start(); }
    int64_t read(uint8_t* dst, uint32_t maxFrames) override { return pcm_.transfer(dst, maxFrames); }
    void interrupt() override { pcm_.interrupt(); }
    void stop() override { pcm_.stop(); }

private:
    AlsaPcm pcm_;
};

class AlsaPlayback : public PlaybackSink {
public:
    AlsaPlayback(std::string name, std::string config) : pcm_(std::move(name), std::move(config), SND_PCM_STREAM_PLAYBACK) {}
    int32_t open(const snd::WaveFormat& f) override
    {
        int32_t r = pcm_.open(f);
        return r ? r : pcm_.start();
    }
    int64_t write(const uint8_t* src, uint32_t frames) override { return pcm_.transfer(const_cast<uint8_t*>(src), frames); }
    void interrupt() override { pcm_.interrupt(); }
    void stop() override
    {
        pcm_.stop();
        pcm_.start();
    }

private:
    AlsaPcm pcm_;
};

}  // namespace

AlsaWaveSystem::AlsaWaveSystem() : inputs_(pcmNames(true)), outputs_(pcmNames(false)) {}

AlsaWaveSystem::AlsaWaveSystem(std::vector<std::string> inputs, std::vector<std::string> outputs, std::string config)
    : inputs_(std::move(inputs)), outputs_(std::move(outputs)), config_(std::move(config))
{
}

std::unique_ptr<CaptureSource> AlsaWaveSystem::createInput(int device)
{
    if (inputs_.empty())
        return nullptr;
    return std::make_unique<AlsaCapture>(inputs_[device < 0 ? 0 : size_t(device)], config_);
}

std::unique_ptr<PlaybackSink> AlsaWaveSystem::createOutput(int device)
{
    if (outputs_.empty())
        return nullptr;
    return std::make_unique<AlsaPlayback>(outputs_[device < 0 ? 0 : size_t(device)], config_);
}

std::shared_ptr<WaveSystem> alsaWaveSystem() { return std::make_shared<AlsaWaveSystem>(); }

}  // namespace wave
