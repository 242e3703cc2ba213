#include "cd/AMixer.h"

#include <algorithm>

using mixer::ControlType;

const TMixerControl* TMixerControls::Find(ControlType Type) const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->type == Type)
            return Items(i);
    return nullptr;
}

const TMixerControl* TMixerControls::FindList() const
{
    if (const TMixerControl* mux = Find(ControlType::Mux))
        return mux;
    return Find(ControlType::Mixer);
}

TAudioMixer::TAudioMixer(std::shared_ptr<mixer::MixerSystem> System) : system_(std::move(System))
{
    mixerCount_ = system_ ? system_->deviceCount() : 0;
    if (mixerCount_ > 0)
        SetMixerId(0);
}

TAudioMixer::~TAudioMixer() { close(); }

void TAudioMixer::close()
{
    device_.reset();  // no notice comes after this
    Destinations.Clear();
    caps_ = {};
    mixerId_ = -1;
}

void TAudioMixer::SetMixerId(int Value)
{
    close();
    if (Value < 0 || Value >= mixerCount_)
        return;
    const mixer::NoticeFn notices = [this](mixer::Notice kind, uint32_t id) { notice(kind, id); };
    for (int attempt = 0; attempt < 3; ++attempt)
        if (system_->open(Value, attempt < 2 ? notices : mixer::NoticeFn(), device_) == 0)
            break;
    if (!device_)
        return;
    mixerId_ = Value;
    caps_ = device_->caps();
    buildTree();
}

bool TAudioMixer::readLine(int ADestination, int AConnection, TMixerLine& Data, TMixerControls& Controls)
{
    std::vector<TMixerControl> list;
    TMixerLine data;
    if (device_->line(ADestination, AConnection, data) != 0 || device_->controls(data.id, list) != 0)
        return false;
    Data = std::move(data);
    Controls.Clear();
    for (TMixerControl& c : list)
        Controls.Add(std::make_unique<TMixerControl>(std::move(c)));
    return true;
}

void TAudioMixer::buildTree()
{
    for (int d = 0; d < caps_.destinations; ++d) {
        auto dest = std::make_unique<TMixerDestination>();
        if (!readLine(d, -1, dest->Data, dest->Controls))
            break;
        for (int s = 0; s < dest->Data.connections; ++s) {
            auto conn = std::make_unique<TMixerConnection>();
            if (!readLine(d, s, conn->Data, conn->Controls))
                break;
            dest->Connections.Add(std::move(conn));
        }
        Destinations.Add(std::move(dest));
    }
}

std::string TAudioMixer::Manufacturer() const
{
    if (caps_.manufacturer == 1)
        return "Microsoft";
    return std::to_string(caps_.manufacturer) + " = Unknown";
}

bool TAudioMixer::findLine(int ADestination, int AConnection, const TMixerLine*& Data,
                           const TMixerControls*& Controls) const
{
    const TMixerDestination* dest = Destinations.Items(ADestination);
    if (!dest || AConnection < -1)
        return false;
    if (AConnection == -1) {
        Data = &dest->Data;
        Controls = &dest->Controls;
        return true;
    }
    const TMixerConnection* conn = dest->Connections.Items(AConnection);
    if (!conn)
        return false;
    Data = &conn->Data;
    Controls = &conn->Controls;
    return true;
}

std::vector<int32_t> TAudioMixer::read(const TMixerControl* Control) const
{
    std::vector<int32_t> v;
    if (!Control || device_->values(Control->id, v) != 0)
        v.clear();
    return v;
}

namespace {

// The item of a destination's mux or mixer that stands for LineId; -1 when none.
int itemOf(const TMixerControl* List, uint32_t LineId)
{
    if (!List)
        return -1;
    const auto at = std::find(List->items.begin(), List->items.end(), LineId);
    return at == List->items.end() ? -1 : static_cast<int>(at - List->items.begin());
}

}  // namespace

