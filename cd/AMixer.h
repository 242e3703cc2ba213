// `TAudioMixer`: the sound card's mixer as a component. It opens one mixer device, keeps the
// tree of its destinations, their connections (source lines) and each line's controls, reads
// and sets any line's volume, mute and recording selection, and turns the mixer's change
// notices into the events OnLineChange and OnControlChange. The mixer window is its user.
//
// It owns the open device and the tree; a line that the mixer reports changed is read again.
// Without a device, or after a failed open, the tree is
// empty and every query answers false.
//
// User-interface thread only; the events run there too.
#pragma once

#include "platform/mixer/Mixer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using TMixerLine = mixer::MixerLine;
using TMixerControl = mixer::MixerControl;

// The tree's owning list: items by index, null outside the list.
template <class T> class TPointerList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    T* Items(int Index) const { return Index >= 0 && Index < Count() ? items_[Index].get() : nullptr; }
    T* Add(std::unique_ptr<T> Item)
    {
        items_.push_back(std::move(Item));
        return items_.back().get();
    }
    void Clear() { items_.clear(); }

private:
    std::vector<std::unique_ptr<T>> items_;
};

class TMixerControls : public TPointerList<TMixerControl> {
public:
    // The line's control of the type, or its mux or mixer; null when it has none.
    const TMixerControl* Find(mixer::ControlType Type) const;
    const TMixerControl* FindList() const;
};

struct TMixerConnection {
    TMixerLine Data;
    TMixerControls Controls;
};
using TMixerConnections = TPointerList<TMixerConnection>;

struct TMixerDestination {
    TMixerLine Data;
    TMixerControls Controls;
    TMixerConnections Connections;
};
using TMixerDestinations = TPointerList<TMixerDestination>;

class TAudioMixer {
public:
    // Opens device 0 when the system has one.
    explicit TAudioMixer(std::shared_ptr<mixer::MixerSystem> System = mixer::alsaMixerSystem());
    ~TAudioMixer();
    TAudioMixer(const TAudioMixer&) = delete;
    TAudioMixer& operator=(const TAudioMixer&) = delete;

    // The open device, -1 when none. Writing closes the open one and opens Value (with
    // notices, once more with them, then without); when that fails, or Value names no device,
    // the mixer stays closed with an empty tree.
    int MixerId() const { return mixerId_; }
    void SetMixerId(int Value);
    int MixerCount() const { return mixerCount_; }

    int DriverVersion() const { return caps_.driverVersion; }
    int ProductId() const { return caps_.productId; }
    int NumberOfLine() const { return Destinations.Count(); }
    // "Microsoft" for manufacturer 1, else the number and " = Unknown".
    std::string Manufacturer() const;
    std::string ProductName() const { return caps_.productName; }

    TMixerDestinations Destinations;

    // The line is destination ADestination itself (AConnection -1) or its connection. True
    // when the line exists. Mute is -1 when the line has none, else 1 muted or 0; a volume is
    // -1 when the line has none (a mono line's right equals its left); Selected tells whether
    // the destination's mux or mixer selects the line. A line that does not exist gives false
    // with -1 values, both disabled flags set and the others clear.
    bool GetLineVolume(int ADestination, int AConnection, bool& Stereo, bool& MuteDisabled, bool& VolDisabled,
                       bool& Selected, int& Mute, int& VolR, int& VolL);
    // Writes what is given (-1 leaves a value as it is): mute 0 or 1, the right and left
    // volumes 0..65535, and Select 1 or 0 for a connection in its destination's mux (one line
    // selected, so 0 leaves it) or mixer (any lines). With only the left volume, a stereo line
    // gets it on both channels. True when the line exists.
    bool SetLineVolume(int ADestination, int AConnection, int Mute, int VolR, int VolL, int Select = -1);

    // Sender, the open mixer's id, the changed line's or control's id.
    using TMixerChangeEvent = std::function<void(TAudioMixer* Sender, int MixerId, uint32_t Id)>;
    TMixerChangeEvent OnLineChange;
    TMixerChangeEvent OnControlChange;

private:
    void close();
    void buildTree();
    bool readLine(int ADestination, int AConnection, TMixerLine& Data, TMixerControls& Controls);
    bool findLine(int ADestination, int AConnection, const TMixerLine*& Data, const TMixerControls*& Controls) const;
    std::vector<int32_t> read(const TMixerControl* Control) const;
    void notice(mixer::Notice Kind, uint32_t Id);

    std::shared_ptr<mixer::MixerSystem> system_;
    std::unique_ptr<mixer::MixerDevice> device_;
    mixer::MixerCaps caps_;
    int mixerId_ = -1;
    int mixerCount_ = 0;
};
