// `THandlers`: the handlers a window attaches to its own child widgets (signal connections,
// event hooks, the controls' On... events), cut off together when the window's teardown
// starts. Without it, the children that the base class deletes after the window's destructor
// emit signals (model resets, focus changes) and deliver events into handlers of a window that
// no longer exists. Every TForm has one (`Handlers`); a window stops it as the first statement
// of its own destructor, and TForm's destructor stops it at the latest, before any child goes.
// UI thread only.
#pragma once
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <QEvent>
#include <QObject>
#include <QPointer>

namespace forms {

// Installed on Watched and owned by it; Handler returns true to swallow the event.
class TEventHook : public QObject {
public:
    TEventHook(QObject* Watched, std::function<bool(QEvent*)> Handler)
        : QObject(Watched), handler_(std::move(Handler))
    {
        Watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override { return handler_(e); }

private:
    std::function<bool(QEvent*)> handler_;
};

class THandlers {
public:
    THandlers() = default;
    ~THandlers() { Stop(); }
    THandlers(const THandlers&) = delete;
    THandlers& operator=(const THandlers&) = delete;

    // Disconnects every connection, removes every hook and silences every event set through
    // this object; nothing connected later is kept either.
    void Stop();
    bool Stopped() const { return !*live_; }

    // QObject::connect, undone by Stop.
    template <class Sender, class Signal, class Slot>
    void Connect(const Sender* sender, Signal signal, const QObject* context, Slot&& slot)
    {
        if (Stopped())
            return;
        connections_.push_back(QObject::connect(sender, signal, context, std::forward<Slot>(slot)));
    }
    // Hands Watched's events to Handler (true swallows the event) until Stop.
    void Hook(QObject* watched, std::function<bool(QEvent*)> handler);
    // Sets a control's On... event to a handler that does nothing (returning a default value)
    // once Stop ran, even when the control outlives the window.
    template <class R, class... Args, class F>
    void Set(std::function<R(Args...)>& event, F handler)
    {
        event = [live = live_, handler = std::move(handler)](Args... args) -> R {
            if (!*live)
                return R();
            return handler(std::forward<Args>(args)...);
        };
    }

private:
    std::shared_ptr<bool> live_ = std::make_shared<bool>(true);
    std::vector<QMetaObject::Connection> connections_;
    std::vector<QPointer<TEventHook>> hooks_;
};

}  // namespace forms
