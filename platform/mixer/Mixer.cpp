#include "platform/mixer/Mixer.h"

#include "platform/forms/Application.h"
#include "platform/mixer/MixerModel.h"
#include "platform/wave/WaveDevice.h"

#include <algorithm>
#include <cmath>

namespace mixer {

namespace r = wave::result;

int32_t levelFromRaw(long Raw, long Min, long Max)
{
    if (Max <= Min)
        return 0;
    const long double span = static_cast<long double>(Max) - Min;
    const long double at = std::clamp(static_cast<long double>(Raw) - Min, 0.0L, span);
    return static_cast<int32_t>(std::lround(at / span * kMaxVolume));
}

long rawFromLevel(int32_t Level, long Min, long Max)
{
    if (Max <= Min)
        return Min;
    const long double span = static_cast<long double>(Max) - Min;
    const long double part = std::clamp<int32_t>(Level, 0, kMaxVolume) / static_cast<long double>(kMaxVolume);
    return Min + static_cast<long>(std::llround(part * span));
}

namespace detail {

namespace {

// Carries notices from the watcher to the user-interface thread; closed (on that thread)
// when the device goes, so a notice still on its way is dropped.
class NoticePoster : public std::enable_shared_from_this<NoticePoster> {
public:
    explicit NoticePoster(NoticeFn fn) : fn_(std::move(fn)) {}
    void post(Notice n, uint32_t id)
    {
        forms::PostToUiThread([self = shared_from_this(), n, id] {
            if (self->open_)
                self->fn_(n, id);
        });
    }
    void close() { open_ = false; }

private:
    NoticeFn fn_;
    bool open_ = true;
};

enum ControlKind : uint32_t { kVolume = 0, kMute = 1, kList = 2, kKinds = 4 };

class LineMixer : public MixerDevice {
public:
    LineMixer(std::unique_ptr<ElementSet> set, MixerCaps caps) : set_(std::move(set)), caps_(std::move(caps))
    {
        infos_ = set_->infos();
        layOut();
        caps_.destinations = static_cast<int>(dests_.size());
    }
    ~LineMixer() override
    {
        if (poster_)
            poster_->close();
        set_.reset();  // the watcher ends before the layout goes
    }

    int32_t watch(NoticeFn notices)
    {
        poster_ = std::make_shared<NoticePoster>(std::move(notices));
        set_->changed = [this](int e, bool info) { elementChanged(e, info); };
        return set_->watch();
    }

    MixerCaps caps() const override { return caps_; }

    int32_t line(int destination, int source, MixerLine& out) override
    {
        if (destination < 0 || destination >= static_cast<int>(dests_.size()))
            return r::kInvalidParam;
        const Dest& d = dests_[destination];
        if (source < -1 || source >= static_cast<int>(d.conns.size()))
            return r::kInvalidParam;
        const uint32_t id = source < 0 ? d.line : d.conns[source];
        const Line& l = lines_[id];
        out = MixerLine{};
        out.id = id;
        out.destination = destination;
        out.source = source;
        out.channels = l.channels;
        out.connections = source < 0 ? static_cast<int>(d.conns.size()) : 0;
        out.controls = static_cast<int>(kinds(id).size());
        out.active = activeNow(l.element);
        out.name = l.name;
        return r::kOk;
    }

    int32_t controls(uint32_t lineId, std::vector<MixerControl>& out) override
    {
        out.clear();
        if (lineId >= lines_.size())
            return r::kInvalidParam;
        const Line& l = lines_[lineId];
        const bool disabled = l.element >= 0 && !activeNow(l.element);
        for (ControlKind k : kinds(lineId)) {
            MixerControl c;
            c.id = lineId * kKinds + k;
            c.disabled = disabled;
            if (k == kVolume) {
                c.type = ControlType::Volume;
                c.name = "Volume";
            } else if (k == kMute) {
                c.type = ControlType::Mute;
                c.name = "Mute";
            } else {
                const Dest& d = dests_[l.destination];
                c.type = d.mux ? ControlType::Mux : ControlType::Mixer;
                c.name = d.mux ? "Mux" : "Mixer";
                c.items = d.items;
            }
            out.push_back(std::move(c));
        }
        return r::kOk;
    }

