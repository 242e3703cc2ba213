// The ALSA backend of the mixer layer: ALSA's simple mixer over "default" and each card.
//
// One snd_mixer_t serves both threads: the user-interface thread reads and writes elements,
// the watcher waits on the mixer's poll descriptors and lets ALSA handle what arrives, which
// updates the elements' cached values and calls their callbacks. A mutex keeps the two apart.
// A removed element is forgotten at once (its pointer dies with it); a card that goes away
// ends the watcher.
#include "platform/mixer/Mixer.h"

#include "platform/mixer/MixerModel.h"
#include "platform/sound/AlsaQuiet.h"
#include "platform/wave/WaveDevice.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <thread>

namespace mixer {

namespace {

namespace r = wave::result;
using detail::Side;

snd_mixer_selem_channel_id_t channelId(int channel)
{
    return channel == 0 ? SND_MIXER_SCHN_FRONT_LEFT : SND_MIXER_SCHN_FRONT_RIGHT;
}

class AlsaElements : public detail::ElementSet {
public:
    static int32_t open(const std::string& name, std::unique_ptr<AlsaElements>& out, MixerCaps& caps)
    {
        snd_mixer_t* m = nullptr;
        if (snd_mixer_open(&m, 0) < 0)
            return r::kNoMem;
        if (snd_mixer_attach(m, name.c_str()) < 0 || snd_mixer_selem_register(m, nullptr, nullptr) < 0 ||
            snd_mixer_load(m) < 0) {
            snd_mixer_close(m);
            return r::kNoDriver;
        }
        caps.productName = cardName(m, name);
        out.reset(new AlsaElements(m));
        return r::kOk;
    }

    ~AlsaElements() override
    {
        if (thread_.joinable()) {
            const uint64_t one = 1;
            if (write(stopFd_, &one, sizeof one) < 0)
                std::perror("mixer watcher");
            thread_.join();
        }
        if (stopFd_ >= 0)
            close(stopFd_);
        changed = nullptr;  // closing removes every element: nobody is told any more
        snd_mixer_close(mixer_);
    }

    std::vector<detail::ElementInfo> infos() override
    {
        std::lock_guard lock(m_);
        std::vector<detail::ElementInfo> list;
        for (const auto& ref : refs_) {
            snd_mixer_elem_t* e = ref->elem;
            detail::ElementInfo i;
            i.name = snd_mixer_selem_get_name(e);
            i.active = snd_mixer_selem_is_active(e);
            i.mono[detail::kPlayback] = snd_mixer_selem_is_playback_mono(e);
            i.mono[detail::kCapture] = snd_mixer_selem_is_capture_mono(e);
            i.volume[detail::kPlayback] = snd_mixer_selem_has_playback_volume(e);
            i.volume[detail::kCapture] = snd_mixer_selem_has_capture_volume(e);
            i.switches[detail::kPlayback] = snd_mixer_selem_has_playback_switch(e);
            i.switches[detail::kCapture] = snd_mixer_selem_has_capture_switch(e);
            i.exclusive = snd_mixer_selem_has_capture_switch_exclusive(e);
            if (snd_mixer_selem_is_enumerated(e)) {
                i.enumCapture = snd_mixer_selem_is_enum_capture(e);
                i.enumItems = enumItemNames(e);
            }
            list.push_back(std::move(i));
        }
        return list;
    }

    bool active(int e, bool& on) override
    {
        return with(e, [&](snd_mixer_elem_t* m) { on = snd_mixer_selem_is_active(m); return true; });
    }
    bool range(int e, Side s, long& min, long& max) override
    {
        return with(e, [&](snd_mixer_elem_t* m) {
            return (s == detail::kPlayback ? snd_mixer_selem_get_playback_volume_range(m, &min, &max)
                                           : snd_mixer_selem_get_capture_volume_range(m, &min, &max)) == 0;
        });
    }
    bool raw(int e, Side s, int channel, long& value) override
    {
        return with(e, [&](snd_mixer_elem_t* m) {
            return (s == detail::kPlayback ? snd_mixer_selem_get_playback_volume(m, channelId(channel), &value)
                                           : snd_mixer_selem_get_capture_volume(m, channelId(channel), &value)) == 0;
        });
    }
    bool setRaw(int e, Side s, int channel, long value) override
    {
        return with(e, [&](snd_mixer_elem_t* m) {
            return (s == detail::kPlayback ? snd_mixer_selem_set_playback_volume(m, channelId(channel), value)
                                           : snd_mixer_selem_set_capture_volume(m, channelId(channel), value)) == 0;
        });
    }
    bool switchOn(int e, Side s, bool& on) override
    {
        return with(e, [&](snd_mixer_elem_t* m) {
            int v = 0;
            const int res = s == detail::kPlayback ? snd_mixer_selem_get_playback_switch(m, channelId(0), &v)
                                                   : snd_mixer_selem_get_capture_switch(m, channelId(0), &v);
            on = v != 0;
            return res == 0;
        });
    }
    bool setSwitch(int e, Side s, bool on) override
    {
        return with(e, [&](snd_mixer_elem_t* m) {
            return (s == detail::kPlayback ? snd_mixer_selem_set_playback_switch_all(m, on)
                                           : snd_mixer_selem_set_capture_switch_all(m, on)) == 0;
        });
    }

