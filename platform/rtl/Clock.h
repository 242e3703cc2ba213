// Time for timed threads (the sound channel's refill thread, the GIF animation painters): a
// millisecond tick counter and waits that can be cut short. The system clock is the real
// one; ManualClock is the test clock, which moves only when a test calls advance() and then
// runs every thread whose time has come before advance() returns, so a test sees the same
// interleaving on every run without sleeping.
//
// Threads: tickCount() and wake() from any thread; a Waiter's wait() only from the thread
// that owns it; ManualClock::advance() from one controlling (test) thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace rtl {

// An auto-reset wake-up for one waiting thread.
class Waiter {
public:
    virtual ~Waiter() = default;
    // Sleeps up to timeoutMs (-1: until woken). True when woken, false when the time passed.
    // A wake() that came before the wait ends it at once.
    virtual bool wait(int timeoutMs) = 0;
    virtual void wake() = 0;
};

class TickSource {
public:
    virtual ~TickSource() = default;
    // Milliseconds, wrapping at 2^32 like the system tick counter.
    virtual uint32_t tickCount() = 0;
    // Created on the thread that starts the waiting thread, before it starts.
    virtual std::unique_ptr<Waiter> createWaiter() = 0;
};

// Monotonic wall time.
TickSource& systemTicks();

class ManualClock : public TickSource {
public:
    ManualClock();
    ~ManualClock() override;

    uint32_t tickCount() override;
    int64_t nowMs();
    std::unique_ptr<Waiter> createWaiter() override;

    // Moves time forward by `ms`, stopping at each waiter's deadline: the listeners see every
    // step (a memory device plays up to it), then the waiters due run, and the next step
    // starts only when every waiter is waiting again.
    void advance(int64_t ms);

    // Called with the new time at each step, on the advancing thread.
    int addListener(std::function<void(int64_t nowMs)> listener);
    void removeListener(int id);

private:
    class ManualWaiter;
    bool allQuiet() const;

    std::mutex m_;
    std::condition_variable cv_;
    int64_t now_ = 0;
    std::vector<ManualWaiter*> waiters_;
    std::vector<std::pair<int, std::function<void(int64_t)>>> listeners_;
    int nextListener_ = 1;
};

}  // namespace rtl