    int32_t values(uint32_t controlId, std::vector<int32_t>& out) override
    {
        out.clear();
        const Line* l = nullptr;
        const ControlKind k = find(controlId, l);
        if (!l)
            return r::kInvalidParam;
        if (k == kVolume) {
            long min = 0, max = 0;
            if (!set_->range(l->element, l->side, min, max))
                return r::kError;
            for (int ch = 0; ch < l->channels; ++ch) {
                long v = 0;
                if (!set_->raw(l->element, l->side, ch, v))
                    return r::kError;
                out.push_back(levelFromRaw(v, min, max));
            }
        } else if (k == kMute) {
            bool on = false;
            if (!set_->switchOn(l->element, l->side, on))
                return r::kError;
            out.push_back(on ? 0 : 1);
        } else if (const Dest& d = dests_[l->destination]; d.selector >= 0) {
            int at = -1;
            if (!set_->enumItem(d.selector, at))
                return r::kError;
            for (size_t i = 0; i < d.items.size(); ++i)
                out.push_back(static_cast<int>(i) == at ? 1 : 0);
        } else {
            for (uint32_t item : d.items) {
                bool on = false;
                if (!set_->switchOn(lines_[item].element, kCapture, on))
                    return r::kError;
                out.push_back(on ? 1 : 0);
            }
        }
        return r::kOk;
    }

    int32_t setValues(uint32_t controlId, const std::vector<int32_t>& in) override
    {
        const Line* l = nullptr;
        const ControlKind k = find(controlId, l);
        if (!l || in.empty())
            return r::kInvalidParam;
        if (k == kVolume) {
            long min = 0, max = 0;
            if (!set_->range(l->element, l->side, min, max))
                return r::kError;
            const int n = std::min<int>(l->channels, static_cast<int>(in.size()));
            for (int ch = 0; ch < n; ++ch)
                if (!set_->setRaw(l->element, l->side, ch, rawFromLevel(in[ch], min, max)))
                    return r::kError;
            return r::kOk;
        }
        if (k == kMute)
            return set_->setSwitch(l->element, l->side, in[0] == 0) ? r::kOk : r::kError;
        return setList(dests_[l->destination], in);
    }

private:
    struct Line {
        int element = -1;  // -1: a destination with no element of its own
        Side side = kPlayback;
        int destination = 0;
        bool item = false;  // its switch is an item of the destination's list
        int channels = 1;
        std::string name;
    };
    struct Dest {
        uint32_t line = 0;
        std::vector<uint32_t> conns;
        std::vector<uint32_t> items;  // the connections with a switch, or the selector's
        bool mux = false;
        int selector = -1;  // the enumerated element that chooses among the items
    };

    uint32_t addLine(int element, Side side, int destination, bool item, std::string name)
    {
        Line l{element, side, destination, item, 1, std::move(name)};
        if (element >= 0)
            l.channels = infos_[element].mono[side] ? 1 : 2;
        lines_.push_back(std::move(l));
        return static_cast<uint32_t>(lines_.size() - 1);
    }

    int findOwn(Side side, const char* preferred, bool orFirst) const
    {
        int first = -1;
        for (int e = 0; e < static_cast<int>(infos_.size()); ++e) {
            if (!infos_[e].on(side))
                continue;
            if (infos_[e].name == preferred)
                return e;
            if (first < 0)
                first = e;
        }
        return orFirst ? first : -1;
    }

    void addDestination(Side side, int own, const char* fallbackName, int selector = -1)
    {
        const int destination = static_cast<int>(dests_.size());
        Dest d;
        d.line = addLine(own, side, destination, false, own >= 0 ? infos_[own].name : fallbackName);
        bool allExclusive = true;
        for (int e = 0; e < static_cast<int>(infos_.size()); ++e) {
            if (e == own || !infos_[e].on(side))
                continue;
            const bool item = side == kCapture && selector < 0 && infos_[e].switches[kCapture];
            d.conns.push_back(addLine(e, side, destination, item, infos_[e].name));
            if (item) {
                d.items.push_back(d.conns.back());
                allExclusive = allExclusive && infos_[e].exclusive;
            }
        }
        if (selector >= 0)
            addSelectorItems(d, selector);
        d.mux = !d.items.empty() && allExclusive;
        dests_.push_back(std::move(d));
    }

    // Each item of the selector is the connection of its name, or a line of its own.
    void addSelectorItems(Dest& d, int selector)
    {
        d.selector = selector;
        const size_t elementLines = d.conns.size();
        for (const std::string& name : infos_[selector].enumItems) {
            uint32_t id = 0;
            bool found = false;
            for (size_t c = 0; c < elementLines && !found; ++c) {
                id = d.conns[c];
                found = lines_[id].name == name && std::find(d.items.begin(), d.items.end(), id) == d.items.end();
            }
            if (!found) {
                id = addLine(-1, kCapture, lines_[d.line].destination, false, name);
                d.conns.push_back(id);
            }
            d.items.push_back(id);
        }
    }

    void layOut()
    {
        addDestination(kPlayback, findOwn(kPlayback, "Master", true), "Playback");
        const auto selector = std::find_if(infos_.begin(), infos_.end(), [](const ElementInfo& i) {
            return i.enumCapture && !i.enumItems.empty();
        });
        const bool capture = selector != infos_.end() ||
                             std::any_of(infos_.begin(), infos_.end(), [](const ElementInfo& i) { return i.on(kCapture); });
        if (capture)
            addDestination(kCapture, findOwn(kCapture, "Capture", false), "Capture",
                           selector != infos_.end() ? static_cast<int>(selector - infos_.begin()) : -1);
    }

