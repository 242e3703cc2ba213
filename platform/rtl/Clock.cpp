#include "platform/rtl/Clock.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace rtl {

namespace {

class SystemWaiter : public Waiter {
public:
    bool wait(int timeoutMs, const std::function<bool()>& idle) override
    {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        std::unique_lock lk(m_);
        if (idle)
            while (!woken_ && (timeoutMs < 0 || Clock::now() < deadline)) {
                lk.unlock();
                const bool more = idle();
                lk.lock();
                if (!more)
                    break;
            }
        auto woken = [this] { return woken_; };
        bool got = timeoutMs < 0 ? (cv_.wait(lk, woken), true) : cv_.wait_until(lk, deadline, woken);
        woken_ = false;
        return got;
    }
    void wake() override
    {
        std::lock_guard lk(m_);
        woken_ = true;
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool woken_ = false;
};

class SystemTicks : public TickSource {
public:
    uint32_t tickCount() override
    {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        return static_cast<uint32_t>(ms.count());
    }
    std::unique_ptr<Waiter> createWaiter() override { return std::make_unique<SystemWaiter>(); }
};

constexpr int64_t kForever = std::numeric_limits<int64_t>::max();

}  // namespace

TickSource& systemTicks()
{
    static SystemTicks ticks;
    return ticks;
}

// A waiter is "quiet" while it sits in wait() with nothing pending; it is busy from its
// creation until its first wait, and from a wake-up or time-out until its next wait.
class ManualClock::ManualWaiter : public Waiter {
public:
    explicit ManualWaiter(ManualClock& c) : clock_(c)
    {
        std::lock_guard lk(clock_.m_);
        clock_.waiters_.push_back(this);
    }
    ~ManualWaiter() override
    {
        std::lock_guard lk(clock_.m_);
        std::erase(clock_.waiters_, this);
        clock_.cv_.notify_all();
    }
    bool wait(int timeoutMs, const std::function<bool()>& idle) override
    {
        std::unique_lock lk(clock_.m_);
        if (!woken_) {
            deadline_ = timeoutMs < 0 ? kForever : clock_.now_ + timeoutMs;
            waiting_ = true;
            timedOut_ = false;
            clock_.cv_.notify_all();
            if (idle)
                while (!woken_ && !timedOut_) {
                    lk.unlock();
                    const bool more = idle();
                    lk.lock();
                    if (!more)
                        break;
                }
            clock_.cv_.wait(lk, [this] { return woken_ || timedOut_; });
            waiting_ = false;
        }
        bool woken = woken_;
        woken_ = false;
        timedOut_ = false;
        return woken;
    }
    void wake() override
    {
        std::lock_guard lk(clock_.m_);
        woken_ = true;
        clock_.cv_.notify_all();
    }
    bool quiet() const { return waiting_ && !woken_ && !timedOut_; }

    ManualClock& clock_;
    int64_t deadline_ = kForever;
    bool waiting_ = false;
    bool woken_ = false;
    bool timedOut_ = false;
};

ManualClock::ManualClock() = default;
ManualClock::~ManualClock() = default;

uint32_t ManualClock::tickCount() { return static_cast<uint32_t>(nowMs()); }

int64_t ManualClock::nowMs()
{
    std::lock_guard lk(m_);
    return now_;
}

std::unique_ptr<Waiter> ManualClock::createWaiter() { return std::make_unique<ManualWaiter>(*this); }

bool ManualClock::allQuiet() const
{
    return std::all_of(waiters_.begin(), waiters_.end(), [](auto* w) { return w->quiet(); });
}

void ManualClock::advance(int64_t ms)
{
    std::unique_lock lk(m_);
    const int64_t target = now_ + ms;
    for (;;) {
        cv_.wait(lk, [this] { return allQuiet(); });
        int64_t next = target;
        for (auto* w : waiters_)
            next = std::min(next, w->deadline_);
        if (next > now_) {
            now_ = next;
            auto listeners = listeners_;
            lk.unlock();
            for (auto& [id, fn] : listeners)
                fn(next);
            lk.lock();
            cv_.wait(lk, [this] { return allQuiet(); });
        }
        bool fired = false;
        for (auto* w : waiters_)
            if (w->deadline_ <= now_) {
                w->timedOut_ = true;
                w->deadline_ = kForever;
                fired = true;
            }
        if (fired) {
            cv_.notify_all();
            continue;
        }
        if (now_ >= target)
            return;
    }
}

int ManualClock::addListener(std::function<void(int64_t)> listener)
{
    std::lock_guard lk(m_);
    listeners_.emplace_back(nextListener_, std::move(listener));
    return nextListener_++;
}

void ManualClock::removeListener(int id)
{
    std::lock_guard lk(m_);
    std::erase_if(listeners_, [id](auto& l) { return l.first == id; });
}

}  // namespace rtl

