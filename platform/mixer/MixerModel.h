// Inside the mixer layer: the line model that both backends share. A backend is a set of
// simple-mixer elements (ElementSet); LineMixer lays them out as destinations, lines and
// controls (the rules in Mixer.h) and turns the backend's change reports into notices.
//
// Threads: an ElementSet's methods are called on the user-interface thread; it guards its
// own state against its watcher. `changed` is called from the watcher (any thread) and must
// not call back into the set.
#pragma once

#include "platform/mixer/Mixer.h"

namespace mixer::detail {

enum Side { kPlayback = 0, kCapture = 1 };

struct ElementInfo {
    std::string name;
    bool active = true;
    bool mono[2] = {false, false};
    bool volume[2] = {false, false};
    bool switches[2] = {false, false};
    bool exclusive = false;  // its capture switch excludes the others' (a mux)
    // An enumerated element's item names; enumCapture when it chooses what is recorded.
    std::vector<std::string> enumItems;
    bool enumCapture = false;
    bool on(Side s) const { return volume[s] || switches[s]; }
};

class ElementSet {
public:
    virtual ~ElementSet() = default;
    // The elements as they were at open, in the mixer's order; indexes stay valid.
    virtual std::vector<ElementInfo> infos() = 0;
    // False once the element is gone.
    virtual bool active(int e, bool& on) = 0;
    virtual bool range(int e, Side s, long& min, long& max) = 0;
    virtual bool raw(int e, Side s, int channel, long& value) = 0;
    virtual bool setRaw(int e, Side s, int channel, long value) = 0;
    virtual bool switchOn(int e, Side s, bool& on) = 0;
    virtual bool setSwitch(int e, Side s, bool on) = 0;
    // The chosen item of an enumerated element (its first channel's); setting it sets every
    // channel's.
    virtual bool enumItem(int e, int& item) = 0;
    virtual bool setEnumItem(int e, int item) = 0;
    // Starts reporting changes through `changed` (Info: the element's description changed
    // or it is gone; otherwise its values). Stopped by the set's destruction.
    [[nodiscard]] virtual int32_t watch() = 0;
    std::function<void(int e, bool info)> changed;
};

// Opens the line model over Set; Caps brings the product name and driver version. With
// Notices, the set is watched and the notices reach the user-interface thread.
int32_t openLineMixer(std::unique_ptr<ElementSet> set, MixerCaps caps, NoticeFn notices,
                      std::unique_ptr<MixerDevice>& out);

}  // namespace mixer::detail
