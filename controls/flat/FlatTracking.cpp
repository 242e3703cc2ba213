#include "controls/flat/FlatTracking.h"

namespace controls {

void TFlatTracking::Attach()
{
    if (instances_++ > 0)
        return;
    timer_ = std::make_unique<forms::TTimer>();
    timer_->SetEnabled(false);
    timer_->SetInterval(100);
    timer_->SetOnTimer([this] {
        if (tracked_ && tick_)
            tick_();
    });
}

void TFlatTracking::Detach(QWidget* control)
{
    if (tracked_ == control)
        Stop();
    if (--instances_ == 0)
        timer_.reset();
}

void TFlatTracking::Track(QWidget* control)
{
    if (!timer_)
        return;
    timer_->SetEnabled(false);
    tracked_ = control;
    timer_->SetEnabled(true);
}

void TFlatTracking::Stop()
{
    if (timer_)
        timer_->SetEnabled(false);
    tracked_ = nullptr;
}

}  // namespace controls
