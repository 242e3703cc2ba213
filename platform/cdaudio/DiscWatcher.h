// Watches CD drives for discs arriving and leaving, as the desktop's device notices did.
// A worker thread polls every drive each 2 s with a drive-status query (no table of
// contents is read, so a spinning drive is not kept busy); an image counts as a disc while
// its sheet exists and its simulated tray is closed, and as a new disc when the sheet
// changes. The first poll of a drive only learns its state. Changes are posted, with the
// drive's path, to the user-interface thread.
//
// Threads: construct, setDrives(), poll() and destroy on the user-interface thread;
// destruction joins the worker and drops notices still queued.
#pragma once

#include "platform/sound/Clock.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cdaudio {

class DiscWatcher {
public:
    using Handler = std::function<void(const std::string& drive)>;

    DiscWatcher(Handler onArrival, Handler onRemoval, snd::TickSource& ticks = snd::systemTicks());
    ~DiscWatcher();
    DiscWatcher(const DiscWatcher&) = delete;
    DiscWatcher& operator=(const DiscWatcher&) = delete;

    static constexpr int kIntervalMs = 2000;

    // The drives to watch; drives kept from the last list keep their state.
    void setDrives(const std::vector<std::string>& drives);
    // One poll now, on the calling thread; the notices are posted as the worker's are.
    void poll();

private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace cdaudio