    bool enumItem(int e, int& item) override
    {
        return with(e, [&](snd_mixer_elem_t* m) {
            unsigned at = 0;
            if (snd_mixer_selem_get_enum_item(m, SND_MIXER_SCHN_FRONT_LEFT, &at) < 0)
                return false;
            item = static_cast<int>(at);
            return true;
        });
    }
    bool setEnumItem(int e, int item) override
    {
        return with(e, [&](snd_mixer_elem_t* m) {
            if (item < 0 || snd_mixer_selem_set_enum_item(m, SND_MIXER_SCHN_FRONT_LEFT, static_cast<unsigned>(item)) < 0)
                return false;
            // The other channels follow, as far as the element has them.
            for (int ch = SND_MIXER_SCHN_FRONT_LEFT + 1; ch <= SND_MIXER_SCHN_LAST; ++ch)
                if (snd_mixer_selem_set_enum_item(m, static_cast<snd_mixer_selem_channel_id_t>(ch),
                                                  static_cast<unsigned>(item)) < 0)
                    break;
            return true;
        });
    }

    int32_t watch() override
    {
        stopFd_ = eventfd(0, EFD_CLOEXEC);
        if (stopFd_ < 0)
            return r::kNoMem;
        std::vector<pollfd> fds;
        {
            std::lock_guard lock(m_);
            const int n = snd_mixer_poll_descriptors_count(mixer_);
            if (n <= 0)
                return r::kError;
            fds.resize(static_cast<size_t>(n) + 1);
            if (snd_mixer_poll_descriptors(mixer_, fds.data() + 1, static_cast<unsigned>(n)) != n)
                return r::kError;
            watching_ = true;
        }
        fds[0] = pollfd{stopFd_, POLLIN, 0};
        try {
            thread_ = std::thread([this, fds] { run(fds); });
        } catch (const std::system_error&) {
            std::lock_guard lock(m_);
            watching_ = false;
            return r::kNoMem;
        }
        return r::kOk;
    }

private:
    struct Ref {
        AlsaElements* owner;
        int index;
        snd_mixer_elem_t* elem;  // null once ALSA removed it
    };

    explicit AlsaElements(snd_mixer_t* m) : mixer_(m)
    {
        // Every element, enumerated ones too: the line model picks the capture selector.
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(m); e; e = snd_mixer_elem_next(e)) {
            refs_.push_back(std::make_unique<Ref>(Ref{this, static_cast<int>(refs_.size()), e}));
            snd_mixer_elem_set_callback_private(e, refs_.back().get());
            snd_mixer_elem_set_callback(e, &AlsaElements::elementEvent);
        }
    }

    static std::vector<std::string> enumItemNames(snd_mixer_elem_t* e)
    {
        std::vector<std::string> names;
        const int count = snd_mixer_selem_get_enum_items(e);
        for (int i = 0; i < count; ++i) {
            char name[128] = {};
            if (snd_mixer_selem_get_enum_item_name(e, static_cast<unsigned>(i), sizeof name, name) < 0)
                return {};
            names.emplace_back(name);
        }
        return names;
    }

    static std::string cardName(snd_mixer_t* m, const std::string& name)
    {
        std::string card = name;
        snd_hctl_t* hctl = nullptr;
        snd_ctl_card_info_t* info = nullptr;
        if (snd_mixer_get_hctl(m, name.c_str(), &hctl) == 0 && snd_ctl_card_info_malloc(&info) == 0) {
            if (snd_ctl_card_info(snd_hctl_ctl(hctl), info) == 0 && *snd_ctl_card_info_get_name(info))
                card = snd_ctl_card_info_get_name(info);
            snd_ctl_card_info_free(info);
        }
        return card;
    }