bool TAudioMixer::GetLineVolume(int ADestination, int AConnection, bool& Stereo, bool& MuteDisabled,
                                bool& VolDisabled, bool& Selected, int& Mute, int& VolR, int& VolL)
{
    Stereo = Selected = false;
    MuteDisabled = VolDisabled = true;
    Mute = VolR = VolL = -1;
    const TMixerLine* data = nullptr;
    const TMixerControls* controls = nullptr;
    if (!findLine(ADestination, AConnection, data, controls))
        return false;
    Stereo = data->channels >= 2;
    const TMixerControl* volume = controls->Find(ControlType::Volume);
    const TMixerControl* mute = controls->Find(ControlType::Mute);
    // A line with neither control (a recording source that only a selector names) has
    // nothing to adjust: both are out of use.
    VolDisabled = volume ? volume->disabled : !mute;
    MuteDisabled = mute ? mute->disabled : !volume;
    if (const std::vector<int32_t> v = read(volume); !v.empty()) {
        VolL = v[0];
        VolR = v.size() >= 2 ? v[1] : v[0];
    }
    if (const std::vector<int32_t> v = read(mute); !v.empty())
        Mute = v[0] != 0 ? 1 : 0;
    if (AConnection >= 0) {
        const TMixerControl* list = Destinations.Items(ADestination)->Controls.FindList();
        const int item = itemOf(list, data->id);
        const std::vector<int32_t> v = item >= 0 ? read(list) : std::vector<int32_t>();
        Selected = item >= 0 && item < static_cast<int>(v.size()) && v[item] != 0;
    }
    return true;
}

bool TAudioMixer::SetLineVolume(int ADestination, int AConnection, int Mute, int VolR, int VolL, int Select)
{
    const TMixerLine* data = nullptr;
    const TMixerControls* controls = nullptr;
    if (!findLine(ADestination, AConnection, data, controls))
        return false;
    // A failed write leaves the control as it was; the caller sees it on the next read.
    if (const TMixerControl* mute = controls->Find(ControlType::Mute); mute && Mute >= 0)
        (void)device_->setValues(mute->id, {Mute != 0 ? 1 : 0});
    const TMixerControl* volume = controls->Find(ControlType::Volume);
    if (volume && (VolL >= 0 || VolR >= 0)) {
        auto level = [](int v) { return std::clamp(v, 0, mixer::kMaxVolume); };
        std::vector<int32_t> v;
        if (data->channels < 2) {
            v = {level(VolL >= 0 ? VolL : VolR)};
        } else if (VolL >= 0) {
            v = {level(VolL), level(VolR >= 0 ? VolR : VolL)};
        } else if (std::vector<int32_t> now = read(volume); now.size() >= 2) {
            v = {now[0], level(VolR)};
        }
        if (!v.empty())
            (void)device_->setValues(volume->id, v);
    }
    if (AConnection >= 0 && Select >= 0) {
        const TMixerControl* list = Destinations.Items(ADestination)->Controls.FindList();
        const int item = itemOf(list, data->id);
        std::vector<int32_t> v = item >= 0 ? read(list) : std::vector<int32_t>();
        if (item >= 0 && item < static_cast<int>(v.size())) {
            if (list->type == ControlType::Mixer) {
                v[item] = Select != 0;
                (void)device_->setValues(list->id, v);
            } else if (Select != 0) {
                std::fill(v.begin(), v.end(), 0);
                v[item] = 1;
                (void)device_->setValues(list->id, v);
            }
        }
    }
    return true;
}

void TAudioMixer::notice(mixer::Notice Kind, uint32_t Id)
{
    // A line that changed (went inactive, say) is read again, so the tree tells the truth.
    if (Kind == mixer::Notice::Line)
        for (int d = 0; d < Destinations.Count(); ++d) {
            TMixerDestination* dest = Destinations.Items(d);
            if (dest->Data.id == Id)
                readLine(d, -1, dest->Data, dest->Controls);
            for (int c = 0; c < dest->Connections.Count(); ++c)
                if (TMixerConnection* conn = dest->Connections.Items(c); conn->Data.id == Id)
                    readLine(d, c, conn->Data, conn->Controls);
        }
    const TMixerChangeEvent& event = Kind == mixer::Notice::Line ? OnLineChange : OnControlChange;
    if (event)
        event(this, mixerId_, Id);
}
