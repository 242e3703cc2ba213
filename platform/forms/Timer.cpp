#include "platform/forms/Timer.h"

#include "platform/forms/Application.h"

namespace forms {

TTimer::TTimer()
{
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (onTimer_)
            RunGuarded(onTimer_);
    });
}

TTimer::~TTimer() = default;

void TTimer::update()
{
    timer_.stop();
    if (enabled_ && interval_ > 0 && onTimer_)
        timer_.start(interval_);
}

void TTimer::SetInterval(int ms)
{
    if (ms != interval_) {
        interval_ = ms;
        update();
    }
}

void TTimer::SetEnabled(bool on)
{
    if (on != enabled_) {
        enabled_ = on;
        update();
    }
}

void TTimer::SetOnTimer(std::function<void()> handler)
{
    onTimer_ = std::move(handler);
    update();
}

}  // namespace forms