    std::vector<ControlKind> kinds(uint32_t lineId) const
    {
        std::vector<ControlKind> k;
        const Line& l = lines_[lineId];
        if (l.element >= 0) {
            const ElementInfo& i = infos_[l.element];
            if (i.volume[l.side])
                k.push_back(kVolume);
            if (i.switches[l.side] && !l.item)
                k.push_back(kMute);
        }
        const Dest& d = dests_[l.destination];
        if (d.line == lineId && !d.items.empty())
            k.push_back(kList);
        return k;
    }

    ControlKind find(uint32_t controlId, const Line*& l) const
    {
        l = nullptr;
        const uint32_t lineId = controlId / kKinds;
        const auto k = static_cast<ControlKind>(controlId % kKinds);
        if (lineId < lines_.size()) {
            const std::vector<ControlKind> have = kinds(lineId);
            if (std::find(have.begin(), have.end(), k) != have.end())
                l = &lines_[lineId];
        }
        return k;
    }

    bool activeNow(int element) const
    {
        bool on = false;
        return element < 0 || (set_->active(element, on) && on);
    }

    int32_t setList(const Dest& d, const std::vector<int32_t>& in)
    {
        if (in.size() != d.items.size())
            return r::kInvalidParam;
        if (d.mux && std::count_if(in.begin(), in.end(), [](int32_t v) { return v != 0; }) != 1)
            return r::kInvalidParam;
        if (d.selector >= 0) {
            const auto chosen = std::find_if(in.begin(), in.end(), [](int32_t v) { return v != 0; });
            return set_->setEnumItem(d.selector, static_cast<int>(chosen - in.begin())) ? r::kOk : r::kError;
        }
        // Off first, so that a mux never has two selected on the way.
        for (bool pass : {false, true})
            for (size_t i = 0; i < in.size(); ++i)
                if ((in[i] != 0) == pass && !set_->setSwitch(lines_[d.items[i]].element, kCapture, pass))
                    return r::kError;
        return r::kOk;
    }

    // On the watcher's thread: the layout is fixed after open, so only reading it is safe.
    void elementChanged(int e, bool info)
    {
        for (const Dest& d : dests_)
            if (d.selector == e)
                poster_->post(info ? Notice::Line : Notice::Control, info ? d.line : d.line * kKinds + kList);
        for (uint32_t id = 0; id < lines_.size(); ++id) {
            const Line& l = lines_[id];
            if (l.element != e)
                continue;
            if (info) {
                poster_->post(Notice::Line, id);
                continue;
            }
            for (ControlKind k : kinds(id))
                poster_->post(Notice::Control, id * kKinds + k);
            if (l.item)
                poster_->post(Notice::Control, dests_[l.destination].line * kKinds + kList);
        }
    }

