// The one 100 ms timer that a family of flat controls (all check boxes, all speed buttons)
// shares to notice that the mouse has left the control it follows: a pointer that leaves a
// window quickly, or while a button is held, gives no leave of its own. The timer lives while
// at least one control of the family exists; a control that goes away is never followed
// afterwards. UI thread only.
#pragma once
#include <functional>
#include <memory>

#include "platform/forms/Timer.h"

class QWidget;

namespace controls {

class TFlatTracking {
public:
    // `tick` runs on every tick of the timer while a control is followed.
    explicit TFlatTracking(std::function<void()> tick) : tick_(std::move(tick)) {}

    // A control of the family is made / goes away (it is no longer followed).
    void Attach();
    void Detach(QWidget* control);
    bool TimerExists() const { return timer_ != nullptr; }
    QWidget* Tracked() const { return tracked_; }
    // Follows `control` from now on, the period starting afresh.
    void Track(QWidget* control);
    // Timer off, nothing followed.
    void Stop();

private:
    std::unique_ptr<forms::TTimer> timer_;
    int instances_ = 0;
    QWidget* tracked_ = nullptr;
    std::function<void()> tick_;
};

}  // namespace controls
