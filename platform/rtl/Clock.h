// Time for timed threads (the sound channel's refill thread, the GIF animation painters): a
// millisecond tick counter and waits that can be cut short. The system clock is the real
// one; ManualClock is the test clock, which moves only when a test calls advance() and then
// runs every thread whose time has come before advance() returns, so a test sees the same
// interleaving on every run without sleeping.
//
// Threads: tickCount() and wake() from any thread; a Waiter's wait() only from the thread
// that owns it; ManualClock::advance() from one controlling (test) thread.
//
// A waiter may use the time it waits: wait() with an idle step runs that step again and
// again until the wake-up or the time comes, or the step has nothing more to do. Each step
// must be short, since the wake-up is noticed only between steps. A manual clock counts the
// waiter as waiting during its steps, so advance() neither waits for them nor for the work
// they leave undone; they must not change what the waiter's thread is observed to do.
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
    bool wait(int timeoutMs) { return wait(timeoutMs, {}); }
    // The same, running `idle` meanwhile while it returns true (see above).
    virtual bool wait(int timeoutMs, const std::function<bool()>& idle) = 0;
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
