// The device thread of the real-time backends: renders one period after another and hands
// each to the backend's output, until stopped. The backend decides the pacing (a blocking
// ALSA write, or a wait on the monotonic clock).
//
// Threads: start()/stop() from the owner's thread; the loop runs on its own thread.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace snd {

class DeviceThread {
public:
    ~DeviceThread() { stop(); }
    // `round` runs repeatedly until it returns false or stop() is called.
    void start(std::function<bool()> round)
    {
        stop();
        running_ = true;
        thread_ = std::thread([this, round = std::move(round)] {
            while (running_ && round()) {
            }
        });
    }
    void stop()
    {
        running_ = false;
        if (thread_.joinable())
            thread_.join();
    }
    bool running() const { return running_; }

private:
    std::atomic<bool> running_{false};
    std::thread thread_;
};

}  // namespace snd