    std::unique_ptr<ElementSet> set_;
    MixerCaps caps_;
    std::vector<ElementInfo> infos_;
    std::vector<Line> lines_;
    std::vector<Dest> dests_;
    std::shared_ptr<NoticePoster> poster_;
};

}  // namespace

int32_t openLineMixer(std::unique_ptr<ElementSet> set, MixerCaps caps, NoticeFn notices,
                      std::unique_ptr<MixerDevice>& out)
{
    auto m = std::make_unique<LineMixer>(std::move(set), std::move(caps));
    if (notices)
        if (int32_t res = m->watch(std::move(notices)))
            return res;
    out = std::move(m);
    return r::kOk;
}

}  // namespace detail

// ---------------------------------------------------------------- the in-memory system

struct MemoryMixerSystem::State {
    std::mutex m;
    std::vector<MemoryElement> elements;
    std::vector<Write> writes;
    int open = 0;
    int failing = 0;
    std::vector<bool> requests;
    std::vector<std::function<void(int, bool)>*> watchers;
};

namespace {

using detail::Side;

class MemoryElements : public detail::ElementSet {
public:
    explicit MemoryElements(std::shared_ptr<MemoryMixerSystem::State> s) : s_(std::move(s))
    {
        std::lock_guard lock(s_->m);
        ++s_->open;
    }
    ~MemoryElements() override
    {
        std::lock_guard lock(s_->m);
        --s_->open;
        std::erase(s_->watchers, &changed);
    }
    std::vector<detail::ElementInfo> infos() override
    {
        std::lock_guard lock(s_->m);
        std::vector<detail::ElementInfo> list;
        for (const MemoryElement& m : s_->elements) {
            detail::ElementInfo i;
            i.name = m.name;
            i.active = m.active;
            i.mono[0] = i.mono[1] = m.channels == 1;
            i.volume[detail::kPlayback] = m.playbackVolume;
            i.volume[detail::kCapture] = m.captureVolume;
            i.switches[detail::kPlayback] = m.playbackSwitch;
            i.switches[detail::kCapture] = m.captureSwitch;
            i.exclusive = m.captureExclusive;
            i.enumItems = m.enumItems;
            i.enumCapture = m.enumCapture;
            list.push_back(std::move(i));
        }
        return list;
    }
    bool active(int e, bool& on) override
    {
        std::lock_guard lock(s_->m);
        on = s_->elements.at(e).active;
        return true;
    }
    bool range(int e, Side, long& min, long& max) override
    {
        std::lock_guard lock(s_->m);
        min = s_->elements.at(e).min;
        max = s_->elements.at(e).max;
        return true;
    }
    bool raw(int e, Side s, int channel, long& value) override
    {
        std::lock_guard lock(s_->m);
        value = values(e, s)[channel];
        return true;
    }
    bool setRaw(int e, Side s, int channel, long value) override
    {
        std::lock_guard lock(s_->m);
        values(e, s)[channel] = value;
        s_->writes.push_back({e, s == detail::kPlayback ? "playback" : "capture", channel, value});
        return true;
    }
    bool switchOn(int e, Side s, bool& on) override
    {
        std::lock_guard lock(s_->m);
        on = s == detail::kPlayback ? s_->elements.at(e).playbackOn : s_->elements.at(e).captureOn;
        return true;
    }
    bool setSwitch(int e, Side s, bool on) override
    {
        std::lock_guard lock(s_->m);
        MemoryElement& m = s_->elements.at(e);
        (s == detail::kPlayback ? m.playbackOn : m.captureOn) = on;
        s_->writes.push_back({e, s == detail::kPlayback ? "playbackOn" : "captureOn", -1, on ? 1L : 0L});
        return true;
    }
    bool enumItem(int e, int& item) override
    {
        std::lock_guard lock(s_->m);
        item = s_->elements.at(e).enumItem;
        return true;
    }
    bool setEnumItem(int e, int item) override
    {
        std::lock_guard lock(s_->m);
        s_->elements.at(e).enumItem = item;
        s_->writes.push_back({e, "enumItem", -1, item});
        return true;
    }
    int32_t watch() override
    {
        std::lock_guard lock(s_->m);
        s_->watchers.push_back(&changed);
        return wave::result::kOk;
    }

private:
    std::array<long, 2>& values(int e, Side s)
    {
        MemoryElement& m = s_->elements.at(e);
        return s == detail::kPlayback ? m.playback : m.capture;
    }
    std::shared_ptr<MemoryMixerSystem::State> s_;
};

}  // namespace

MemoryMixerSystem::MemoryMixerSystem(int devices, std::vector<MemoryElement> elements)
    : devices_(devices), state_(std::make_shared<State>())
{
    state_->elements = std::move(elements);
}

int32_t MemoryMixerSystem::open(int device, NoticeFn notices, std::unique_ptr<MixerDevice>& out)
{
    {
        std::lock_guard lock(state_->m);
        state_->requests.push_back(static_cast<bool>(notices));
        if (state_->failing > 0) {
            --state_->failing;
            return r::kNoDriver;
        }
    }
    if (device < 0 || device >= devices_)
        return r::kBadDeviceId;
    MixerCaps caps;
    caps.productName = "Memory mixer " + std::to_string(device);
    caps.driverVersion = 0x0100;
    return detail::openLineMixer(std::make_unique<MemoryElements>(state_), caps, std::move(notices), out);
}

int MemoryMixerSystem::openCount() const
{
    std::lock_guard lock(state_->m);
    return state_->open;
}

void MemoryMixerSystem::failOpens(int n)
{
    std::lock_guard lock(state_->m);
    state_->failing = n;
}

std::vector<bool> MemoryMixerSystem::openRequests() const
{
    std::lock_guard lock(state_->m);
    return state_->requests;
}

MemoryElement MemoryMixerSystem::element(int index) const
{
    std::lock_guard lock(state_->m);
    return state_->elements.at(index);
}

void MemoryMixerSystem::change(int index, const MemoryElement& now)
{
    std::lock_guard lock(state_->m);
    MemoryElement& e = state_->elements.at(index);
    const bool info = e.active != now.active;
    e = now;
    for (auto* watcher : state_->watchers)
        (*watcher)(index, info);
}

std::vector<MemoryMixerSystem::Write> MemoryMixerSystem::writes() const
{
    std::lock_guard lock(state_->m);
    return state_->writes;
}

void MemoryMixerSystem::clearWrites()
{
    std::lock_guard lock(state_->m);
    state_->writes.clear();
}

}  // namespace mixer
