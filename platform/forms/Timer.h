// `TTimer`: a periodic call on the user-interface thread. It runs while Enabled, Interval > 0
// and OnTimer is set; changing Interval or Enabled restarts the period. A handler that raises
// is reported (RunGuarded) and the timer keeps running. UI thread only.
#pragma once
#include <functional>

#include <QTimer>


namespace forms {

class TTimer {
public:
    TTimer();
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    int Interval() const { return interval_; }
    void SetInterval(int ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);
    // Setting the handler (re)starts the timer when enabled.
    void SetOnTimer(std::function<void()> handler);
    const std::function<void()>& OnTimer() const { return onTimer_; }
    int Tag = 0;

private:
    void update();
    QTimer timer_;
    int interval_ = 1000;
    bool enabled_ = true;
    std::function<void()> onTimer_;
};

}  // namespace forms