    // Runs under the mutex, inside snd_mixer_handle_events.
    static int elementEvent(snd_mixer_elem_t* elem, unsigned int mask)
    {
        auto* ref = static_cast<Ref*>(snd_mixer_elem_get_callback_private(elem));
        if (!ref)
            return 0;
        const bool removed = mask == SND_CTL_EVENT_MASK_REMOVE;
        if (removed)
            ref->elem = nullptr;
        if (ref->owner->changed && (removed || (mask & (SND_CTL_EVENT_MASK_INFO | SND_CTL_EVENT_MASK_VALUE))))
            ref->owner->changed(ref->index, removed || (mask & SND_CTL_EVENT_MASK_INFO));
        return 0;
    }

    template <class Fn> bool with(int e, Fn fn)
    {
        std::lock_guard lock(m_);
        if (!watching_)
            catchUp();
        if (e < 0 || e >= static_cast<int>(refs_.size()) || !refs_[e]->elem)
            return false;
        return fn(refs_[e]->elem);
    }

    // Without a watcher, what others changed is taken in before each use.
    void catchUp()
    {
        const int n = snd_mixer_poll_descriptors_count(mixer_);
        if (n <= 0)
            return;
        std::vector<pollfd> fds(static_cast<size_t>(n));
        if (snd_mixer_poll_descriptors(mixer_, fds.data(), static_cast<unsigned>(n)) == n &&
            poll(fds.data(), fds.size(), 0) > 0)
            snd_mixer_handle_events(mixer_);
    }

    void run(std::vector<pollfd> fds)
    {
        for (;;) {
            for (pollfd& f : fds)
                f.revents = 0;
            if (poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[0].revents)
                return;
            std::lock_guard lock(m_);
            unsigned short events = 0;
            if (snd_mixer_poll_descriptors_revents(mixer_, fds.data() + 1, static_cast<unsigned>(fds.size() - 1),
                                                   &events) < 0 ||
                (events & (POLLERR | POLLHUP | POLLNVAL)))
                return;  // the card is gone
            if ((events & POLLIN) && snd_mixer_handle_events(mixer_) < 0)
                return;
        }
    }

    std::mutex m_;
    snd_mixer_t* mixer_;
    std::vector<std::unique_ptr<Ref>> refs_;
    bool watching_ = false;
    int stopFd_ = -1;
    std::thread thread_;
};

// "default" first when it opens, then each card.
std::vector<std::string> deviceNames()
{
    snd::silenceAlsaOnce();
    std::vector<std::string> names;
    snd_ctl_t* ctl = nullptr;
    if (snd_ctl_open(&ctl, "default", SND_CTL_NONBLOCK) == 0) {
        snd_ctl_close(ctl);
        names.push_back("default");
    }
    for (int card = -1; snd_card_next(&card) == 0 && card >= 0;)
        names.push_back("hw:" + std::to_string(card));
    return names;
}

uint32_t libraryVersion()
{
    unsigned major = 0, minor = 0;
    if (std::sscanf(snd_asoundlib_version(), "%u.%u", &major, &minor) != 2)
        return 0;
    return (major & 0xFF) << 8 | (minor & 0xFF);
}

class AlsaMixerSystem : public MixerSystem {
public:
    int deviceCount() override { return static_cast<int>(deviceNames().size()); }
    using MixerSystem::open;
    int32_t open(int device, NoticeFn notices, std::unique_ptr<MixerDevice>& out) override
    {
        const std::vector<std::string> names = deviceNames();
        if (device < 0 || device >= static_cast<int>(names.size()))
            return r::kBadDeviceId;
        MixerCaps caps;
        caps.driverVersion = libraryVersion();
        std::unique_ptr<AlsaElements> set;
        if (int32_t res = AlsaElements::open(names[static_cast<size_t>(device)], set, caps))
            return res;
        return detail::openLineMixer(std::move(set), caps, std::move(notices), out);
    }
};

}  // namespace

std::shared_ptr<MixerSystem> alsaMixerSystem() { return std::make_shared<AlsaMixerSystem>(); }

}  // namespace mixer
