// The sound card mixers in the manner of the platform's mixer API: a MixerSystem counts the
// mixer devices and opens one by id; an open MixerDevice describes its destinations, their
// source lines (connections) and each line's controls, reads and writes the controls' values,
// and reports changes made by anyone (this program, the desktop's volume control, the keys of
// a keyboard). Results are the wave layer's codes (platform/wave/WaveDevice.h).
//
// The model over a simple mixer (ALSA's, or the in-memory one that tests fill):
//  - Device 0 is ALSA's "default" mixer, which reaches PipeWire or PulseAudio where they run;
//    then one device per card ("hw:N"). Where "default" cannot be opened, the cards start at 0.
//  - Destination 0 is playback. Its own volume and mute come from the element "Master" or,
//    without one, from the first playback element; the other playback elements are its
//    connections in the mixer's order. Mute is the playback switch turned off.
//  - Destination 1, present when there is any capture element, is capture. Its own volume
//    (and mute) is the element "Capture"; the other capture elements are its connections.
//    Their capture switches are not mutes but the items of the destination's list control:
//    a mux (exactly one selected) when the switches exclude each other, a mixer (any number)
//    otherwise.
//  - A card may instead choose its recording source with an enumerated capture element
//    ("Input Source", "Capture Source"). The first such element makes destination 1 exist and
//    is its list control, a mux whatever the capture switches are (they are then mutes, as in
//    playback). Each item is a source line: the capture element of the item's name, or else a
//    connection of its own without volume or mute, added after the elements' lines. Other
//    enumerated elements (playback ones, further capture ones) are not lines.
//  - Volumes are 0..65535, mapped linearly from the element's own range; a line is stereo
//    when it has two channels (the first two, left and right, are the ones read and written);
//    an inactive element's controls are disabled.
//  - Capabilities: the card's name, the ALSA library's version as the driver version
//    (major << 8 | minor), no manufacturer or product id (0).
//
// A NOTE ON THREADS. A MixerDevice is used from the user-interface thread. Opened with a
// notice function, the device watches the mixer on a thread of its own and posts each change
// to the user-interface thread, where the function runs; none runs after the device is gone.
// The in-memory system's test methods may be called from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace mixer {

constexpr int32_t kMaxVolume = 65535;

// A raw value of an element's range [Min, Max] as 0..65535, and back (nearest step). An empty
// or reversed range reads 0 and writes Min.
int32_t levelFromRaw(long Raw, long Min, long Max);
long rawFromLevel(int32_t Level, long Min, long Max);

struct MixerCaps {
    std::string productName;
    uint32_t driverVersion = 0;  // major << 8 | minor
    int manufacturer = 0;
    int productId = 0;
    int destinations = 0;
};

struct MixerLine {
    uint32_t id = 0;
    int destination = 0;
    int source = -1;      // -1: the destination itself
    int channels = 1;
    int connections = 0;  // a destination's source lines
    int controls = 0;
    bool active = true;
    std::string name;
};

enum class ControlType { Volume, Mute, Mux, Mixer };

struct MixerControl {
    uint32_t id = 0;
    ControlType type = ControlType::Volume;
    bool disabled = false;
    std::string name;
    // A mux's or mixer's items: the ids of the source lines it selects among, in order.
    std::vector<uint32_t> items;
};

enum class Notice { Line, Control };
// Runs on the user-interface thread with the id of the changed line or control.
using NoticeFn = std::function<void(Notice, uint32_t id)>;

class MixerDevice {
public:
    virtual ~MixerDevice() = default;
    virtual MixerCaps caps() const = 0;
    // Source -1 gives the destination's own line.
    [[nodiscard]] virtual int32_t line(int destination, int source, MixerLine& out) = 0;
    [[nodiscard]] virtual int32_t controls(uint32_t lineId, std::vector<MixerControl>& out) = 0;
    // Volume: one value a channel; mute: one value (1 muted); mux and mixer: one value an
    // item (1 selected). Writing a volume with fewer values than channels leaves the rest.
    [[nodiscard]] virtual int32_t values(uint32_t controlId, std::vector<int32_t>& out) = 0;
    [[nodiscard]] virtual int32_t setValues(uint32_t controlId, const std::vector<int32_t>& in) = 0;
};

class MixerSystem {
public:
    virtual ~MixerSystem() = default;
    virtual int deviceCount() = 0;
    // With an empty Notices the device reports no changes.
    [[nodiscard]] virtual int32_t open(int device, NoticeFn notices, std::unique_ptr<MixerDevice>& out) = 0;
    [[nodiscard]] int32_t open(int device, std::unique_ptr<MixerDevice>& out) { return open(device, {}, out); }
};

std::shared_ptr<MixerSystem> alsaMixerSystem();

// One simple-mixer element as the in-memory system holds it.
struct MemoryElement {
    std::string name;
    int channels = 2;  // 1 mono
    bool active = true;
    bool playbackVolume = false, playbackSwitch = false;
    bool captureVolume = false, captureSwitch = false, captureExclusive = false;
    long min = 0, max = 100;
    std::array<long, 2> playback{}, capture{};  // raw values, left and right
    bool playbackOn = true, captureOn = false;  // the switches
    // An enumerated element: its item names, whether it is a capture one, the chosen item.
    std::vector<std::string> enumItems{};
    bool enumCapture = false;
    int enumItem = 0;
};

// Every device of the system shows the same elements; tests change them while devices are
// open, and read back what the devices wrote.
class MemoryMixerSystem : public MixerSystem {
public:
    explicit MemoryMixerSystem(int devices, std::vector<MemoryElement> elements = {});
    int deviceCount() override { return devices_; }
    using MixerSystem::open;
    int32_t open(int device, NoticeFn notices, std::unique_ptr<MixerDevice>& out) override;

    // Mixers open right now.
    int openCount() const;
    // The next N opens fail; every open asked for is recorded (true: with notices).
    void failOpens(int n);
    std::vector<bool> openRequests() const;

    MemoryElement element(int index) const;
    // Replaces an element's state and announces the change to the open devices, as a change
    // made by another program would be.
    void change(int index, const MemoryElement& now);
    // Every value the devices wrote, in order.
    struct Write {
        int element;
        std::string what;  // "playback", "capture", "playbackOn", "captureOn", "enumItem"
        int channel;       // -1: all channels
        long value;
        bool operator==(const Write&) const = default;
    };
    std::vector<Write> writes() const;
    void clearWrites();

    struct State;

private:
    int devices_;
    std::shared_ptr<State> state_;
};

}  // namespace mixer
