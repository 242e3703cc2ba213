#include "platform/sound/AlsaSoundDevice.h"
#include "platform/sound/AlsaQuiet.h"

#include <alsa/asoundlib.h>

#include <mutex>

namespace snd {

namespace {

constexpr unsigned kLatencyUs = 150000;
constexpr int kPeriodMs = 20;

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

void silenceAlsaOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quietAlsa); });
}

std::shared_ptr<AlsaSoundDevice> AlsaSoundDevice::create(const std::string& pcmName, const WaveFormat& output,
                                                         std::string* error)
{
    silenceAlsaOnce();
    auto fail = [&](const char* step, int code) -> std::shared_ptr<AlsaSoundDevice> {
        if (error)
            *error = "ALSA " + pcmName + ": " + step + ": " + snd_strerror(code);
        return nullptr;
    };
    auto d = std::shared_ptr<AlsaSoundDevice>(new AlsaSoundDevice(pcmName, output));
    if (int code = snd_pcm_open(&d->pcm_, pcmName.c_str(), SND_PCM_STREAM_PLAYBACK, 0); code < 0) {
        d->pcm_ = nullptr;
        return fail("cannot open", code);
    }
    if (int code = d->configure(output); code < 0)
        return fail("cannot set the format", code);
    d->thread_.start([raw = d.get()] { return raw->playPeriod(); });
    return d;
}

AlsaSoundDevice::AlsaSoundDevice(const std::string& pcmName, const WaveFormat& output)
    : SoundDevice(output), pcmName_(pcmName)
{
}

AlsaSoundDevice::~AlsaSoundDevice()
{
    thread_.stop();
    if (pcm_)
        snd_pcm_close(pcm_);
}

int AlsaSoundDevice::configure(const WaveFormat& f)
{
    snd_pcm_format_t format = f.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    snd_pcm_drop(pcm_);
    return snd_pcm_set_params(pcm_, format, SND_PCM_ACCESS_RW_INTERLEAVED, f.channels, f.samplesPerSec,
                              1, kLatencyUs);
}

int32_t AlsaSoundDevice::applyFormat(WaveFormat& format)
{
    thread_.stop();
    bool ok = configure(format) == 0;
    if (!ok)
        configure(primaryFormat());
    thread_.start([this] { return playPeriod(); });
    return ok ? result::kOk : result::kBadFormat;
}

bool AlsaSoundDevice::playPeriod()
{
    WaveFormat f = primaryFormat();
    snd_pcm_uframes_t frames = f.samplesPerSec * kPeriodMs / 1000;
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm_, &delay) < 0 || delay < 0)
        delay = 0;
    scratch_.resize(frames * f.blockAlign);
    render(scratch_.data(), frames, size_t(delay));
    const uint8_t* p = scratch_.data();
    while (frames > 0) {
        snd_pcm_sframes_t n = snd_pcm_writei(pcm_, p, frames);
        if (n < 0)
            n = snd_pcm_recover(pcm_, int(n), 1);
        if (n < 0) {
            markLost();
            return false;
        }
        p += size_t(n) * f.blockAlign;
        frames -= snd_pcm_uframes_t(n);
    }
    return true;
}

std::vector<SoundDevice::Info> AlsaSoundDevice::devices()
{
    silenceAlsaOnce();
    std::vector<Info> list;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0)
        return list;
    for (void** h = hints; *h; ++h) {
        char* name = snd_device_name_get_hint(*h, "NAME");
        char* desc = snd_device_name_get_hint(*h, "DESC");
        char* io = snd_device_name_get_hint(*h, "IOID");
        bool output = !io || std::string(io) == "Output";
        if (name && output && std::string(name) != "null")
            list.push_back({desc ? std::string(desc) : std::string(name), name});
        free(name);
        free(desc);
        free(io);
    }
    snd_device_name_free_hint(hints);
    return list;
}

}  // namespace snd
